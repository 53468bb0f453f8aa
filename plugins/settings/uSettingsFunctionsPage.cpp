#include "plugins/settings/uSettingsFunctionsPage.h"

#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uSettingsRules.h"

#include "dataaccess/DAException.h"
#include "ui/TDATableModel.h"
#include "ui/uFieldBinder.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <tuple>

using namespace SettingsKeys;
using namespace SettingsLayout;
using namespace SettingsRules;

TSettingsFunctionsPage::TSettingsFunctionsPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    std::tie(m_acFunctionUp, m_acFunctionDown) = UpDownActions([this](int step) { MoveFunction(step); });
    BuildFunctionsPage();
}

void TSettingsFunctionsPage::BuildFunctionsPage()
{
    QWidget *page = this;
    m_grdFunctions = ListGrid(page);
    m_functionModel =
        ShowRows(m_grdFunctions, Data().MinistryFunctions, QStringLiteral("MinistryFunctionName"), QStringLiteral("grdFunctions"));
    m_functionModel->SetCaption(QStringLiteral("MinistryFunctionName"), QStringLiteral("Ministry functions"));
    connect(m_grdFunctions->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { m_host.UpdateActions(); });

    m_functionFields = BindFields(Data().MinistryFunctions, 5263);
    auto *details = new QGroupBox(page);
    Caption(details, 4001);
    QFormLayout *form = DetailsForm(details);
    m_edFunctionName = new QLineEdit(details);
    m_edFunctionName->setMaxLength(50);
    m_functionFields->Bind(m_edFunctionName, QStringLiteral("MinistryFunctionName"));
    m_functionFields->RequireName(m_edFunctionName, [this] { return Text(4005); });
    auto *abbreviation = new QLineEdit(details);
    abbreviation->setMaxLength(10);
    m_functionFields->Bind(abbreviation, QStringLiteral("MinistryFunctionAbr"));
    auto *description = new QPlainTextEdit(details);
    description->setTabChangesFocus(true);
    m_functionFields->Bind(description, QStringLiteral("MinistryFunctionDescription"));
    auto *duplicates = new QCheckBox(details);
    Caption(duplicates, 5208);
    m_functionFields->Bind(duplicates, QStringLiteral("AllowDuplicate"));
    form->addRow(Label(details, 4002), m_edFunctionName);
    form->addRow(Label(details, 4003), abbreviation);
    form->addRow(Label(details, 4004), description);
    form->addRow(QString(), duplicates);
    m_functionFields->OnWritten = [this](const QString &) { m_grdFunctions->viewport()->update(); };

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_grdFunctions, 2);
    layout->addLayout(MoveButtons(m_acFunctionUp, m_acFunctionDown, page));
    layout->addWidget(details, 3);
}

bool TSettingsFunctionsPage::CanDelete() const
{
    return Data().MinistryFunctions.GetActive() && !Data().MinistryFunctions.Eof();
}

void TSettingsFunctionsPage::UpdateActions()
{
    const int function = m_functionModel->CurrentRow();
    m_acFunctionUp->setEnabled(function > 0);
    m_acFunctionDown->setEnabled(function >= 0 && function < m_functionModel->rowCount() - 1);
}

void TSettingsFunctionsPage::InsertMinistryFunction()
{
    Guarded(QStringLiteral("InsertMinistryFunction"), [this] {
        Data().MinistryFunctions.PostIfEditing();
        Data().MinistryFunctions.Insert();
        Data().MinistryFunctions.SetValue(QStringLiteral("MinistryFunctionName"), Text(4005));
        Data().MinistryFunctions.Post();
        m_edFunctionName->setFocus();
        m_edFunctionName->selectAll();
    });
}

void TSettingsFunctionsPage::MoveFunction(int step)
{
    Guarded(QStringLiteral("SwapSort"), [this, step] {
        Data().MinistryFunctions.PostIfEditing();
        if (Data().MinistryFunctions.Eof() || Data().MinistryFunctions.IsNull(SortIndex))
            return;
        const int a = Data().MinistryFunctions.AsInteger(SortIndex);
        SwapSort(a, a + step, Data().MinistryFunctions, Function);
        m_grdFunctions->setFocus();
    });
    m_host.UpdateActions();
}

void TSettingsFunctionsPage::DeleteMinistryFunction()
{
    Guarded(QStringLiteral("DeleteMinistryFunction"), [this] {
        TDACDSDataTable &functions = Data().MinistryFunctions;
        functions.PostIfEditing();
        const QString id = functions.AsString(Function);
        if (id.isEmpty() || !m_host.Confirm(2009, 2010))
            return;
        // The server removes the function's links, preferences and scheduled uses; the links
        // are then read again instead of sending deletions of rows already gone, and the
        // function row itself is deleted here. Pending changes of the three tables go first.
        TDACDSDataTable &templates = Data().MinistryTemplates;
        TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
        templates.PostIfEditing();
        links.PostIfEditing();
        for (TDACDSDataTable *table : {&functions, &templates, &links})
            if (table->HasChanges())
                table->ApplyUpdates();
        if (!Data().DeleteMinistryFunctions({id}))
            throw EDAException(QStringLiteral("The server did not delete the ministry function %1").arg(id));
        links.Refresh();
        if (functions.Locate(Function, id))
            functions.Delete();
        functions.ApplyUpdates(true);
        functions.Sort(SortIndex);
    });
}
