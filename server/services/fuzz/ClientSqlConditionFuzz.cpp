// Feeds arbitrary text to the reader of client-composed SQL: it must refuse with
// EClientSqlCondition or give SQL whose every client value is a bound parameter.
#include "server/services/ClientSqlCondition.h"

#include <cstddef>
#include <cstdint>

namespace {

const TClientSqlVocabulary &Vocabulary()
{
    static const TClientSqlVocabulary vocabulary = [] {
        TClientSqlVocabulary v;
        v.AddColumn(QStringLiteral("tblGroups.PK_GroupID"), QStringLiteral("g.PK_GroupID"))
            .AddColumn(QStringLiteral("F_GroupID"), QStringLiteral("F_GroupID"))
            .AddColumn(QStringLiteral("theID"), QStringLiteral("theID"))
            .AddColumn(QStringLiteral("tblEvents.StartDateTime"), QStringLiteral("StartDateTime"))
            .AddFixedText(QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy)"),
                          QStringLiteral("NoLiturgy = 1"))
            .AddFixedText(QStringLiteral("UPPER(LastName) + ' '"), QStringLiteral("upper(LastName)"));
        return v;
    }();
    return vocabulary;
}

// Our expressions hold no quote, semicolon or comment, so none may appear in what is built.
void Check(const QString &sql)
{
    if (sql.contains(QLatin1Char('\'')) || sql.contains(QLatin1Char(';')) || sql.contains(QStringLiteral("--")) ||
        sql.contains(QStringLiteral("/*")))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const TClientSqlCondition condition = TClientSqlCondition::Parse(text, Vocabulary());
        const TClientSqlText sql = condition.BuildSQL();
        Check(sql.SQL);
        qsizetype valued = 0;
        for (const TClientSqlTerm &term : condition.Terms())
            if (!term.Value.isNull())
                ++valued;
        if (valued != sql.Params.size())
            __builtin_trap();
    } catch (const EClientSqlCondition &) {
    }
    try {
        Check(TClientSqlOrderBy::Parse(text, Vocabulary()).BuildSQL());
    } catch (const EClientSqlCondition &) {
    }
    try {
        static const QList<TClientSqlQueryShape> shapes{
            {QStringLiteral("SELECT DISTINCT PK_GroupID, GroupName FROM tblGroups WHERE "), Vocabulary(), Vocabulary()}};
        const TClientSqlQuery query = TClientSqlQuery::Parse(text, shapes);
        Check(query.Where.BuildSQL().SQL);
        Check(query.OrderBy.BuildSQL());
    } catch (const EClientSqlCondition &) {
    }
    return 0;
}
