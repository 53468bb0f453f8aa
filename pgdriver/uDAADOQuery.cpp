#include "pgdriver/uDAADOQuery.h"

#include "dataaccess/DAException.h"
#include "dataaccess/DASQLParams.h"
#include "pgdriver/PgValues.h"
#include "dataaccess/TDADataStreamer.h"
#include "pgdriver/uDAADODriver.h"

#include <libpq-fe.h>

#include <memory>

namespace {

struct ResultDeleter { void operator()(PGresult *r) const { PQclear(r); } };
using Result = std::unique_ptr<PGresult, ResultDeleter>;

void boundValues(const TDASQLParamText &parsed, const TDAParamCollection &params, QVariantList &values, QList<TDADataType> &declared)
{
    for (const QString &name : parsed.Names) {
        const TDAParam *p = params.FindParam(name);
        if (!p)
            throw EDAException(QStringLiteral("Parameter \"%1\" not found").arg(name));
        values << p->Value;
        declared << p->DataType;
    }
}

Result runWithParams(TDAEADOConnection *connection, const TDASQLParamText &parsed, const TDAParamCollection &params)
{
    QVariantList values;
    QList<TDADataType> declared;
    boundValues(parsed, params, values, declared);
    // A statement without parameters still goes through the extended protocol when it has
    // markers, so "$1" in a text is never mistaken for a value.
    if (values.isEmpty())
        return Result(connection->Run(parsed.SQL));
    return Result(connection->Run(parsed.SQL, values, declared));
}

void readFields(PGresult *r, TDAFieldList &fields)
{
    const int columns = PQnfields(r);
    for (int c = 0; c < columns; ++c) {
        TDAField f;
        f.Name = QString::fromUtf8(PQfname(r, c));
        f.DataType = pgdriver::dataTypeOfOid(PQftype(r, c));
        const int mod = PQfmod(r, c);
        if (f.DataType == TDADataType::datString && mod > 4)
            f.Size = mod - 4;
        fields << f;
    }
}

void readRows(PGresult *r, TDAFieldList &fields, QList<QVariantList> &rows)
{
    readFields(r, fields);
    const int columns = PQnfields(r);
    std::vector<Oid> types(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        types[size_t(c)] = PQftype(r, c);
    const int count = PQntuples(r);
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(r, i, c))
                row << QVariant();
            else
                row << pgdriver::valueFromText(PQgetvalue(r, i, c), PQgetlength(r, i, c), types[size_t(c)]);
        }
        rows << std::move(row);
    }
}

} // namespace

TDAEADOQuery::TDAEADOQuery(TDAEADOConnection *connection)
    : m_connection(connection)
{
}

TDAEADOQuery::~TDAEADOQuery()
{
    EndStreaming();
}

void TDAEADOQuery::ResultDeleter::operator()(pg_result *r) const
{
    PQclear(r);
}

int TDAEADOQuery::DoExecute()
{
    EndStreaming();
    Result r = runWithParams(m_connection, ParsedSQL(), GetParams());
    const char *tuples = PQcmdTuples(r.get());
    if (tuples && *tuples)
        return QByteArray(tuples).toInt();
    return PQresultStatus(r.get()) == PGRES_TUPLES_OK ? PQntuples(r.get()) : 0;
}

void TDAEADOQuery::DoOpen(TDAFieldList &fields, QList<QVariantList> &rows)
{
    EndStreaming();
    Result r = runWithParams(m_connection, ParsedSQL(), GetParams());
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK)
        readRows(r.get(), fields, rows);
    const char *tuples = PQcmdTuples(r.get());
    SetRowsAffected(tuples && *tuples ? QByteArray(tuples).toInt() : int(rows.size()));
}

void TDAEADOQuery::EndStreaming()
{
    m_pending.reset();
    if (m_streaming) {
        m_streaming = false;
        m_connection->EndRows();
    }
}

void TDAEADOQuery::DoOpenForStreaming(TDAFieldList &fields)
{
    EndStreaming();
    const TDASQLParamText &parsed = ParsedSQL();
    if (!parsed.SingleStatement) {
        TDAEDataset::DoOpenForStreaming(fields);
        return;
    }
    QVariantList values;
    QList<TDADataType> declared;
    boundValues(parsed, GetParams(), values, declared);
    m_connection->SendForRows(parsed.SQL, values, declared);
    m_streaming = true;
    m_pending.reset(m_connection->NextRows());
    SetRowsAffected(0);
    if (m_pending && PQresultStatus(m_pending.get()) != PGRES_COMMAND_OK && PQresultStatus(m_pending.get()) != PGRES_EMPTY_QUERY)
        readFields(m_pending.get(), fields);
}

void TDAEADOQuery::DoWriteRows(TDADatasetWriter &out, const TDAFieldList &fields, const QList<int> &columns)
{
    if (!m_streaming) {
        TDAEDataset::DoWriteRows(out, fields, columns);
        return;
    }
    Result r(m_pending.release());
    const int count = int(fields.size());
    std::vector<Oid> types(static_cast<size_t>(count));
    std::vector<TDAValueKind> kinds(static_cast<size_t>(count));
    std::vector<char> direct(static_cast<size_t>(count));
    if (r && PQnfields(r.get()) > 0)
        for (int i = 0; i < count; ++i) {
            types[size_t(i)] = PQftype(r.get(), columns[i]);
            kinds[size_t(i)] = DAValueKind(fields[i].DataType);
            direct[size_t(i)] = pgdriver::writesDirectly(types[size_t(i)], kinds[size_t(i)]);
        }
    // Values without a direct way take the one Open and the data service take.
    QList<bool> nulls(count);
    QVariantList values(count);
    int total = 0;
    for (; r; r.reset(m_connection->NextRows())) {
        const int rows = PQntuples(r.get());
        total += rows;
        for (int row = 0; row < rows; ++row) {
            for (int i = 0; i < count; ++i) {
                const int c = columns[i];
                nulls[i] = PQgetisnull(r.get(), row, c);
                if (nulls[i] || direct[size_t(i)])
                    continue;
                const QVariant v = pgdriver::valueFromText(PQgetvalue(r.get(), row, c), PQgetlength(r.get(), row, c), types[size_t(i)]);
                nulls[i] = DAIsNull(v);
                values[i] = nulls[i] ? QVariant() : DAConvertValue(v, fields[i].DataType);
            }
            out.BeginRow(nulls.constData());
            for (int i = 0; i < count; ++i) {
                if (nulls[i])
                    continue;
                const int c = columns[i];
                if (direct[size_t(i)])
                    pgdriver::writeValue(out, PQgetvalue(r.get(), row, c), PQgetlength(r.get(), row, c), types[size_t(i)], kinds[size_t(i)]);
                else
                    out.PutValue(values[i]);
            }
        }
    }
    m_streaming = false;
    SetRowsAffected(total);
}

// ---------------------------------------------------------------- stored procedures

void TDAEADOStoredProcedure::LoadSignature()
{
    QString name = GetProcedureName().trimmed();
    name.remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1Char('"'));
    QString schema;
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot >= 0) {
        schema = name.left(dot);
        name = name.mid(dot + 1);
    }
    // Names fold to lower case, as the unquoted names of the creation scripts did.
    Result r(m_connection->Run(QStringLiteral(
        "SELECT p.oid, n.nspname, p.proname, p.prokind, p.prorettype FROM pg_proc p "
        "JOIN pg_namespace n ON n.oid = p.pronamespace "
        "WHERE lower(p.proname) = lower($1) AND (CASE WHEN $2 = '' THEN n.nspname = ANY(current_schemas(false)) "
        "ELSE lower(n.nspname) = lower($2) END) ORDER BY array_position(current_schemas(false), n.nspname), p.oid LIMIT 1"),
        {name, schema}));
    if (PQntuples(r.get()) == 0)
        throw EDAException(QStringLiteral("Stored procedure \"%1\" not found").arg(GetProcedureName()));
    const QByteArray oid = PQgetvalue(r.get(), 0, 0);
    auto quote = [](const QString &s) { return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"'); };
    m_qualifiedName = quote(QString::fromUtf8(PQgetvalue(r.get(), 0, 1))) + QLatin1Char('.') + quote(QString::fromUtf8(PQgetvalue(r.get(), 0, 2)));
    m_isProcedure = PQgetvalue(r.get(), 0, 3)[0] == 'p';
    m_returnType = QByteArray(PQgetvalue(r.get(), 0, 4)).toUInt();

    Result a(m_connection->Run(QStringLiteral(
        "SELECT coalesce(p.proargnames[s.i], ''), coalesce(p.proargmodes[s.i]::text, 'i'), "
        "coalesce(p.proallargtypes[s.i], p.proargtypes[s.i - 1]) FROM pg_proc p, "
        "generate_series(1, coalesce(array_length(p.proallargtypes, 1), p.pronargs)) s(i) "
        "WHERE p.oid = $1::oid ORDER BY s.i"), {QString::fromLatin1(oid)}));
    m_arguments.clear();
    for (int i = 0; i < PQntuples(a.get()); ++i)
        m_arguments << Argument{QString::fromUtf8(PQgetvalue(a.get(), i, 0)), PQgetvalue(a.get(), i, 1)[0],
                                QByteArray(PQgetvalue(a.get(), i, 2)).toUInt()};
    m_loaded = true;
}

void TDAEADOStoredProcedure::RefreshParams()
{
    LoadSignature();
    m_params.Clear();
    bool hasOutput = false;
    for (const Argument &arg : m_arguments)
        hasOutput = hasOutput || arg.Mode == 'o' || arg.Mode == 'b' || arg.Mode == 't';
    // A function with a plain return value reports it as the result parameter, first.
    if (!m_isProcedure && !hasOutput && m_returnType != pgdriver::kOidVoid) {
        TDAParam &p = m_params.Add(QStringLiteral("Result"), {}, TDAParamType::daptResult);
        p.DataType = pgdriver::dataTypeOfOid(m_returnType);
    }
    for (const Argument &arg : m_arguments) {
        TDAParamType type = TDAParamType::daptInput;
        if (arg.Mode == 'o' || arg.Mode == 't')
            type = TDAParamType::daptOutput;
        else if (arg.Mode == 'b')
            type = TDAParamType::daptInputOutput;
        QString name = arg.Name;
        if (name.startsWith(QLatin1Char('@')))
            name = name.mid(1);
        TDAParam &p = m_params.Add(name, {}, type);
        p.DataType = pgdriver::dataTypeOfOid(arg.Type);
    }
}

int TDAEADOStoredProcedure::Execute()
{
    if (!m_loaded) {
        if (m_params.Count() == 0)
            RefreshParams();
        else
            LoadSignature();
    }
    auto findParam = [this](const QString &argName) -> TDAParam * {
        if (TDAParam *p = m_params.FindParam(argName))
            return p;
        return argName.startsWith(QLatin1Char('@')) ? m_params.FindParam(argName.mid(1)) : nullptr;
    };
    QStringList arguments;
    QVariantList values;
    QList<TDADataType> declared;
    // Positional while an argument has no name or an earlier one was skipped; named after.
    bool named = false;
    for (const Argument &arg : m_arguments) {
        const bool input = arg.Mode == 'i' || arg.Mode == 'b' || arg.Mode == 'v';
        if (arg.Mode == 't')
            continue;
        if (!input && !m_isProcedure)
            continue; // functions take no output arguments in the call
        TDAParam *p = arg.Name.isEmpty() ? nullptr : findParam(arg.Name);
        if (!p && input && !arg.Name.isEmpty()) {
            named = true; // let the function's default apply
            continue;
        }
        values << (input && p ? p->Value : QVariant());
        declared << (p ? p->DataType : pgdriver::dataTypeOfOid(arg.Type));
        QString placeholder = QLatin1Char('$') + QString::number(values.size());
        if (named && !arg.Name.isEmpty())
            placeholder = QLatin1Char('"') + arg.Name + QStringLiteral("\" => ") + placeholder;
        arguments << placeholder;
    }
    const QString sql = m_isProcedure
                            ? QStringLiteral("CALL %1(%2)").arg(m_qualifiedName, arguments.join(QStringLiteral(", ")))
                            : QStringLiteral("SELECT * FROM %1(%2)").arg(m_qualifiedName, arguments.join(QStringLiteral(", ")));
    Result r(values.isEmpty() ? m_connection->Run(sql) : m_connection->Run(sql, values, declared));
    TDAFieldList fields;
    QList<QVariantList> rows;
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK)
        readRows(r.get(), fields, rows);
    for (TDAParam &p : m_params) {
        if (p.ParamType != TDAParamType::daptOutput && p.ParamType != TDAParamType::daptInputOutput
            && p.ParamType != TDAParamType::daptResult)
            continue;
        if (rows.isEmpty()) {
            p.Value = QVariant();
            continue;
        }
        int column = DAFindField(fields, p.Name);
        if (column < 0 && p.ParamType == TDAParamType::daptResult && !fields.isEmpty())
            column = 0;
        if (column >= 0)
            p.Value = rows.first().at(column);
    }
    const char *tuples = PQcmdTuples(r.get());
    return tuples && *tuples ? QByteArray(tuples).toInt() : int(rows.size());
}
