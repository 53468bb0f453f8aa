// Records of the generic data operations, as plain values; the contract maps them onto its
// wire records.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

struct DataParameter
{
    QString Name;
    QVariant Value;
};
using DataParameterArray = QList<DataParameter>;

enum class ColumnSortDirection { Ascending, Descending };

struct ColumnSorting
{
    QString FieldName;
    ColumnSortDirection SortDirection = ColumnSortDirection::Ascending;
};

struct TableRequestInfo
{
    QString UserFilter;
    bool IncludeSchema = true;
    int MaxRecords = -1;          // -1: every row
    DataParameterArray Parameters;
};

struct TableRequestInfoV5 : TableRequestInfo
{
    QString WhereClause;          // TDAWhere in its XML form; empty for none
    QStringList DynamicSelectFieldNames;
    ColumnSorting Sorting;
};

struct UserInfo
{
    QString SessionID;
    QString UserID;
    QStringList Privileges;
    QVariantList Attributes;
    QByteArray UserData;
};
