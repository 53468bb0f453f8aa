#include "plugins/contacts/uContactsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactsViewRules.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/ufGroups.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/uCommon.h"
#include "ui/TDATableModel.h"

#include <QStackedWidget>
#include <QTableView>

#include <set>

using namespace ContactsViewRules;
using namespace Quorva;

void TplgContacts::AddToNewFamily()
{
    if (!m_model)
        return;
    TBusyCursor busy;
    const int focused = m_model->CurrentRow();
    TDACDSDataTable &list = Data().DAContactList();
    TDACDSDataTable &family = Data().DAFamilyDetails();
    const QStringList keys = SelectedKeys();
    m_stack->setUpdatesEnabled(false);
    try {
        family.Close();
        family.ParamByName(QStringLiteral("PK_FamilyID")).Value = NoFamily;
        family.Open();
        family.Insert();
        const QString familyKey = family.AsString(QStringLiteral("PK_FamilyID"));
        for (int i = 0; i < keys.size(); ++i) {
            if (!list.Locate(KeyField, keys[i]))
                continue;
            if (i == 0) {
                family.SetValue(QStringLiteral("FamilyName"), list.AsString(QStringLiteral("LastName")) + Text(5015));
                family.SetValue(QStringLiteral("FamilyStreet"), list.Value(QStringLiteral("Street")));
                family.SetValue(QStringLiteral("FamilyCity"), list.Value(QStringLiteral("City")));
                family.SetValue(QStringLiteral("FamilyState"), list.Value(QStringLiteral("State")));
                family.SetValue(QStringLiteral("FamilyZip"), list.Value(QStringLiteral("Zip")));
                family.SetValue(QStringLiteral("FamilyPhone1"), list.Value(QStringLiteral("phone1")));
            }
            TDAContacts::JoinFamily(list, familyKey);
        }
        TDAContacts::FilterByFamily(list, familyKey);
        if (Data().ShowFamilyDialog(0) == int(TModalResult::Ok)) {
            // The family before the members that point at it, in one call.
            Data().SaveOrRevert(QStringLiteral("acHYAddFamilyExecute"), {&family, &list});
        } else {
            TDAContacts::CancelAll({&family, &list});
        }
        family.Close();
        if (Data().DAFamilyList().GetActive() && !Data().DAFamilyList().HasChanges())
            Data().DAFamilyList().Refresh();
    } catch (const std::exception &e) {
        Data().RevertAfterFailure(QStringLiteral("acHYAddFamilyExecute"), QString::fromUtf8(e.what()), {&family, &list});
    }
    try {
        list.ClearFilter();
        m_stack->setUpdatesEnabled(true);
        m_table->clearSelection();
        FocusRow(focused);
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYAddFamilyExecute2"), e);
    }
}

void TplgContacts::AddToExistingFamily()
{
    try {
        std::unique_ptr<TSearchObjectList> result;
        if (!Controller().PerformSearch(2, Text(2200), 0, false, nullptr, nullptr, result) || !result || result->isEmpty())
            return;
        const QString familyKey = result->first().Object.Caption;
        TDACDSDataTable &list = Data().DAContactList();
        const int focused = m_model ? m_model->CurrentRow() : 0;
        for (const QString &key : SelectedKeys())
            if (list.Locate(KeyField, key))
                TDAContacts::JoinFamily(list, familyKey);
        Data().SaveOrRevert(QStringLiteral("acHYAddExistingFamilyExecute"), {&list});
        FocusRow(focused);
    } catch (const std::exception &e) {
        Data().RevertAfterFailure(QStringLiteral("acHYAddExistingFamilyExecute"), QString::fromUtf8(e.what()), {&Data().DAContactList()});
    }
}

QStringList TplgContacts::RunPicker(bool functions)
{
    TfGroups picker(Data(), Controller(), this);
    picker.SetMode(functions);
    picker.Prepare();
    picker.Initialize();
    if (picker.ShowModal() != TModalResult::Ok)
        return {};
    return picker.SelectedIDs();
}

void TplgContacts::AddToGroup()
{
    TBusyCursor busy;
    try {
        TDACDSDataTable &groups = Data().DAGroupsList();
        TDACDSDataTable &links = Data().DALnkGroupMembers();
        if (!groups.GetActive())
            groups.Open();
        if (!links.GetActive())
            links.Open();
        const QStringList chosen = PickGroups(false);
        if (chosen.isEmpty())
            return;
        const QString group = chosen.first();
        std::set<QString> members;
        for (int r = 0; r < links.GetRecordCount(); ++r)
            if (links.ValueAt(r, links.FieldIndex(QStringLiteral("F_GroupID"))).toString().compare(group, Qt::CaseInsensitive) == 0)
                members.insert(links.ValueAt(r, links.FieldIndex(QStringLiteral("F_MemberID"))).toString().toUpper());
        for (const QString &key : SelectedKeys()) {
            if (members.count(key.toUpper()))
                continue; // already in the group
            links.Insert();
            links.SetValue(QStringLiteral("F_MemberID"), key);
            links.SetValue(QStringLiteral("F_MemberTypeID"), TDAContacts::ContactMemberType);
            links.SetValue(QStringLiteral("F_GroupID"), group);
            links.Post();
        }
        // Groups made in the picker before the links that point at them, in one call.
        Data().SaveOrRevert(QStringLiteral("acHYAddGroupExecute"), {&groups, &links}, true);
    } catch (const std::exception &e) {
        Data().RevertAfterFailure(QStringLiteral("acHYAddGroupExecute"), QString::fromUtf8(e.what()),
                                  {&Data().DAGroupsList(), &Data().DALnkGroupMembers()});
    }
}

void TplgContacts::AddToMinistry()
{
    TBusyCursor busy;
    TDACDSDataTable &functions = Data().MinistryFunctions();
    try {
        if (!functions.GetActive())
            functions.Open();
        const QStringList chosen = PickGroups(true);
        TDACDSDataTable &preferences = Data().DALnkServingPrefrence();
        for (const QString &contact : chosen.isEmpty() ? QStringList() : SelectedKeys()) {
            // This person's preferences, so that a function already there is not given twice.
            preferences.Close();
            preferences.ParamByName(QStringLiteral("F_ContactID")).Value = contact;
            preferences.ParamByName(QStringLiteral("ContactType")).Value = 0;
            preferences.Open();
            for (const QString &function : chosen) {
                if (preferences.Locate(QStringLiteral("F_MinistryFunctionID"), function))
                    continue;
                preferences.Insert();
                preferences.SetValue(QStringLiteral("ContactType"), 0);
                preferences.SetValue(QStringLiteral("F_ContactID"), contact);
                preferences.SetValue(QStringLiteral("F_MinistryFunctionID"), function);
                preferences.SetValue(QStringLiteral("ContactCanFillIn"), false);
                preferences.Post();
            }
            if (!Data().SaveOrRevert(QStringLiteral("acHYAddGroupExecute"), {&preferences}))
                break;
        }
        preferences.Close();
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYAddGroupExecute"), e);
    }
    functions.Close();
}
