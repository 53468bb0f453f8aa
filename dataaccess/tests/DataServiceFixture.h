// A data service on the compiled-in test schema over a fresh database with its tables.
#pragma once

#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDataAbstractService.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

class DataServiceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        db.exec(QStringLiteral(
            "CREATE TABLE dbo.tblParents (PK_ParentID varchar(38) PRIMARY KEY, ParentName citext NOT NULL, "
            "SortIndex integer DEFAULT 100, Active smallint DEFAULT 1, CreatedDateTime timestamp, Photo bytea);"
            "CREATE TABLE dbo.tblChildren (PK_ChildID varchar(38) PRIMARY KEY, "
            "F_ParentID varchar(38) REFERENCES dbo.tblParents ON DELETE RESTRICT, ChildName citext, Serial serial);"));
        schema.LoadFromFile(QStringLiteral(":/schemas/TestService.xml"));
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        service = std::make_unique<TDataAbstractService>(schema, manager);
    }

    int rows(const QString &table, const QString &where = QStringLiteral("true"))
    {
        return db.scalar(QStringLiteral("SELECT count(*) FROM dbo.%1 WHERE %2").arg(table, where)).toInt();
    }

    TDATableData fetch(const QString &dataset, const TableRequestInfoV5 &info = {})
    {
        const auto tables = TDADataStreamer::ReadDatasets(service->GetData({dataset}, {info}));
        return tables.value(0);
    }

    TDAADODriver registration;
    kestrova::test::TestDatabase db;
    TDASchema schema;
    TDAConnectionManager manager;
    std::unique_ptr<TDataAbstractService> service;
};
