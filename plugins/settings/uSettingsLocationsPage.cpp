#include "plugins/settings/uSettingsLocationsPage.h"

#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uSettingsRules.h"

#include "ui/TDATableModel.h"
#include "ui/uFieldBinder.h"

#include <QAction>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <tuple>

using namespace SettingsLayout;
using namespace SettingsRules;

TSettingsLocationsPage::TSettingsLocationsPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    std::tie(m_acLocationUp, m_acLocationDown) = UpDownActions([this](int step) { MoveLocation(step); });
    BuildLocationsPage();
}

void TSettingsLocationsPage::BuildLocationsPage()
{
    QWidget *page = this;
    m_grdLocations = ListGrid(page);
    m_locationModel = ShowRows(m_grdLocations, Data().Locations, QStringLiteral("LocationName"), QStringLiteral("grdLocationTV"));
    connect(m_grdLocations->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { m_host.UpdateActions(); });

    m_locationFields = BindFields(Data().Locations, 5261);
    auto *details = new QGroupBox(page);
    QFormLayout *form = DetailsForm(details);
    auto line = [&](const QString &field, int caption) {
        auto *edit = new QLineEdit(details);
        m_locationFields->Bind(edit, field);
        form->addRow(Label(details, caption), edit);
        return edit;
    };
    auto memo = [&](const QString &field, int caption) {
        auto *edit = new QPlainTextEdit(details);
        edit->setTabChangesFocus(true);
        edit->setFixedHeight(64);
        m_locationFields->Bind(edit, field);
        form->addRow(Label(details, caption), edit);
        return edit;
    };
    m_edLocationName = line(QStringLiteral("LocationName"), 5200);
    m_locationFields->RequireName(m_edLocationName, [this] { return Text(5250); });
    m_edLocationName->setMaxLength(75);
    memo(QStringLiteral("LocationAddress"), 5201);
    line(QStringLiteral("LocationPhone1"), 5202);
    line(QStringLiteral("LocationPhone2"), 5203);
    line(QStringLiteral("LocationFax"), 5204);
    line(QStringLiteral("LocationEMail"), 5205);
    line(QStringLiteral("LocationWeb"), 5206);
    memo(QStringLiteral("LocationComments"), 5207);
    m_locationFields->OnWritten = [this](const QString &) { m_grdLocations->viewport()->update(); };

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_grdLocations, 2);
    layout->addLayout(MoveButtons(m_acLocationUp, m_acLocationDown, page));
    layout->addWidget(details, 3);
}

void TSettingsLocationsPage::LoadCaptions()
{
    TSettingsPage::LoadCaptions();
    m_locationModel->SetCaption(QStringLiteral("LocationName"), Text(5251));
}

bool TSettingsLocationsPage::CanDelete() const
{
    return Data().Locations.GetActive() && !Data().Locations.Eof();
}

void TSettingsLocationsPage::UpdateActions()
{
    const int location = m_locationModel->CurrentRow();
    m_acLocationUp->setEnabled(location > 0);
    m_acLocationDown->setEnabled(location >= 0 && location < m_locationModel->rowCount() - 1);
}

void TSettingsLocationsPage::FocusGrid()
{
    m_grdLocations->setFocus();
}

void TSettingsLocationsPage::InsertLocation()
{
    Guarded(QStringLiteral("InsertLocation"), [this] {
        Data().Locations.PostIfEditing();
        Data().Locations.Insert();
        Data().Locations.SetValue(QStringLiteral("LocationName"), Text(5250));
        m_locationFields->Load();
        m_edLocationName->setFocus();
        m_edLocationName->selectAll();
    });
}

void TSettingsLocationsPage::MoveLocation(int step)
{
    Guarded(QStringLiteral("SwapSort"), [this, step] {
        Data().Locations.PostIfEditing();
        if (Data().Locations.Eof() || Data().Locations.IsNull(SortIndex))
            return;
        const int a = Data().Locations.AsInteger(SortIndex);
        SwapSort(a, a + step, Data().Locations, SettingsKeys::Location);
        m_grdLocations->setFocus();
    });
    m_host.UpdateActions();
}
