// A stand-in program for the swap tests: it notes each start (its version and arguments) in
// the file named by KESTROVA_SWITCH_PROBE and, when asked, keeps running for a while.
#include "foundation/uCommon.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString version = TvoSysInfo::GetFileVersion(app.applicationFilePath());
    const auto note = [](const QString &line) {
        QFile probe(qEnvironmentVariable("KESTROVA_SWITCH_PROBE"));
        if (probe.open(QIODevice::WriteOnly | QIODevice::Append))
            probe.write(line.toUtf8() + '\n');
    };
    note(QStringLiteral("started %1 %2").arg(version, app.arguments().mid(1).join(QLatin1Char(' '))));
    const QString linger = app.arguments().value(1);
    if (linger.startsWith(QLatin1String("--linger="))) {
        QThread::msleep(linger.mid(9).toULong());
        note(QStringLiteral("ended %1").arg(version));
    }
    return 0;
}
