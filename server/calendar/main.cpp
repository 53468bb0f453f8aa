// Writes the liturgical calendar for the years the server ships: the calendar file read by the
// patch ladder and the calendar script run by the database setup.
//   kestrova_calendar <csv file> <sql file>
#include "server/calendar/LiturgicalCalendar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2060;

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: kestrova_calendar <csv file> <sql file>\n");
        return 2;
    }
    const auto rows = kestrova::calendar::CalendarRows(kFirstYear, kLastYear);
    if (!writeFile(args[1], kestrova::calendar::CalendarCsv(rows)) || !writeFile(args[2], kestrova::calendar::CalendarSql(rows)))
        return 1;
    return 0;
}
