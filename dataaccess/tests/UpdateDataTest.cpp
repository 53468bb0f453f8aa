// UpdateData: deltas written in one transaction, all or nothing, with server values back.
#include "DataServiceFixture.h"

#include "dataaccess/DAException.h"

namespace {

// A delta of the schema dataset's fields; values given by field name.
class DeltaBuilder
{
public:
    DeltaBuilder(const TDASchema &schema, const QString &dataset)
    {
        m_delta.LogicalName = dataset;
        m_delta.Fields = schema.DatasetByName(dataset).Fields;
    }
    DeltaBuilder &insert(const QVariantMap &values)
    {
        TDADeltaChange c(++m_id, TDAChangeType::ctInsert, int(m_delta.Fields.size()));
        set(c, values, false);
        m_delta.Changes << c;
        return *this;
    }
    DeltaBuilder &update(const QVariantMap &oldKey, const QVariantMap &values)
    {
        TDADeltaChange c(++m_id, TDAChangeType::ctUpdate, int(m_delta.Fields.size()));
        set(c, oldKey, true);
        set(c, values, false);
        m_delta.Changes << c;
        return *this;
    }
    DeltaBuilder &remove(const QVariantMap &oldKey)
    {
        TDADeltaChange c(++m_id, TDAChangeType::ctDelete, int(m_delta.Fields.size()));
        set(c, oldKey, true);
        m_delta.Changes << c;
        return *this;
    }
    TDADelta delta() const { return m_delta; }

private:
    void set(TDADeltaChange &c, const QVariantMap &values, bool old)
    {
        for (auto it = values.begin(); it != values.end(); ++it) {
            const int i = DAFindField(m_delta.Fields, it.key());
            EXPECT_GE(i, 0) << it.key().toStdString();
            if (old)
                c.SetOldValue(i, it.value());
            else
                c.SetNewValue(i, it.value());
        }
    }
    TDADelta m_delta;
    int m_id = 0;
};

QVariantMap parent(const QString &id, const QString &name)
{
    return {{QStringLiteral("PK_ParentID"), id}, {QStringLiteral("ParentName"), name}};
}

QVariantMap key(const QString &field, const QString &id)
{
    return {{field, id}};
}

} // namespace

class UpdateData : public DataServiceFixture
{
protected:
    QList<TDADelta> apply(const QList<TDADelta> &deltas)
    {
        return TDADataStreamer::ReadDeltas(service->UpdateData(TDADataStreamer::WriteDeltas(deltas)));
    }
    QVariant replyValue(const TDADelta &reply, int change, const QString &field)
    {
        const int i = DAFindField(reply.Fields, field);
        return reply.Changes[change].HasNewValue(i) ? reply.Changes[change].NewValue(i) : QVariant(QStringLiteral("<absent>"));
    }
};

TEST_F(UpdateData, InsertsUpdatesAndDeletesApplyTogether)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{OLD}', 'old'), ('{GONE}', 'gone')"));
    DeltaBuilder b(schema, QStringLiteral("Parents"));
    b.insert(parent(QStringLiteral("{NEW}"), QStringLiteral("new")))
        .update(key(QStringLiteral("PK_ParentID"), QStringLiteral("{OLD}")), {{QStringLiteral("ParentName"), QStringLiteral("renamed")}})
        .remove(key(QStringLiteral("PK_ParentID"), QStringLiteral("{GONE}")));
    const auto reply = apply({b.delta()});
    ASSERT_EQ(reply.size(), 1);
    for (const TDADeltaChange &c : reply[0].Changes)
        EXPECT_EQ(c.Status, TDAChangeStatus::csResolved) << c.Message.toStdString();
    EXPECT_EQ(rows(QStringLiteral("tblParents")), 2);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ParentName FROM dbo.tblParents WHERE PK_ParentID = '{OLD}'")), QStringLiteral("renamed"));
    EXPECT_EQ(rows(QStringLiteral("tblParents"), QStringLiteral("PK_ParentID = '{GONE}'")), 0);
}

TEST_F(UpdateData, OneFailingChangeUndoesTheWholeDelta)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{OLD}', 'old'), ('{DUP}', 'dup')"));
    DeltaBuilder b(schema, QStringLiteral("Parents"));
    b.insert(parent(QStringLiteral("{NEW}"), QStringLiteral("new")))
        .update(key(QStringLiteral("PK_ParentID"), QStringLiteral("{OLD}")), {{QStringLiteral("ParentName"), QStringLiteral("renamed")}})
        .insert(parent(QStringLiteral("{DUP}"), QStringLiteral("again")))
        .remove(key(QStringLiteral("PK_ParentID"), QStringLiteral("{OLD}")));
    const auto reply = apply({b.delta()});
    ASSERT_EQ(reply[0].Changes.size(), 4);
    EXPECT_EQ(reply[0].Changes[0].Status, TDAChangeStatus::csPending);
    EXPECT_EQ(reply[0].Changes[1].Status, TDAChangeStatus::csPending);
    EXPECT_EQ(reply[0].Changes[2].Status, TDAChangeStatus::csFailed);
    // The client is told what failed, not the database's text with its constraint's name.
    EXPECT_EQ(reply[0].Changes[2].Message, QStringLiteral("A row with this value of \"pk_parentid\" already exists"));
    EXPECT_EQ(reply[0].Changes[3].Status, TDAChangeStatus::csPending);
    EXPECT_EQ(rows(QStringLiteral("tblParents")), 2);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ParentName FROM dbo.tblParents WHERE PK_ParentID = '{OLD}'")), QStringLiteral("old"));
    EXPECT_FALSE(service->GetConnection().GetInTransaction());
}

TEST_F(UpdateData, AFailureInALaterTableUndoesEarlierTables)
{
    DeltaBuilder parents(schema, QStringLiteral("Parents"));
    parents.insert(parent(QStringLiteral("{P}"), QStringLiteral("p")));
    DeltaBuilder children(schema, QStringLiteral("Children"));
    children.insert({{QStringLiteral("PK_ChildID"), QStringLiteral("{C}")}, {QStringLiteral("F_ParentID"), QStringLiteral("{MISSING}")}});
    const auto reply = apply({parents.delta(), children.delta()});
    EXPECT_EQ(reply[0].Changes[0].Status, TDAChangeStatus::csPending);
    EXPECT_EQ(reply[1].Changes[0].Status, TDAChangeStatus::csFailed);
    EXPECT_EQ(rows(QStringLiteral("tblParents")), 0);
}

TEST_F(UpdateData, ParentAndChildApplyInTheOrderGiven)
{
    DeltaBuilder parents(schema, QStringLiteral("Parents"));
    parents.insert(parent(QStringLiteral("{P}"), QStringLiteral("p")));
    DeltaBuilder children(schema, QStringLiteral("Children"));
    children.insert({{QStringLiteral("PK_ChildID"), QStringLiteral("{C}")}, {QStringLiteral("F_ParentID"), QStringLiteral("{P}")}});
    const auto reply = apply({parents.delta(), children.delta()});
    EXPECT_EQ(reply[1].Changes[0].Status, TDAChangeStatus::csResolved) << reply[1].Changes[0].Message.toStdString();
    EXPECT_EQ(rows(QStringLiteral("tblChildren"), QStringLiteral("F_ParentID = '{P}'")), 1);
}

TEST_F(UpdateData, ValuesTheServerSetComeBack)
{
    service->BusinessProcessor(QStringLiteral("Parents")).OnBeforeProcessDelta = [](TDABusinessProcessor &p, TDADeltaChange &c) {
        if (c.ChangeType == TDAChangeType::ctInsert)
            p.SetNewValue(c, QStringLiteral("ParentName"), p.GetNewValue(c, QStringLiteral("ParentName")).toString().toUpper());
    };
    DeltaBuilder parents(schema, QStringLiteral("Parents"));
    parents.insert(parent(QStringLiteral("{P}"), QStringLiteral("anna")));
    DeltaBuilder children(schema, QStringLiteral("Children"));
    children.insert({{QStringLiteral("PK_ChildID"), QStringLiteral("{C}")}, {QStringLiteral("F_ParentID"), QStringLiteral("{P}")}});
    const auto reply = apply({parents.delta(), children.delta()});
    EXPECT_EQ(replyValue(reply[0], 0, QStringLiteral("ParentName")), QVariant(QStringLiteral("ANNA")));
    EXPECT_EQ(replyValue(reply[0], 0, QStringLiteral("SortIndex")), QVariant(100));
    EXPECT_EQ(replyValue(reply[0], 0, QStringLiteral("Active")), QVariant(true));
    EXPECT_EQ(replyValue(reply[0], 0, QStringLiteral("PK_ParentID")), QVariant(QStringLiteral("<absent>")));
    EXPECT_EQ(replyValue(reply[1], 0, QStringLiteral("Serial")), QVariant(1));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ParentName FROM dbo.tblParents")), QStringLiteral("ANNA"));
}

TEST_F(UpdateData, ARowChangedByAnotherUserFailsTheUpdate)
{
    DeltaBuilder b(schema, QStringLiteral("Parents"));
    b.update(key(QStringLiteral("PK_ParentID"), QStringLiteral("{NOBODY}")), {{QStringLiteral("ParentName"), QStringLiteral("x")}});
    const auto reply = apply({b.delta()});
    EXPECT_EQ(reply[0].Changes[0].Status, TDAChangeStatus::csFailed);
    EXPECT_TRUE(reply[0].Changes[0].Message.contains(QStringLiteral("another user")));
}

TEST_F(UpdateData, AnErrorHandlerMayDropOneChangeAndKeepTheRest)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{DUP}', 'dup')"));
    int errors = 0;
    service->BusinessProcessor(QStringLiteral("Parents")).OnProcessError =
        [&](TDABusinessProcessor &, TDADeltaChange &, const EDAException &, bool &canContinue) {
            ++errors;
            canContinue = true;
        };
    DeltaBuilder b(schema, QStringLiteral("Parents"));
    b.insert(parent(QStringLiteral("{DUP}"), QStringLiteral("again"))).insert(parent(QStringLiteral("{NEW}"), QStringLiteral("new")));
    const auto reply = apply({b.delta()});
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(reply[0].Changes[0].Status, TDAChangeStatus::csFailed);
    EXPECT_EQ(reply[0].Changes[1].Status, TDAChangeStatus::csResolved);
    EXPECT_EQ(rows(QStringLiteral("tblParents")), 2);
}

TEST_F(UpdateData, ANamedCommandWritesInsteadOfTheGeneratedStatement)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{P}', 'p')"));
    service->BusinessProcessor(QStringLiteral("Children")).SetInsertCommandName(QStringLiteral("InsertChildLogged"));
    DeltaBuilder b(schema, QStringLiteral("Children"));
    b.insert({{QStringLiteral("PK_ChildID"), QStringLiteral("{C}")}, {QStringLiteral("F_ParentID"), QStringLiteral("{P}")},
              {QStringLiteral("ChildName"), QStringLiteral("Ben")}});
    const auto reply = apply({b.delta()});
    EXPECT_EQ(reply[0].Changes[0].Status, TDAChangeStatus::csResolved) << reply[0].Changes[0].Message.toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ChildName FROM dbo.tblChildren")), QStringLiteral("Ben (logged)"));
}

TEST_F(UpdateData, ReadOnlyFieldsAreNeverWritten)
{
    DeltaBuilder b(schema, QStringLiteral("Parents"));
    QVariantMap values = parent(QStringLiteral("{P}"), QStringLiteral("p"));
    values.insert(QStringLiteral("ChildCount"), 5);
    b.insert(values);
    const auto reply = apply({b.delta()});
    EXPECT_EQ(reply[0].Changes[0].Status, TDAChangeStatus::csResolved) << reply[0].Changes[0].Message.toStdString();
}

TEST_F(UpdateData, DeltasNamingUnknownDatasetsOrFieldsAreRefusedWholesale)
{
    TDADelta bad{QStringLiteral("tblUsers"), {}, {}};
    EXPECT_THROW(service->UpdateData(TDADataStreamer::WriteDeltas({bad})), EDAException);
    TDADelta badField{QStringLiteral("Parents"), {TDAField{QStringLiteral("LogonPassword"), TDADataType::datString, 0, false, false, false, {}, {}}}, {}};
    badField.Changes << TDADeltaChange(1, TDAChangeType::ctInsert, 1);
    EXPECT_THROW(service->UpdateData(TDADataStreamer::WriteDeltas({badField})), EDAException);
    EXPECT_THROW(service->UpdateData(QByteArray("garbage")), EDAException);
    EXPECT_FALSE(service->GetConnection().GetInTransaction());
}
