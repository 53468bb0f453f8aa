// Comparing two runs' candidate lists.
#include "testsupport/RecordingRepository.h"

namespace {

QString Describe(const TRecordingRepository::List &list)
{
    QStringList rows;
    for (const TAutoScheduleCandidateRow &r : list.Rows)
        rows << r.ContactID + QLatin1Char('/') + QString::number(r.IsFillIn);
    return QStringLiteral("%1 %2 week %3: %4")
        .arg(list.Query.LiturgyID, list.Query.FunctionID)
        .arg(list.Query.WeekNum)
        .arg(rows.join(QLatin1Char(' ')));
}

} // namespace

QString TRecordingRepository::FirstDifference(const QList<List> &a, const QList<List> &b)
{
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
        const QString left = Describe(a.at(i));
        const QString right = Describe(b.at(i));
        if (left != right)
            return QStringLiteral("list %1 of %2:\n  %3\n  %4").arg(i + 1).arg(a.size()).arg(left, right);
    }
    if (a.size() != b.size())
        return QStringLiteral("%1 lists against %2").arg(a.size()).arg(b.size());
    return {};
}
