// The composer's rules without its window: the attachment period with its remembered dates and
// the report request it makes, and the caret position texts of the status bar.
#pragma once

#include <QDate>
#include <QString>

#include <functional>

struct TAttachmentPeriod
{
    static inline const QString StartKey = QStringLiteral("EMailExt_StartDate");
    static inline const QString EndKey = QStringLiteral("EMail_EndExtDate");
    static constexpr int DefaultMonths = 3;
    static inline const QString ReportTemplate = QStringLiteral("rptMinisterScheduleP.rtm");
    static inline const QString DataSource = QStringLiteral("rptScheduledMinisters");
    static inline const QString OrderBy = QStringLiteral("Name, CAST(tblEvents.StartDateTime AS DateTime), MinistryFunctionName");

    QDate From;
    QDate To;

    // The remembered dates (today and three months on when there are none); a date that cannot
    // be read becomes today.
    static TAttachmentPeriod Read(const std::function<QString(const QString &key, const QString &defaultValue)> &setting,
                                  const QDate &today);
    // ISO text, or the locale's short or long form, as older settings have it.
    static QDate ReadDate(const QString &text, const QDate &fallback);
    // What the settings keep.
    static QString DateText(const QDate &date);
    // Events from the first day up to the end of the last.
    QString Criteria() const;
};

class TComposerStatus
{
public:
    // 1-based, as the status bar shows them.
    static QString LineText(int line);
    static QString RowText(int column);
};
