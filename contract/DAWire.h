// How the data-access records and arrays travel in messages. Their classes live in the
// data-access library as plain values; the contract's generated code reads and writes them here.
#pragma once

#include "contract/ContractExport.h"
#include "dataaccess/DARecords.h"
#include "remoting/ROSerializer.h"

#include <QStringList>
#include <QVariant>

namespace DAWire {

// A Variant holds one scalar; QVariant types without a wire form are refused (EROMessageError).
CONTRACT_EXPORT ROValue ToWire(const QVariant &value);
CONTRACT_EXPORT QVariant FromWire(const ROValue &value);

CONTRACT_EXPORT void WriteVariant(TROSerializer &s, const QString &name, const QVariant &value);
CONTRACT_EXPORT QVariant ReadVariant(TROSerializer &s, const QString &name);
CONTRACT_EXPORT void WriteStringArray(TROSerializer &s, const QString &name, const QStringList &value);
CONTRACT_EXPORT QStringList ReadStringArray(TROSerializer &s, const QString &name);
CONTRACT_EXPORT void WriteDataParameterArray(TROSerializer &s, const QString &name, const DataParameterArray &value);
CONTRACT_EXPORT DataParameterArray ReadDataParameterArray(TROSerializer &s, const QString &name);
CONTRACT_EXPORT void WriteTableRequestInfoArray(TROSerializer &s, const QString &name,
                                                const QList<TableRequestInfoV5> &value);
CONTRACT_EXPORT QList<TableRequestInfoV5> ReadTableRequestInfoArray(TROSerializer &s, const QString &name);
CONTRACT_EXPORT void WriteUserInfo(TROSerializer &s, const QString &name, const UserInfo &value);
CONTRACT_EXPORT UserInfo ReadUserInfo(TROSerializer &s, const QString &name);

} // namespace DAWire
