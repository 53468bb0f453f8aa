#include "client/uEmailRules.h"

#include "foundation/uCommon.h"

#include <QLocale>

TAttachmentPeriod TAttachmentPeriod::Read(const std::function<QString(const QString &, const QString &)> &setting,
                                          const QDate &today)
{
    TAttachmentPeriod period;
    period.From = ReadDate(setting(StartKey, DateText(today)), today);
    period.To = ReadDate(setting(EndKey, DateText(today.addMonths(DefaultMonths))), today);
    return period;
}

QDate TAttachmentPeriod::ReadDate(const QString &text, const QDate &fallback)
{
    const QString trimmed = text.trimmed();
    QDate date = QDate::fromString(trimmed.left(10), Qt::ISODate);
    if (!date.isValid())
        date = QLocale::system().toDate(trimmed, QLocale::ShortFormat);
    if (!date.isValid())
        date = QLocale::system().toDate(trimmed, QLocale::LongFormat);
    return date.isValid() ? date : fallback;
}

QString TAttachmentPeriod::DateText(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

QString TAttachmentPeriod::Criteria() const
{
    return QStringLiteral(" tblEvents.StartDateTime >= ") + DateToSQLLiteral(From) + QStringLiteral(" AND tblEvents.StartDateTime < ") +
           DateToSQLLiteral(To.addDays(1));
}

QString TComposerStatus::LineText(int line)
{
    return QString::asprintf(" Line: %3d ", line);
}

QString TComposerStatus::RowText(int column)
{
    return QString::asprintf(" Row: %3d ", column);
}
