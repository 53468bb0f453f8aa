#include "server/services/ClientSqlCondition.h"

#include "foundation/LogText.h"

#include <QDate>
#include <QHash>

#include <functional>

namespace {

enum class TokenKind { Ident, String, Integer, Date, Symbol };

struct Token
{
    TokenKind Kind = TokenKind::Ident;
    QString Text;  // Ident and Symbol as written, String unquoted
    QVariant Value; // Integer, Date
    qsizetype Pos = 0;
};

// Client names are echoed in messages; a hostile one must not flood the log.
QString Excerpt(const QString &text)
{
    constexpr qsizetype kMaxEcho = 64;
    return LogExcerpt(text, kMaxEcho);
}

[[noreturn]] void Refuse(const QString &reason, qsizetype pos)
{
    throw EClientSqlCondition(QStringLiteral("Refused SQL text from the client: %1 at character %2.").arg(reason).arg(pos + 1));
}

bool IsIdentStart(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           c == QLatin1Char('_');
}

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsIdentPart(QChar c)
{
    return IsIdentStart(c) || IsDigit(c);
}

QDate ReadDate(const QString &text, qsizetype start, qsizetype &end)
{
    // #m/d/yyyy#, one or two digits for month and day.
    qsizetype i = start + 1;
    int parts[3] = {0, 0, 0};
    const int maxDigits[3] = {2, 2, 4};
    const int minDigits[3] = {1, 1, 4};
    for (int p = 0; p < 3; ++p) {
        int digits = 0;
        while (i < text.size() && IsDigit(text[i]) && digits < maxDigits[p]) {
            parts[p] = parts[p] * 10 + (text[i].unicode() - '0');
            ++digits;
            ++i;
        }
        if (digits < minDigits[p])
            Refuse(QStringLiteral("a date must be written #month/day/year#"), start);
        const QChar closing = p < 2 ? QLatin1Char('/') : QLatin1Char('#');
        if (i >= text.size() || text[i] != closing)
            Refuse(QStringLiteral("a date must be written #month/day/year#"), start);
        ++i;
    }
    const QDate date(parts[2], parts[0], parts[1]);
    if (!date.isValid())
        Refuse(QStringLiteral("no such date"), start);
    end = i;
    return date;
}

std::vector<Token> Tokenize(const QString &text, qsizetype offset = 0)
{
    if (text.size() > ClientSqlLimits::kMaxTextLength)
        Refuse(QStringLiteral("the text is longer than %1 characters").arg(ClientSqlLimits::kMaxTextLength), 0);
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        const qsizetype pos = offset + i;
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            ++i;
            continue;
        }
        if (IsIdentStart(c)) {
            qsizetype j = i;
            for (;;) {
                while (j < n && IsIdentPart(text[j]))
                    ++j;
                if (j + 1 < n && text[j] == QLatin1Char('.') && IsIdentStart(text[j + 1])) {
                    ++j;
                    continue;
                }
                break;
            }
            tokens.push_back({TokenKind::Ident, text.mid(i, j - i), {}, pos});
            i = j;
            continue;
        }
        if (IsDigit(c)) {
            qsizetype j = i;
            while (j < n && IsDigit(text[j]))
                ++j;
            if (j - i > ClientSqlLimits::kMaxIntegerDigits)
                Refuse(QStringLiteral("the number is too long"), pos);
            if (j < n && (IsIdentStart(text[j]) || text[j] == QLatin1Char('.')))
                Refuse(QStringLiteral("only whole numbers are accepted"), pos);
            tokens.push_back({TokenKind::Integer, text.mid(i, j - i), text.mid(i, j - i).toLongLong(), pos});
            i = j;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            QString value;
            qsizetype j = i + 1;
            for (;;) {
                if (j >= n)
                    Refuse(QStringLiteral("a quote is not closed"), pos);
                if (text[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && text[j + 1] == QLatin1Char('\'')) {
                        value += QLatin1Char('\'');
                        j += 2;
                        continue;
                    }
                    break;
                }
                if (text[j].unicode() < 0x20)
                    Refuse(QStringLiteral("a control character in a quoted text"), offset + j);
                value += text[j];
                ++j;
            }
            tokens.push_back({TokenKind::String, value, {}, pos});
            i = j + 1;
            continue;
        }
        if (c == QLatin1Char('#')) {
            qsizetype end = i;
            const QDate date = ReadDate(text, i, end);
            tokens.push_back({TokenKind::Date, text.mid(i, end - i), date, pos});
            i = end;
            continue;
        }
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        if ((c == QLatin1Char('-') && next == QLatin1Char('-')) || (c == QLatin1Char('/') && next == QLatin1Char('*')))
            Refuse(QStringLiteral("comments are not accepted"), pos);
        if (c == QLatin1Char(';'))
            Refuse(QStringLiteral("a second statement (\";\") is not accepted"), pos);
        if ((c == QLatin1Char('<') && (next == QLatin1Char('>') || next == QLatin1Char('='))) ||
            (c == QLatin1Char('>') && next == QLatin1Char('='))) {
            tokens.push_back({TokenKind::Symbol, text.mid(i, 2), {}, pos});
            i += 2;
            continue;
        }
        // The arithmetic signs only ever match inside a caller's fixed text.
        static const QString single = QStringLiteral("=<>(),+-*/");
        if (single.contains(c)) {
            tokens.push_back({TokenKind::Symbol, QString(c), {}, pos});
            ++i;
            continue;
        }
        Refuse(QStringLiteral("the character \"%1\" is not accepted").arg(c.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')) : QString(c)), pos);
    }
    return tokens;
}

bool SameToken(const Token &a, const Token &b)
{
    if (a.Kind != b.Kind)
        return false;
    switch (a.Kind) {
    case TokenKind::Ident: return a.Text.compare(b.Text, Qt::CaseInsensitive) == 0;
    case TokenKind::String: return a.Text == b.Text;
    case TokenKind::Integer:
    case TokenKind::Date: return a.Value == b.Value;
    case TokenKind::Symbol: return a.Text == b.Text;
    }
    return false;
}

bool IsKeyword(const Token &token, const char *word)
{
    return token.Kind == TokenKind::Ident && token.Text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsReserved(const Token &token)
{
    static const char *const words[] = {"AND", "OR", "NOT", "LIKE", "IS", "NULL", "IN", "ORDER", "BY", "ASC", "DESC",
                                        "SELECT", "FROM", "WHERE", "UNION", "EXISTS", "CASE", "TRUE", "FALSE"};
    for (const char *word : words)
        if (IsKeyword(token, word))
            return true;
    return false;
}

bool IsSymbol(const Token &token, const char *symbol)
{
    return token.Kind == TokenKind::Symbol && token.Text == QLatin1String(symbol);
}

QString OperatorSql(TClientSqlOperator op, bool likeAsEquality)
{
    switch (op) {
    case TClientSqlOperator::Equal: return QStringLiteral("=");
    case TClientSqlOperator::NotEqual: return QStringLiteral("<>");
    case TClientSqlOperator::Less: return QStringLiteral("<");
    case TClientSqlOperator::LessOrEqual: return QStringLiteral("<=");
    case TClientSqlOperator::Greater: return QStringLiteral(">");
    case TClientSqlOperator::GreaterOrEqual: return QStringLiteral(">=");
    case TClientSqlOperator::Like: return likeAsEquality ? QStringLiteral("=") : QStringLiteral("LIKE");
    case TClientSqlOperator::IsNull: return QStringLiteral("IS NULL");
    case TClientSqlOperator::IsNotNull: return QStringLiteral("IS NOT NULL");
    }
    return {};
}

} // namespace

struct TClientSqlVocabulary::Fixed
{
    std::vector<Token> Tokens;
    QString ClientText;
    QString Sql;
};

EClientSqlCondition::EClientSqlCondition(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

TClientSqlVocabulary &TClientSqlVocabulary::AddColumn(const QString &clientSpelling, const QString &sqlExpression)
{
    m_columns.append({clientSpelling.trimmed().toLower(), sqlExpression});
    return *this;
}

TClientSqlVocabulary &TClientSqlVocabulary::AddFixedText(const QString &clientText, const QString &sql)
{
    auto fixed = std::make_shared<Fixed>();
    fixed->Tokens = Tokenize(clientText);
    if (fixed->Tokens.empty())
        throw EClientSqlCondition(QStringLiteral("An empty fixed text cannot be matched."));
    fixed->ClientText = clientText.simplified();
    fixed->Sql = sql;
    m_fixed.push_back(std::move(fixed));
    return *this;
}

QString TClientSqlVocabulary::ColumnExpression(const QString &clientSpelling) const
{
    const QString key = clientSpelling.toLower();
    for (const auto &[spelling, expression] : m_columns)
        if (spelling == key)
            return expression;
    return {};
}

// The recursive-descent reader over one range of tokens.
struct TClientSqlParser
{
    const std::vector<Token> &Tokens;
    size_t Pos;
    size_t End;
    qsizetype TextEnd; // character position of the range's end, for messages
    const TClientSqlVocabulary &Vocabulary;
    int Depth = 0;
    int TermCount = 0;

    bool AtEnd() const { return Pos >= End; }
    const Token &Current() const { return Tokens[Pos]; }
    qsizetype Where() const { return AtEnd() ? TextEnd : Current().Pos; }

    [[noreturn]] void Unexpected(const QString &wanted) const
    {
        if (AtEnd())
            Refuse(QStringLiteral("the text ends where %1 was expected").arg(wanted), TextEnd);
        Refuse(QStringLiteral("\"%1\" found where %2 was expected").arg(Excerpt(Current().Text), wanted), Current().Pos);
    }

    // A fixed text of the vocabulary starting here; moves past it.
    const TClientSqlVocabulary::Fixed *MatchFixed()
    {
        for (const auto &fixed : Vocabulary.FixedTexts()) {
            const size_t count = fixed->Tokens.size();
            if (End - Pos < count)
                continue;
            bool same = true;
            for (size_t k = 0; k < count && same; ++k)
                same = SameToken(Tokens[Pos + k], fixed->Tokens[k]);
            if (same) {
                Pos += count;
                return fixed.get();
            }
        }
        return nullptr;
    }

    void Enter()
    {
        if (++Depth > ClientSqlLimits::kMaxNesting)
            Refuse(QStringLiteral("nested deeper than %1 levels").arg(ClientSqlLimits::kMaxNesting), Where());
    }

    TClientSqlNode ParseOr()
    {
        TClientSqlNode first = ParseAnd();
        if (AtEnd() || !IsKeyword(Current(), "OR"))
            return first;
        TClientSqlNode node;
        node.NodeKind = TClientSqlNode::Kind::Or;
        node.Children << std::move(first);
        while (!AtEnd() && IsKeyword(Current(), "OR")) {
            ++Pos;
            node.Children << ParseAnd();
        }
        return node;
    }

    TClientSqlNode ParseAnd()
    {
        TClientSqlNode first = ParseUnary();
        if (AtEnd() || !IsKeyword(Current(), "AND"))
            return first;
        TClientSqlNode node;
        node.NodeKind = TClientSqlNode::Kind::And;
        node.Children << std::move(first);
        while (!AtEnd() && IsKeyword(Current(), "AND")) {
            ++Pos;
            node.Children << ParseUnary();
        }
        return node;
    }

    TClientSqlNode ParseUnary()
    {
        if (const auto *fixed = MatchFixed()) {
            TClientSqlNode node;
            node.NodeKind = TClientSqlNode::Kind::Fixed;
            node.FixedSql = fixed->Sql;
            CountTerm();
            return node;
        }
        if (AtEnd())
            Unexpected(QStringLiteral("a condition"));
        if (IsKeyword(Current(), "NOT")) {
            ++Pos;
            Enter();
            TClientSqlNode node;
            node.NodeKind = TClientSqlNode::Kind::Not;
            node.Children << ParseUnary();
            --Depth;
            return node;
        }
        if (IsSymbol(Current(), "(")) {
            ++Pos;
            Enter();
            TClientSqlNode inner = ParseOr();
            if (AtEnd() || !IsSymbol(Current(), ")"))
                Unexpected(QStringLiteral("\")\""));
            ++Pos;
            --Depth;
            return inner;
        }
        return ParseTerm();
    }

    void CountTerm()
    {
        if (++TermCount > ClientSqlLimits::kMaxTerms)
            Refuse(QStringLiteral("more than %1 terms").arg(ClientSqlLimits::kMaxTerms), Where());
    }

    // A known column; moves past it.
    QPair<QString, QString> ParseColumn()
    {
        if (AtEnd() || Current().Kind != TokenKind::Ident || IsReserved(Current()))
            Unexpected(QStringLiteral("a column"));
        const Token &token = Current();
        const QString expression = Vocabulary.ColumnExpression(token.Text);
        if (expression.isEmpty()) {
            if (Pos + 1 < End && IsSymbol(Tokens[Pos + 1], "("))
                Refuse(QStringLiteral("functions are not accepted (\"%1\")").arg(Excerpt(token.Text)), token.Pos);
            Refuse(QStringLiteral("the column \"%1\" is not known here").arg(Excerpt(token.Text)), token.Pos);
        }
        ++Pos;
        return {token.Text, expression};
    }

    QVariant ParseLiteral()
    {
        if (AtEnd())
            Unexpected(QStringLiteral("a value"));
        const Token &token = Current();
        if (IsKeyword(token, "NULL"))
            Refuse(QStringLiteral("compare with NULL through IS NULL"), token.Pos);
        QVariant value;
        switch (token.Kind) {
        case TokenKind::String: value = token.Text; break;
        case TokenKind::Integer:
        case TokenKind::Date: value = token.Value; break;
        case TokenKind::Ident:
        case TokenKind::Symbol:
            if (IsSymbol(token, "("))
                Refuse(QStringLiteral("sub-selects are not accepted"), token.Pos);
            Unexpected(QStringLiteral("a quoted text, a whole number or a #month/day/year# date"));
        }
        ++Pos;
        return value;
    }

    TClientSqlNode ParseTerm()
    {
        TClientSqlNode node;
        node.NodeKind = TClientSqlNode::Kind::Term;
        TClientSqlTerm &term = node.Term;
        const auto [column, expression] = ParseColumn();
        term.Column = column;
        term.Expression = expression;
        CountTerm();
        if (AtEnd())
            Unexpected(QStringLiteral("a comparison"));
        const Token &op = Current();
        if (IsKeyword(op, "LIKE")) {
            ++Pos;
            if (!AtEnd() && IsKeyword(Current(), "NULL")) {
                ++Pos;
                term.Operator = TClientSqlOperator::IsNull;
                return node;
            }
            if (!AtEnd() && Current().Kind != TokenKind::String)
                Unexpected(QStringLiteral("a quoted pattern or NULL"));
            term.Operator = TClientSqlOperator::Like;
            term.Value = ParseLiteral();
            return node;
        }
        if (IsKeyword(op, "IS")) {
            ++Pos;
            term.Operator = TClientSqlOperator::IsNull;
            if (!AtEnd() && IsKeyword(Current(), "NOT")) {
                ++Pos;
                term.Operator = TClientSqlOperator::IsNotNull;
            }
            if (AtEnd() || !IsKeyword(Current(), "NULL"))
                Unexpected(QStringLiteral("NULL"));
            ++Pos;
            return node;
        }
        static const QList<QPair<QString, TClientSqlOperator>> operators = {
            {QStringLiteral("="), TClientSqlOperator::Equal},          {QStringLiteral("<>"), TClientSqlOperator::NotEqual},
            {QStringLiteral("<"), TClientSqlOperator::Less},           {QStringLiteral("<="), TClientSqlOperator::LessOrEqual},
            {QStringLiteral(">"), TClientSqlOperator::Greater},        {QStringLiteral(">="), TClientSqlOperator::GreaterOrEqual}};
        if (op.Kind == TokenKind::Symbol) {
            for (const auto &[text, kind] : operators) {
                if (op.Text == text) {
                    ++Pos;
                    term.Operator = kind;
                    term.Value = ParseLiteral();
                    return node;
                }
            }
        }
        Unexpected(QStringLiteral("a comparison (=, <>, <, <=, >, >=, LIKE, IS NULL)"));
    }

    TClientSqlOrderItem ParseOrderItem()
    {
        TClientSqlOrderItem item;
        const qsizetype start = Where();
        if (const auto *fixed = MatchFixed()) {
            item.Column = fixed->ClientText;
            item.Expression = fixed->Sql;
        } else {
            if (!AtEnd() && Current().Kind == TokenKind::Ident && Pos + 1 < End && IsSymbol(Tokens[Pos + 1], "(") &&
                Vocabulary.ColumnExpression(Current().Text).isEmpty())
                Refuse(QStringLiteral("functions are not accepted (\"%1\")").arg(Excerpt(Current().Text)), start);
            const auto [column, expression] = ParseColumn();
            item.Column = column;
            item.Expression = expression;
        }
        if (!AtEnd() && IsKeyword(Current(), "DESC")) {
            item.Descending = true;
            ++Pos;
        } else if (!AtEnd() && IsKeyword(Current(), "ASC")) {
            ++Pos;
        }
        return item;
    }

    TClientSqlOrderBy ParseOrderBy()
    {
        TClientSqlOrderBy order;
        if (AtEnd())
            return order;
        for (;;) {
            order.m_items << ParseOrderItem();
            if (order.m_items.size() > ClientSqlLimits::kMaxTerms)
                Refuse(QStringLiteral("more than %1 sort columns").arg(ClientSqlLimits::kMaxTerms), Where());
            if (AtEnd())
                return order;
            if (!IsSymbol(Current(), ","))
                Unexpected(QStringLiteral("\",\" or the end"));
            ++Pos;
        }
    }

    TClientSqlCondition ParseCondition()
    {
        TClientSqlCondition condition;
        if (AtEnd())
            return condition;
        TClientSqlNode root = ParseOr();
        if (!AtEnd())
            Unexpected(QStringLiteral("AND, OR or the end"));
        condition.m_root = std::make_shared<const TClientSqlNode>(std::move(root));
        return condition;
    }
};

TClientSqlCondition TClientSqlCondition::Parse(const QString &text, const TClientSqlVocabulary &vocabulary)
{
    const std::vector<Token> tokens = Tokenize(text);
    TClientSqlParser parser{tokens, 0, tokens.size(), text.size(), vocabulary};
    return parser.ParseCondition();
}

QList<TClientSqlTerm> TClientSqlCondition::Terms() const
{
    QList<TClientSqlTerm> terms;
    std::function<void(const TClientSqlNode &)> walk = [&](const TClientSqlNode &node) {
        if (node.NodeKind == TClientSqlNode::Kind::Term)
            terms << node.Term;
        for (const TClientSqlNode &child : node.Children)
            walk(child);
    };
    if (m_root)
        walk(*m_root);
    return terms;
}

TClientSqlText TClientSqlCondition::BuildSQL(const TClientSqlBuildOptions &options) const
{
    TClientSqlText result;
    if (!m_root)
        return result;
    const auto bind = [&](const QVariant &value) {
        const QString name = options.ParamPrefix + QString::number(result.Params.size() + 1);
        result.Params << TClientSqlParam{name, value};
        return QLatin1Char(':') + name;
    };
    std::function<QString(const TClientSqlNode &)> write;
    // Equalities on one column joined by OR (LIKE too where it is written as one) become one IN list: the database plans a list of
    // thousands at a tenth of the cost of as many ORs. Values of another kind keep their own
    // list, so each list's values compare alike.
    const auto writeOr = [&](const TClientSqlNode &node) {
        QList<const TClientSqlNode *> children;
        std::function<void(const TClientSqlNode &)> flatten = [&](const TClientSqlNode &n) {
            for (const TClientSqlNode &child : n.Children) {
                if (child.NodeKind == TClientSqlNode::Kind::Or)
                    flatten(child);
                else
                    children << &child;
            }
        };
        flatten(node);
        // Each entry is one child, or one list of equalities in the place of its first.
        QList<QList<const TClientSqlNode *>> entries;
        QHash<QPair<QString, int>, qsizetype> lists;
        for (const TClientSqlNode *child : std::as_const(children)) {
            const bool equality = child->NodeKind == TClientSqlNode::Kind::Term &&
                                  (child->Term.Operator == TClientSqlOperator::Equal ||
                                   (child->Term.Operator == TClientSqlOperator::Like && options.LikeAsEquality));
            if (!equality) {
                entries.append({child});
                continue;
            }
            const QPair<QString, int> key{child->Term.Expression, child->Term.Value.typeId()};
            const auto found = lists.constFind(key);
            if (found != lists.cend()) {
                entries[*found] << child;
            } else {
                lists.insert(key, entries.size());
                entries.append({child});
            }
        }
        QStringList parts;
        for (const QList<const TClientSqlNode *> &entry : std::as_const(entries)) {
            if (entry.size() == 1) {
                parts << write(*entry.first());
                continue;
            }
            QStringList markers;
            for (const TClientSqlNode *term : entry)
                markers << bind(term->Term.Value);
            parts << QStringLiteral("(%1 IN (%2))").arg(entry.first()->Term.Expression, markers.join(QStringLiteral(", ")));
        }
        return parts.size() == 1 ? parts.first() : QStringLiteral("(") + parts.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    };
    write = [&](const TClientSqlNode &node) -> QString {
        switch (node.NodeKind) {
        case TClientSqlNode::Kind::Term: {
            const TClientSqlTerm &term = node.Term;
            QString sql = QStringLiteral("(") + term.Expression + QLatin1Char(' ') +
                          OperatorSql(term.Operator, options.LikeAsEquality);
            if (term.Operator != TClientSqlOperator::IsNull && term.Operator != TClientSqlOperator::IsNotNull)
                sql += QLatin1Char(' ') + bind(term.Value);
            return sql + QLatin1Char(')');
        }
        case TClientSqlNode::Kind::Fixed: return QStringLiteral("(") + node.FixedSql + QLatin1Char(')');
        case TClientSqlNode::Kind::Not: return QStringLiteral("(NOT ") + write(node.Children.first()) + QLatin1Char(')');
        case TClientSqlNode::Kind::Or: return writeOr(node);
        case TClientSqlNode::Kind::And: {
            QStringList parts;
            for (const TClientSqlNode &child : node.Children)
                parts << write(child);
            return QStringLiteral("(") + parts.join(QStringLiteral(" AND ")) + QLatin1Char(')');
        }
        }
        return {};
    };
    result.SQL = write(*m_root);
    return result;
}

TClientSqlOrderBy TClientSqlOrderBy::Parse(const QString &text, const TClientSqlVocabulary &vocabulary)
{
    const std::vector<Token> tokens = Tokenize(text);
    TClientSqlParser parser{tokens, 0, tokens.size(), text.size(), vocabulary};
    return parser.ParseOrderBy();
}

QString TClientSqlOrderBy::BuildSQL() const
{
    QStringList parts;
    for (const TClientSqlOrderItem &item : m_items)
        parts << (item.Descending ? item.Expression + QStringLiteral(" DESC") : item.Expression);
    return parts.join(QStringLiteral(", "));
}

namespace {

// Where the known text ends in the client's text, or -1: letters compared without regard to
// case, a run of blanks equal to one blank.
qsizetype MatchSelect(const QString &text, const QString &known)
{
    const QString target = known.simplified().toLower();
    if (target.isEmpty())
        return -1;
    qsizetype t = 0;
    qsizetype i = 0;
    bool pendingBlank = false;
    for (; i < text.size() && t < target.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace()) {
            pendingBlank = t > 0;
            continue;
        }
        if (pendingBlank) {
            if (target[t] != QLatin1Char(' '))
                return -1;
            ++t;
            pendingBlank = false;
        }
        if (t >= target.size() || target[t] != c.toLower())
            return -1;
        ++t;
    }
    if (t < target.size())
        return -1;
    // The known text must end at a word's end.
    if (i < text.size() && IsIdentPart(text[i]) && IsIdentPart(target.back()))
        return -1;
    return i;
}

} // namespace

TClientSqlQuery TClientSqlQuery::Parse(const QString &text, const QList<TClientSqlQueryShape> &shapes)
{
    if (text.size() > ClientSqlLimits::kMaxTextLength)
        Refuse(QStringLiteral("the text is longer than %1 characters").arg(ClientSqlLimits::kMaxTextLength), 0);
    TClientSqlQuery query;
    qsizetype rest = -1;
    for (int k = 0; k < shapes.size() && rest < 0; ++k) {
        rest = MatchSelect(text, shapes[k].Select);
        if (rest >= 0)
            query.ShapeIndex = k;
    }
    if (rest < 0)
        Refuse(QStringLiteral("the query does not start with one of the known search texts"), 0);
    const TClientSqlQueryShape &shape = shapes[query.ShapeIndex];

    const std::vector<Token> tokens = Tokenize(text.mid(rest), rest);
    // The sort list starts at ORDER BY outside parentheses.
    size_t orderAt = tokens.size();
    int depth = 0;
    for (size_t k = 0; k < tokens.size(); ++k) {
        if (IsSymbol(tokens[k], "("))
            ++depth;
        else if (IsSymbol(tokens[k], ")"))
            --depth;
        else if (depth == 0 && IsKeyword(tokens[k], "ORDER") && k + 1 < tokens.size() && IsKeyword(tokens[k + 1], "BY")) {
            orderAt = k;
            break;
        }
    }
    const qsizetype orderPos = orderAt < tokens.size() ? tokens[orderAt].Pos : text.size();
    TClientSqlParser where{tokens, 0, orderAt, orderPos, shape.Condition};
    query.Where = where.ParseCondition();
    if (query.Where.IsEmpty())
        Refuse(QStringLiteral("the query has no condition"), orderPos);
    if (orderAt < tokens.size()) {
        TClientSqlParser order{tokens, orderAt + 2, tokens.size(), text.size(), shape.Order};
        query.OrderBy = order.ParseOrderBy();
        if (query.OrderBy.IsEmpty())
            Refuse(QStringLiteral("ORDER BY without a column"), text.size());
    }
    return query;
}
