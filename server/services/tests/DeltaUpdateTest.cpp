// Updates of every dataset the services let clients change, sent as the client tables send
// them: a field a change does not carry keeps its stored value, and of two planners who read a
// row, the later one to change a field the other changed is refused while different fields merge.
#include "server/services/uContactsService.h"
#include "server/services/uEventsService.h"
#include "server/services/uResourceService.h"
#include "server/services/uSettingsService.h"
#include "testsupport/ServiceHarness.h"

#include "dataaccess/TDADataStreamer.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <functional>

#include <gtest/gtest.h>

namespace {

using TUpdate = std::function<std::unique_ptr<TROBinaryMemoryStream>(const TROBinaryMemoryStream *)>;

struct TUpdatable
{
    const TDASchemaDataset *Dataset;
    TUpdate Update;
    QString Salt;         // tells the rows of datasets apart that share a table
    QVariantList Stored;  // the row stored for it, as a client read it
    QList<int> Changeable; // the fields the tests change
};

// The n-th value (0 stored first, then the planners' values) of a field, and its SQL literal.
QVariant ValueOf(const TDAField &field, int n, const QString &salt)
{
    switch (DAValueKind(field.DataType)) {
    case TDAValueKind::Text:
        if (field.DataType == TDADataType::datGuid || field.Size == 38)
            return QStringLiteral("{%1-0000-4000-8000-%2}").arg(qHash(salt) % 100000000, 8, 10, QLatin1Char('0')).arg(n, 12, 10, QLatin1Char('0'));
        return (QStringLiteral("vab").at(n) + salt).left(field.Size > 0 ? field.Size : 40);
    case TDAValueKind::Int32:
    case TDAValueKind::Int64:
        return n + 1;
    case TDAValueKind::Boolean:
        return n > 0;
    case TDAValueKind::DateTime:
        return QDateTime(QDate(2026, 1, 2 + n), QTime(3, 4, 5));
    case TDAValueKind::Double:
        return 1.5 + n;
    default:
        return {};
    }
}

QString Literal(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (value.typeId() == QMetaType::QDateTime)
        return QStringLiteral("'%1'").arg(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (value.typeId() == QMetaType::QString)
        return QStringLiteral("'%1'").arg(value.toString());
    return value.toString();
}

class DeltaUpdates : public kestrova::test::ServiceHarness
{
protected:
    // Every dataset with a table, reached through its service on an administrator's session,
    // with a row stored for each that has a value in every column the dataset shows.
    QList<TUpdatable> Updatable()
    {
        const kestrova::test::ServiceClient admin = Administrator();
        const std::pair<const TDASchema *, TUpdate> services[] = {
            {&TContactsService::Schema(), [p = std::shared_ptr(admin.Service<CoContactsService>())](auto d) { return p->UpdateData(d); }},
            {&TEventsService::Schema(), [p = std::shared_ptr(admin.Service<CoEventsService>())](auto d) { return p->UpdateData(d); }},
            {&TResourceService::Schema(), [p = std::shared_ptr(admin.Service<CoResourceService>())](auto d) { return p->UpdateData(d); }},
            {&TSettingsService::Schema(), [p = std::shared_ptr(admin.Service<CoSettingsService>())](auto d) { return p->UpdateData(d); }}};
        // A column pointing at another table would need a row there for each value.
        QSet<QString> references;
        for (const QStringList &row : db.rows(QStringLiteral(
                 "SELECT lower(c.table_name || '.' || k.column_name) FROM information_schema.table_constraints c "
                 "JOIN information_schema.key_column_usage k ON k.constraint_name = c.constraint_name AND k.table_schema = c.table_schema "
                 "WHERE c.constraint_type = 'FOREIGN KEY' AND c.table_schema = 'dbo'")))
            references << row.value(0);
        // Not a password, which is stored as its hash, nor text the contact list leaves alone,
        // nor the stamp every save sets.
        const QStringList untouched = {QStringLiteral("LogonPassword"), QStringLiteral("SecretAnswer"), QStringLiteral("Comments"),
                                       QStringLiteral("F_ModifiedUserID"), QStringLiteral("ModifiedDateTime")};
        QList<TUpdatable> all;
        // The rows stand alone: the rows their foreign keys point at do not matter here.
        QString inserts = QStringLiteral("SET session_replication_role = replica;\n");
        for (const auto &service : services)
            for (const TDASchemaDataset &dataset : service.first->Datasets()) {
                if (dataset.TableName.isEmpty())
                    continue;
                TUpdatable u{&dataset, service.second, service.first->GetName() + dataset.Name, {}, {}};
                QStringList columns;
                QStringList literals;
                for (int i = 0; i < dataset.Fields.size(); ++i) {
                    const TDAField &f = dataset.Fields[i];
                    u.Stored << (f.ReadOnly ? QVariant() : ValueOf(f, 0, u.Salt + f.Name));
                    if (!u.Stored[i].isValid())
                        continue;
                    columns << f.Name;
                    literals << Literal(u.Stored[i]);
                    if (!f.InPrimaryKey && !references.contains((dataset.TableName + QLatin1Char('.') + f.Name).toLower()) &&
                        !untouched.contains(f.Name))
                        u.Changeable << i;
                }
                inserts += QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);\n")
                               .arg(dataset.TableName, columns.join(QLatin1Char(',')), literals.join(QLatin1Char(',')));
                all << u;
            }
        Sql(inserts);
        return all;
    }

    // The stored row of each, as JSON, in one query.
    QList<QJsonObject> Rows(const QList<TUpdatable> &all)
    {
        QStringList reads;
        for (int n = 0; n < all.size(); ++n) {
            const TDASchemaDataset &dataset = *all[n].Dataset;
            QStringList key;
            for (int i = 0; i < dataset.Fields.size(); ++i)
                if (dataset.Fields[i].InPrimaryKey)
                    key << dataset.Fields[i].Name + QStringLiteral(" = ") + Literal(all[n].Stored[i]);
            reads << QStringLiteral("SELECT %1, to_jsonb(t)::text FROM dbo.%2 t WHERE %3").arg(n).arg(dataset.TableName, key.join(QStringLiteral(" AND ")));
        }
        QList<QJsonObject> rows(all.size());
        for (const QStringList &row : db.rows(reads.join(QStringLiteral(" UNION ALL "))))
            rows[row.value(0).toInt()] = QJsonDocument::fromJson(row.value(1).toUtf8()).object();
        return rows;
    }

    static QJsonObject Without(QJsonObject row, const TDAField &field)
    {
        row.remove(field.Name.toLower());
        return row;
    }

    // One update change: the old values given (absent where invalid), the new value of one field.
    static TDADeltaChange Change(const QVariantList &old, int field, const QVariant &value)
    {
        TDADeltaChange change(1, TDAChangeType::ctUpdate, int(old.size()));
        for (int i = 0; i < old.size(); ++i)
            if (old[i].isValid())
                change.SetOldValue(i, old[i]);
        change.SetNewValue(field, value);
        return change;
    }

    static TDADeltaChange Send(const TUpdatable &u, const TDADeltaChange &change)
    {
        TDADelta delta;
        delta.LogicalName = u.Dataset->Name;
        delta.Fields = u.Dataset->Fields;
        delta.Changes << change;
        const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
        const QList<TDADelta> reply = TDADataStreamer::ReadDeltas(u.Update(&request)->Bytes());
        return reply.value(0).Changes.value(0);
    }

    // The n-th value of a changeable field of the dataset.
    static TDADeltaChange Setting(const TUpdatable &u, const QVariantList &old, int changeable, int n)
    {
        const int field = u.Changeable[changeable];
        return Change(old, field, ValueOf(u.Dataset->Fields[field], n, u.Salt + u.Dataset->Fields[field].Name));
    }
};

TEST_F(DeltaUpdates, AChangeCarryingOneFieldKeepsEveryOtherStoredValue)
{
    const QList<TUpdatable> all = Updatable();
    ASSERT_GE(all.size(), 25);
    const QList<QJsonObject> before = Rows(all);
    for (const TUpdatable &u : all) {
        SCOPED_TRACE(u.Dataset->Name.toStdString());
        ASSERT_FALSE(u.Changeable.isEmpty());
        // As the delta format has it: the key's old value and the one new value.
        QVariantList key(u.Stored.size());
        for (int i = 0; i < u.Stored.size(); ++i)
            if (u.Dataset->Fields[i].InPrimaryKey)
                key[i] = u.Stored[i];
        const TDADeltaChange answer = Send(u, Setting(u, key, 0, 1));
        EXPECT_EQ(answer.Status, TDAChangeStatus::csResolved) << answer.Message.toStdString();
    }
    const QList<QJsonObject> after = Rows(all);
    for (int n = 0; n < all.size(); ++n) {
        SCOPED_TRACE(all[n].Dataset->Name.toStdString());
        const TDAField &changed = all[n].Dataset->Fields[all[n].Changeable[0]];
        EXPECT_NE(after[n], before[n]);
        EXPECT_EQ(Without(after[n], changed), Without(before[n], changed)) << QJsonDocument(after[n]).toJson().toStdString();
    }
}

TEST_F(DeltaUpdates, TheLaterOfTwoChangesToOneFieldIsRefusedWhileDifferentFieldsMerge)
{
    // Both planners read each row; each sends all its old values and the field he changed.
    const QList<TUpdatable> all = Updatable();
    for (const TUpdatable &u : all) {
        const TDADeltaChange a = Send(u, Setting(u, u.Stored, 0, 1));
        EXPECT_EQ(a.Status, TDAChangeStatus::csResolved) << u.Dataset->Name.toStdString() << ": " << a.Message.toStdString();
    }
    const QList<QJsonObject> afterA = Rows(all);
    for (const TUpdatable &u : all) {
        const TDADeltaChange b = Send(u, Setting(u, u.Stored, 0, 2));
        EXPECT_EQ(b.Status, TDAChangeStatus::csFailed) << u.Dataset->Name.toStdString();
        EXPECT_TRUE(b.Message.contains(QStringLiteral("changed or deleted by another user"))) << b.Message.toStdString();
    }
    EXPECT_EQ(Rows(all), afterA) << "nothing of a refused change is written";
    // A field the other did not change: both changes stand (a dataset with one such field has no other).
    for (const TUpdatable &u : all)
        if (u.Changeable.size() > 1) {
            const TDADeltaChange other = Send(u, Setting(u, u.Stored, 1, 2));
            EXPECT_EQ(other.Status, TDAChangeStatus::csResolved) << u.Dataset->Name.toStdString() << ": " << other.Message.toStdString();
        }
    const QList<QJsonObject> merged = Rows(all);
    for (int n = 0; n < all.size(); ++n) {
        if (all[n].Changeable.size() < 2)
            continue;
        SCOPED_TRACE(all[n].Dataset->Name.toStdString());
        const TDAField &second = all[n].Dataset->Fields[all[n].Changeable[1]];
        EXPECT_NE(merged[n], afterA[n]);
        EXPECT_EQ(Without(merged[n], second), Without(afterA[n], second)) << QJsonDocument(merged[n]).toJson().toStdString();
    }
}

} // namespace
