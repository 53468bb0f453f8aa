// Parses connection strings of the grammar "driver?Name=Value;Name=Value;...". The framework's
// own items (Server, Database, UserID, Password, AuxDriver) get fields; every other item is
// kept in order for the driver. Also reads the provider form "Provider=...;..." that has no
// driver prefix, as the ADO driver with that provider.
#pragma once

#include "dataaccess/DataAccessExport.h"

#include <QList>
#include <QPair>
#include <QString>

class DATAACCESS_EXPORT TDAConnectionStringParser
{
public:
    TDAConnectionStringParser() = default;
    explicit TDAConnectionStringParser(const QString &connectionString) { Parse(connectionString); }

    // Throws EDADriverException when the text names no driver.
    void Parse(const QString &connectionString);

    QString DriverID() const { return m_driverId; }
    QString Server() const { return m_server; }
    QString Database() const { return m_database; }
    QString UserID() const { return m_userId; }
    QString Password() const { return m_password; }
    QString AuxDriver() const { return m_auxDriver; }
    // Further items in the order written; names as written (empty names kept).
    const QList<QPair<QString, QString>> &AuxParams() const { return m_auxParams; }
    // Value of a further item, matched without regard to case; empty when absent.
    QString AuxParam(const QString &name) const;
    bool HasAuxParam(const QString &name) const;

private:
    QString m_driverId;
    QString m_server;
    QString m_database;
    QString m_userId;
    QString m_password;
    QString m_auxDriver;
    QList<QPair<QString, QString>> m_auxParams;
};
