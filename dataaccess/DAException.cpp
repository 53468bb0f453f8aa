#include "dataaccess/DAException.h"

EDAException::EDAException(const QString &message, const QString &sqlState, const QString &field)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_sqlState(sqlState)
    , m_field(field)
{
}

namespace {
const QLatin1String kChangedByAnotherUser("changed or deleted by another user");
}

QString DAChangedByAnotherUserMessage(const QString &datasetName)
{
    return QStringLiteral("The row of \"%1\" was %2").arg(datasetName, kChangedByAnotherUser);
}

bool DAIsChangedByAnotherUser(const QString &message)
{
    return message.contains(kChangedByAnotherUser);
}

QString DAClientMessage(const EDAException &error)
{
    const QString state = error.SqlState();
    if (state.isEmpty())
        return error.Message();
    const QString field = error.Field();
    const auto ofField = [&](const QString &withField, const QString &without) {
        return field.isEmpty() ? without : withField.arg(field);
    };
    if (state == QLatin1String("23505"))
        return ofField(QStringLiteral("A row with this value of \"%1\" already exists"), QStringLiteral("A row with these values already exists"));
    if (state == QLatin1String("22001"))
        return ofField(QStringLiteral("The value of \"%1\" is too long"), QStringLiteral("A value is too long for its field"));
    if (state == QLatin1String("23502"))
        return ofField(QStringLiteral("\"%1\" needs a value"), QStringLiteral("A required value is missing"));
    if (state == QLatin1String("23503"))
        return QStringLiteral("The row refers to a row that does not exist, or other rows still refer to it");
    if (state.startsWith(QLatin1String("23")))
        return QStringLiteral("The change breaks a rule of the database");
    if (state.startsWith(QLatin1String("22")))
        return ofField(QStringLiteral("The value of \"%1\" is not valid"), QStringLiteral("A value is not valid for its field"));
    if (state.startsWith(QLatin1String("40")))
        return QStringLiteral("The database was busy with other changes: try again");
    // The driver's own cancellations (time limit, client gone, program stopping) say so plainly,
    // and what the database's functions raise (RAISE EXCEPTION) was written for the caller.
    if (state == QLatin1String("57014") || state == QLatin1String("P0001"))
        return error.Message();
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")) || state == QLatin1String("53300"))
        return QStringLiteral("The database cannot be reached");
    return QStringLiteral("The database could not carry out the request");
}
