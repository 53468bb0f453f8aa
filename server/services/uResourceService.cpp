#include "server/services/uResourceService.h"

#include "dataaccess/TDABusinessProcessor.h"
#include "foundation/QuorvaLogFile.h"
#include "server/services/ServiceErrors.h"
#include "server/services/ServiceRights.h"
#include "server/core/uLogOnGate.h"
#include "server/services/ServiceText.h"

#include <exception>

namespace {

const QString kSender = QStringLiteral("ResourceService");

struct TProcessorCommands
{
    const char *Dataset;
    bool NamedDelete; // else the delete statement is generated
};

// Each dataset the clients change goes through its own insert, update and delete statements.
constexpr TProcessorCommands kProcessors[] = {{"MinistryFunctions", true},
                                              {"LiturgyTemplates", true},
                                              {"MinistryTemplates", true},
                                              {"LnkMinistryTemplateToMinistryFunction", true},
                                              {"DAEventColors", false}};

// The planning resources are the system settings' to change, and so an administrator's.
const TServiceRights &Rights()
{
    static const TServiceRights rights(kSender, kAdministratorRights, {{"DeleteMinistryFunctions", kAdministratorRights}});
    return rights;
}

} // namespace

TResourceService::TResourceService(TDAConnectionManager &manager, const QString &connectionName)
    : TDataServiceBase(Schema(), manager, connectionName)
{
    DataService().SetLogSender(kSender);
    Rights().Install(*this);
    for (const TProcessorCommands &entry : kProcessors) {
        const QString dataset = QString::fromLatin1(entry.Dataset);
        TDABusinessProcessor &processor = DataService().BusinessProcessor(dataset);
        processor.SetInsertCommandName(QStringLiteral("Insert_") + dataset);
        processor.SetUpdateCommandName(QStringLiteral("Update_") + dataset);
        if (entry.NamedDelete)
            processor.SetDeleteCommandName(QStringLiteral("Delete_") + dataset);
    }
}

const TDASchema &TResourceService::Schema()
{
    static const std::unique_ptr<TDASchema> schema = [] {
        auto loaded = std::make_unique<TDASchema>();
        loaded->LoadFromFile(QStringLiteral(":/schemas/ResourceService.xml"));
        return loaded;
    }();
    return *schema;
}

bool TResourceService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId == IResourceService::IID) {
        *object = static_cast<IResourceService *>(this);
        return true;
    }
    return TDataServiceBase::queryInterface(interfaceId, object);
}

void TResourceService::DeleteMinistryFunction(const QString &functionId)
{
    const DataParameterArray function{DataParameter{QStringLiteral("FunctionID"), functionId}};
    DataService().ExecuteCommand(QStringLiteral("DeleteFunctionFromScheduledMinistryFunctions"), function);
    DataService().ExecuteCommand(QStringLiteral("DeleteFunctionFromAllMinistryTemplates"), function);
    TableRequestInfoV5 info;
    info.Parameters = function;
    const TDATableData preferences = DataService().ReadDataset(QStringLiteral("DAServingPreferencesForMinistryFunction"), info);
    const int column = DAFindField(preferences.Fields, QStringLiteral("PK_ServingPrefrenceID"));
    for (const QVariantList &row : preferences.Rows) {
        const DataParameterArray preference{DataParameter{QStringLiteral("PrefID"), row.at(column)}};
        DataService().ExecuteCommand(QStringLiteral("DeleteAllServingIDsFrequency"), preference);
        DataService().ExecuteCommand(QStringLiteral("DeleteAllServingIDsTemplates"), preference);
    }
    DataService().ExecuteCommand(QStringLiteral("DeleteAllServingPreferencesForFunction"), function);
}

bool TResourceService::DeleteMinistryFunctions(const QString &AFunctionList)
{
    Rights().Require(*this, QStringLiteral("DeleteMinistryFunctions"), QStringLiteral("\"DeleteMinistryFunctions\""));
    // No transaction: the client deletes the function rows whatever the answer, so every row
    // removed before a failure is one orphan fewer, and taking it back would help nobody.
    try {
        for (const QString &id : KeyLines(AFunctionList))
            DeleteMinistryFunction(id);
        return true;
    } catch (...) {
        AddToLog(llSevere, kSender, QStringLiteral("DeleteMinistryFunction"), ErrorMessage(std::current_exception()));
        return false;
    }
}
