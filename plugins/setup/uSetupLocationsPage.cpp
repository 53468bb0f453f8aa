// The wizard's second page, the locations: the list, the fields of the current one, and what
// they write into the Locations table; a removed location takes its liturgies along.
#include "plugins/setup/uplgSetup.h"

#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uDASetup.h"
#include "plugins/setup/uSetupPageKit.h"

#include "ui/PromptService.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace SetupPageKit;
using namespace SetupRules;

void TplgInitialSetup::BuildLocationsPage(QWidget *body)
{
    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(16, 12, 16, 8);
    m_lblLocations = Named<QLabel>(QStringLiteral("lblLocations"), body);
    m_lstLocations = Named<QListWidget>(QStringLiteral("lstLocations"), body);
    m_btnAddLocation = Button(QStringLiteral("btnAddLocation"), body);
    m_btnRemoveLocation = Button(QStringLiteral("btnRemoveLocation"), body);
    auto *fields = new QFormLayout;
    const QStringList names = {QStringLiteral("lblLocationName"), QStringLiteral("lblLocationAddress"),
                               QStringLiteral("lblLocationPhone1"), QStringLiteral("lblLocationFax"),
                               QStringLiteral("lblLocationEMail"), QStringLiteral("lblLocationWeb")};
    for (int i = 0; i < 6; ++i)
        m_lblLocationFields[i] = Named<QLabel>(names[i], body);
    m_edLocationName = Named<QLineEdit>(QStringLiteral("edLocationName"), body);
    m_edLocationName->setMaxLength(75);
    m_memLocationAddress = Named<QPlainTextEdit>(QStringLiteral("memLocationAddress"), body);
    m_memLocationAddress->setMaximumHeight(70);
    m_edPhone1 = Named<QLineEdit>(QStringLiteral("edLocationPhone1"), body);
    m_edFax = Named<QLineEdit>(QStringLiteral("edLocationFax"), body);
    m_edEMail = Named<QLineEdit>(QStringLiteral("edLocationEMail"), body);
    m_edWeb = Named<QLineEdit>(QStringLiteral("edLocationWeb"), body);
    fields->addRow(m_lblLocationFields[0], m_edLocationName);
    fields->addRow(m_lblLocationFields[1], m_memLocationAddress);
    fields->addRow(m_lblLocationFields[2], m_edPhone1);
    fields->addRow(m_lblLocationFields[3], m_edFax);
    fields->addRow(m_lblLocationFields[4], m_edEMail);
    fields->addRow(m_lblLocationFields[5], m_edWeb);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_btnAddLocation);
    buttons->addWidget(m_btnRemoveLocation);
    buttons->addStretch();
    grid->addWidget(m_lblLocations, 0, 0);
    grid->addWidget(m_lstLocations, 1, 0);
    grid->addLayout(buttons, 2, 0);
    grid->addLayout(fields, 1, 1, 2, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    connect(m_lstLocations, &QListWidget::itemClicked, this, [this] { LocationListClick(); });
    connect(m_lstLocations, &QListWidget::currentRowChanged, this, [this] {
        if (!m_filling)
            LocationListClick();
    });
    connect(m_btnAddLocation, &QPushButton::clicked, this, [this] { acAddLocationExecute(); });
    connect(m_btnRemoveLocation, &QPushButton::clicked, this, [this] { acRemoveLocationExecute(); });
    connect(m_edLocationName, &QLineEdit::textEdited, this, [this](const QString &text) {
        LocationEdited(kLocationName, text);
        if (QListWidgetItem *item = m_lstLocations->currentItem())
            item->setText(text);
    });
    connect(m_memLocationAddress, &QPlainTextEdit::textChanged, this,
            [this] { LocationEdited(QStringLiteral("LocationAddress"), m_memLocationAddress->toPlainText()); });
    const QList<QPair<QLineEdit *, QString>> bound = {{m_edPhone1, QStringLiteral("LocationPhone1")},
                                                      {m_edFax, QStringLiteral("LocationFax")},
                                                      {m_edEMail, QStringLiteral("LocationEMail")},
                                                      {m_edWeb, QStringLiteral("LocationWeb")}};
    for (const auto &[edit, field] : bound) {
        const QString name = field;
        connect(edit, &QLineEdit::textEdited, this, [this, name](const QString &text) { LocationEdited(name, text); });
    }
}

void TplgInitialSetup::FillLocationList()
{
    try {
        TDACDSDataTable &t = Data().Locations;
        t.PostIfEditing();
        // After a removal the cursor may stand past the last row: then the first is current.
        const QString current = t.Eof() ? QString() : t.AsString(kLocationID);
        m_filling = true;
        m_lstLocations->clear();
        int select = -1;
        for (const auto &[id, name] : Rows(t, kLocationID, kLocationName)) {
            auto *item = new QListWidgetItem(name, m_lstLocations);
            item->setData(kIdRole, id);
            if (id == current)
                select = m_lstLocations->count() - 1;
        }
        if (select < 0 || !t.Locate(kLocationID, current)) {
            t.First();
            select = m_lstLocations->count() > 0 ? 0 : -1;
        }
        m_lstLocations->setCurrentRow(select);
        m_filling = false;
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("HYVisualPluginShow"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::LocationListClick()
{
    QorGuarded(RvSetup(), QStringLiteral("lbLocationsClick"), [&] {
        TDACDSDataTable &t = Data().Locations;
        if (t.GetState() == TDATableState::dsEdit)
            t.Post();
        if (m_lstLocations->count() == 0)
            return;
        if (m_lstLocations->currentRow() < 0) {
            m_filling = true;
            m_lstLocations->setCurrentRow(0);
            m_filling = false;
        }
        t.Locate(kLocationID, m_lstLocations->currentItem()->data(kIdRole));
        ShowLocation();
    });
    UpdateActions();
}

void TplgInitialSetup::ShowLocation()
{
    const TDACDSDataTable &t = Data().Locations;
    m_filling = true;
    m_edLocationName->setText(t.AsString(kLocationName));
    m_memLocationAddress->setPlainText(t.AsString(QStringLiteral("LocationAddress")));
    m_edPhone1->setText(t.AsString(QStringLiteral("LocationPhone1")));
    m_edFax->setText(t.AsString(QStringLiteral("LocationFax")));
    m_edEMail->setText(t.AsString(QStringLiteral("LocationEMail")));
    m_edWeb->setText(t.AsString(QStringLiteral("LocationWeb")));
    m_filling = false;
}

void TplgInitialSetup::LocationEdited(const QString &field, const QString &value)
{
    if (m_filling)
        return;
    QorGuarded(RvSetup(), field, [&] {
        TDACDSDataTable &t = Data().Locations;
        if (!m_lstLocations->currentItem() || t.GetRecordCount() == 0)
            return;
        EditCurrent(t);
        t.SetValue(field, value);
    });
}

void TplgInitialSetup::acAddLocationExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("acAddLocationExecute"), [&] {
        TDACDSDataTable &t = Data().Locations;
        t.PostIfEditing();
        t.Insert();
        t.SetValue(kLocationName, NewLocationName(Text(1506), m_lstLocations->count()));
        t.Post();
        FillLocationList();
        ShowLocation();
        FocusName(m_edLocationName);
    });
    UpdateActions();
}

void TplgInitialSetup::acRemoveLocationExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("acRemoveLocationExecute"), [&] {
        QListWidgetItem *item = m_lstLocations->currentItem();
        if (!item)
            return;
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1202), Text(1201), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) != QMessageBox::Yes)
            return;
        TDACDSDataTable &t = Data().Locations;
        if (t.IsEditing())
            t.Cancel();
        const QString id = item->data(kIdRole).toString();
        RemoveLiturgyFromLocation(id);
        if (t.Locate(kLocationID, id))
            t.Delete();
        FillLocationList();
        if (m_lstLocations->count() == 0)
            acAddLocationExecute(); // there is always one location
        else
            LocationListClick();
    });
    UpdateActions();
}

void TplgInitialSetup::RemoveLiturgyFromLocation(const QString &locationId)
{
    try {
        TDACDSDataTable &t = Data().LiturgyTemplates;
        t.PostIfEditing();
        FilterOn(t, QStringLiteral("F_LocationID"), locationId);
        DeleteShown(t);
        t.ClearFilter();
    } catch (const std::exception &e) {
        Data().LiturgyTemplates.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("RemoveLiturgyFromLocation"), e);
    }
}
