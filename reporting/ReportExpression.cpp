#include "reporting/ReportExpression.h"

#include "reporting/ReportError.h"

#include <QLocale>

#include <vector>

struct ReportExpression::Node
{
    enum class Op { Literal, Field, Call, Add, Equal, NotEqual };
    Op Kind = Op::Literal;
    QVariant Value;   // Literal
    QString Name;     // Field: as written; Call: the function's canonical name
    std::vector<Node> Args;
};

namespace {

using Node = ReportExpression::Node;

struct Function
{
    const char *Name;
    int MinArgs;
    int MaxArgs;
};

constexpr Function kFunctions[] = {
    {"PageNo", 0, 0}, {"PageCount", 0, 0}, {"Date", 0, 0},   {"Now", 0, 0},     {"Title", 0, 0},
    {"RecordNo", 0, 0}, {"Count", 0, 0},   {"Sum", 1, 1},    {"Upper", 1, 1},   {"Lower", 1, 1},
    {"Trim", 1, 1},   {"If", 3, 3},        {"IsEmpty", 1, 1}, {"Format", 2, 2},
};

const QLocale &ReportLocale()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

bool IsNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return !value.isNull();
    default:
        return false;
    }
}

bool IsTrue(const QVariant &value)
{
    if (value.isNull())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (IsNumber(value))
        return value.toDouble() != 0;
    const QString text = ReportExpression::ToText(value).trimmed();
    return !text.isEmpty() && text != QLatin1String("0") && text.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) {}

    Node ParseAll()
    {
        Node node = Comparison(0);
        SkipBlanks();
        if (m_pos < m_text.size())
            Fail(QStringLiteral("unexpected \"%1\"").arg(m_text.at(m_pos)));
        return node;
    }

private:
    [[noreturn]] void Fail(const QString &what) const
    {
        throw EReportError(QStringLiteral("Expression \"%1\": %2 at character %3").arg(m_text, what).arg(m_pos + 1));
    }

    void SkipBlanks()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    bool Take(QLatin1String token)
    {
        SkipBlanks();
        if (QStringView(m_text).mid(m_pos).startsWith(token)) {
            m_pos += int(token.size());
            return true;
        }
        return false;
    }

    Node Comparison(int depth)
    {
        Node left = Sum(depth);
        for (;;) {
            Node::Op op;
            if (Take(QLatin1String("<>")))
                op = Node::Op::NotEqual;
            else if (Take(QLatin1String("=")))
                op = Node::Op::Equal;
            else
                return left;
            Node node;
            node.Kind = op;
            node.Args.push_back(std::move(left));
            node.Args.push_back(Sum(depth));
            left = std::move(node);
        }
    }

    Node Sum(int depth)
    {
        Node left = Primary(depth);
        while (Take(QLatin1String("+"))) {
            Node node;
            node.Kind = Node::Op::Add;
            node.Args.push_back(std::move(left));
            node.Args.push_back(Primary(depth));
            left = std::move(node);
        }
        return left;
    }

    Node Primary(int depth)
    {
        if (depth > ReportExpression::kMaxDepth)
            Fail(QStringLiteral("nested too deeply"));
        SkipBlanks();
        if (m_pos >= m_text.size())
            Fail(QStringLiteral("a value is missing"));
        const QChar c = m_text.at(m_pos);
        if (c == QLatin1Char('(')) {
            ++m_pos;
            Node inner = Comparison(depth + 1);
            if (!Take(QLatin1String(")")))
                Fail(QStringLiteral("\")\" is missing"));
            return inner;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
            return StringLiteral(c);
        if (c.isDigit() || (c == QLatin1Char('-') && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1).isDigit()))
            return NumberLiteral();
        if (c.isLetter() || c == QLatin1Char('_'))
            return NameOrCall(depth);
        Fail(QStringLiteral("unexpected \"%1\"").arg(c));
    }

    Node StringLiteral(QChar quote)
    {
        ++m_pos;
        QString value;
        for (;;) {
            if (m_pos >= m_text.size())
                Fail(QStringLiteral("the text is not closed"));
            const QChar c = m_text.at(m_pos++);
            if (c == quote) {
                if (m_pos < m_text.size() && m_text.at(m_pos) == quote) {
                    value += quote; // a doubled quote stands for itself
                    ++m_pos;
                    continue;
                }
                break;
            }
            value += c;
        }
        Node node;
        node.Value = value;
        return node;
    }

    Node NumberLiteral()
    {
        const int start = m_pos;
        if (m_text.at(m_pos) == QLatin1Char('-'))
            ++m_pos;
        bool fraction = false;
        while (m_pos < m_text.size() && (m_text.at(m_pos).isDigit() || (!fraction && m_text.at(m_pos) == QLatin1Char('.')))) {
            fraction = fraction || m_text.at(m_pos) == QLatin1Char('.');
            ++m_pos;
        }
        const QString digits = m_text.mid(start, m_pos - start);
        Node node;
        bool ok = false;
        if (fraction)
            node.Value = digits.toDouble(&ok);
        else
            node.Value = digits.toLongLong(&ok);
        if (!ok)
            Fail(QStringLiteral("\"%1\" is not a number").arg(digits));
        return node;
    }

    Node NameOrCall(int depth)
    {
        const int start = m_pos;
        while (m_pos < m_text.size() && (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == QLatin1Char('_')))
            ++m_pos;
        const QString name = m_text.mid(start, m_pos - start);
        if (!Take(QLatin1String("("))) {
            Node node;
            node.Kind = Node::Op::Field;
            node.Name = name;
            return node;
        }
        const Function *function = nullptr;
        for (const Function &f : kFunctions)
            if (name.compare(QLatin1String(f.Name), Qt::CaseInsensitive) == 0)
                function = &f;
        if (!function)
            Fail(QStringLiteral("there is no function \"%1\"").arg(name));
        Node node;
        node.Kind = Node::Op::Call;
        node.Name = QLatin1String(function->Name);
        if (!Take(QLatin1String(")"))) {
            do
                node.Args.push_back(Comparison(depth + 1));
            while (Take(QLatin1String(",")));
            if (!Take(QLatin1String(")")))
                Fail(QStringLiteral("\")\" is missing"));
        }
        const int count = int(node.Args.size());
        if (count < function->MinArgs || count > function->MaxArgs)
            Fail(QStringLiteral("%1 takes %2 argument(s)").arg(node.Name).arg(function->MaxArgs));
        return node;
    }

    const QString &m_text;
    int m_pos = 0;
};

QVariant FieldValue(const QString &name, const ReportContext &context)
{
    if (!context.Data || context.Row < 0 || context.Row >= context.Data->Rows.size())
        return {};
    int index = -1;
    if (context.FieldIndex)
        index = context.FieldIndex->value(name.toLower(), -1);
    else
        index = DAFindField(context.Data->Fields, name);
    if (index < 0)
        throw EReportError(QStringLiteral("The dataset \"%1\" has no field \"%2\"").arg(context.Data->Name, name));
    return context.Data->Rows.at(context.Row).value(index);
}

QVariant Eval(const Node &node, const ReportContext &context);

QVariant Call(const Node &node, const ReportContext &context)
{
    const QString &f = node.Name;
    const auto arg = [&](int i) { return Eval(node.Args.at(size_t(i)), context); };
    if (f == QLatin1String("PageNo"))
        return context.PageNumber;
    if (f == QLatin1String("PageCount"))
        return context.PageCount;
    if (f == QLatin1String("Date"))
        return context.Now.date();
    if (f == QLatin1String("Now"))
        return context.Now;
    if (f == QLatin1String("Title"))
        return context.Title;
    if (f == QLatin1String("RecordNo"))
        return context.Row + 1;
    if (f == QLatin1String("Count"))
        return qMax(0, context.ScopeLast - context.ScopeFirst + 1);
    if (f == QLatin1String("Sum")) {
        ReportContext row = context;
        double total = 0;
        bool whole = true;
        for (int r = context.ScopeFirst; r <= context.ScopeLast; ++r) {
            row.Row = r;
            const QVariant value = Eval(node.Args.at(0), row);
            if (value.isNull())
                continue;
            whole = whole && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float;
            total += IsNumber(value) ? value.toDouble() : ReportExpression::ToText(value).toDouble();
        }
        return whole ? QVariant(qlonglong(total)) : QVariant(total);
    }
    if (f == QLatin1String("Upper"))
        return ReportExpression::ToText(arg(0)).toUpper();
    if (f == QLatin1String("Lower"))
        return ReportExpression::ToText(arg(0)).toLower();
    if (f == QLatin1String("Trim"))
        return ReportExpression::ToText(arg(0)).trimmed();
    if (f == QLatin1String("If"))
        return IsTrue(arg(0)) ? arg(1) : arg(2);
    if (f == QLatin1String("IsEmpty")) {
        const QVariant value = arg(0);
        return value.isNull() || ReportExpression::ToText(value).isEmpty();
    }
    if (f == QLatin1String("Format"))
        return ReportExpression::ToText(arg(0), ReportExpression::ToText(arg(1)));
    return {};
}

QVariant Eval(const Node &node, const ReportContext &context)
{
    switch (node.Kind) {
    case Node::Op::Literal:
        return node.Value;
    case Node::Op::Field:
        return FieldValue(node.Name, context);
    case Node::Op::Call:
        return Call(node, context);
    case Node::Op::Add: {
        const QVariant a = Eval(node.Args.at(0), context);
        const QVariant b = Eval(node.Args.at(1), context);
        if (IsNumber(a) && IsNumber(b)) {
            if (a.typeId() == QMetaType::Double || b.typeId() == QMetaType::Double)
                return a.toDouble() + b.toDouble();
            return a.toLongLong() + b.toLongLong();
        }
        return ReportExpression::ToText(a) + ReportExpression::ToText(b);
    }
    case Node::Op::Equal:
    case Node::Op::NotEqual: {
        const QVariant a = Eval(node.Args.at(0), context);
        const QVariant b = Eval(node.Args.at(1), context);
        // Boolean columns arrive as Booleans: the templates compare them with 1 and 0.
        const auto numeric = [](const QVariant &v) { return IsNumber(v) || v.typeId() == QMetaType::Bool; };
        const bool equal = numeric(a) && numeric(b) ? a.toDouble() == b.toDouble()
                                                    : ReportExpression::ToText(a) == ReportExpression::ToText(b);
        return node.Kind == Node::Op::Equal ? equal : !equal;
    }
    }
    return {};
}

void Collect(const Node &node, QStringList &fields, bool &pageCount)
{
    if (node.Kind == Node::Op::Field && !fields.contains(node.Name, Qt::CaseInsensitive))
        fields << node.Name;
    if (node.Kind == Node::Op::Call && node.Name == QLatin1String("PageCount"))
        pageCount = true;
    for (const Node &child : node.Args)
        Collect(child, fields, pageCount);
}

} // namespace

ReportExpression::~ReportExpression() = default;

std::shared_ptr<const ReportExpression> ReportExpression::Parse(const QString &text)
{
    if (text.size() > kMaxLength)
        throw EReportError(QStringLiteral("An expression of %1 characters is longer than %2").arg(text.size()).arg(kMaxLength));
    std::shared_ptr<ReportExpression> expression(new ReportExpression);
    expression->m_source = text;
    expression->m_root = std::make_unique<Node>(Parser(text).ParseAll());
    return expression;
}

QVariant ReportExpression::Evaluate(const ReportContext &context) const
{
    return Eval(*m_root, context);
}

QStringList ReportExpression::FieldNames() const
{
    QStringList fields;
    bool pageCount = false;
    Collect(*m_root, fields, pageCount);
    return fields;
}

bool ReportExpression::UsesPageCount() const
{
    QStringList fields;
    bool pageCount = false;
    Collect(*m_root, fields, pageCount);
    return pageCount;
}

QString ReportExpression::ToText(const QVariant &value, const QString &format)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime at = value.toDateTime();
        if (!format.isEmpty())
            return ReportLocale().toString(at, format);
        return at.time() == QTime(0, 0) ? ReportLocale().toString(at.date(), QStringLiteral("M/d/yyyy"))
                                        : ReportLocale().toString(at, QStringLiteral("M/d/yyyy h:mm AP"));
    }
    case QMetaType::QDate:
        return ReportLocale().toString(value.toDate(), format.isEmpty() ? QStringLiteral("M/d/yyyy") : format);
    case QMetaType::QByteArray:
        return {};
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float: {
        const int point = format.indexOf(QLatin1Char('.'));
        if (!format.isEmpty())
            return QLocale::c().toString(value.toDouble(), 'f', point < 0 ? 0 : int(format.size()) - point - 1);
        return QString::number(value.toDouble(), 'g', 15);
    }
    default:
        break;
    }
    if (IsNumber(value) && format.contains(QLatin1Char('.')))
        return QLocale::c().toString(value.toDouble(), 'f', int(format.size()) - int(format.indexOf(QLatin1Char('.'))) - 1);
    return value.toString();
}
