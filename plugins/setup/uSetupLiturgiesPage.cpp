// The wizard's third page, the liturgies: each at a location, listed as "Name (Location)", and
// what their fields write into the LiturgyTemplates table.
#include "plugins/setup/uplgSetup.h"

#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uDASetup.h"
#include "plugins/setup/uSetupPageKit.h"

#include "ui/PromptService.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace SetupPageKit;
using namespace SetupRules;

void TplgInitialSetup::BuildLiturgiesPage(QWidget *body)
{
    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(16, 12, 16, 8);
    m_lblLiturgies = Named<QLabel>(QStringLiteral("lblLiturgies"), body);
    m_tvLiturgies = Named<QTreeWidget>(QStringLiteral("tvLiturgies"), body);
    m_tvLiturgies->setHeaderHidden(true);
    m_tvLiturgies->setRootIsDecorated(false);
    m_lblLiturgyName = Named<QLabel>(QStringLiteral("lblLiturgyName"), body);
    m_lblLiturgyLocation = Named<QLabel>(QStringLiteral("lblLiturgyLocation"), body);
    m_lblLiturgyComments = Named<QLabel>(QStringLiteral("lblLiturgyComments"), body);
    m_edLiturgyName = Named<QLineEdit>(QStringLiteral("edLiturgyName"), body);
    m_edLiturgyName->setMaxLength(75);
    m_cbLocation = Named<QComboBox>(QStringLiteral("cbLocation"), body);
    m_memLiturgyComments = Named<QPlainTextEdit>(QStringLiteral("memLiturgyComments"), body);
    m_btnAddLiturgy = Button(QStringLiteral("btnAddLiturgy"), body);
    m_btnRemoveLiturgy = Button(QStringLiteral("btnRemoveLiturgy"), body);
    auto *fields = new QFormLayout;
    fields->addRow(m_lblLiturgyName, m_edLiturgyName);
    fields->addRow(m_lblLiturgyLocation, m_cbLocation);
    fields->addRow(m_lblLiturgyComments, m_memLiturgyComments);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_btnAddLiturgy);
    buttons->addWidget(m_btnRemoveLiturgy);
    buttons->addStretch();
    grid->addWidget(m_lblLiturgies, 0, 0);
    grid->addWidget(m_tvLiturgies, 1, 0);
    grid->addLayout(buttons, 2, 0);
    grid->addLayout(fields, 1, 1, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    connect(m_tvLiturgies, &QTreeWidget::currentItemChanged, this, [this] {
        if (!m_addingLiturgy && !m_filling)
            LiturgySelected();
        UpdateActions();
    });
    connect(m_edLiturgyName, &QLineEdit::textEdited, this, [this] { LiturgyEdited(); });
    connect(m_cbLocation, &QComboBox::activated, this, [this] { LiturgyEdited(); });
    connect(m_memLiturgyComments, &QPlainTextEdit::textChanged, this, [this] {
        if (m_filling)
            return;
        QorGuarded(RvSetup(), QStringLiteral("LiturgyTemplateComments"), [&] {
            TDACDSDataTable &t = Data().LiturgyTemplates;
            if (!m_tvLiturgies->currentItem() || t.GetRecordCount() == 0)
                return;
            EditCurrent(t);
            t.SetValue(QStringLiteral("LiturgyTemplateComments"), m_memLiturgyComments->toPlainText());
        });
    });
    connect(m_btnAddLiturgy, &QPushButton::clicked, this, [this] { acAddLiturgyExecute(); });
    connect(m_btnRemoveLiturgy, &QPushButton::clicked, this, [this] { acRemoveLiturgyExecute(); });
}

void TplgInitialSetup::FillLocationBox()
{
    m_cbLocation->clear();
    for (const auto &[id, name] : Rows(Data().Locations, kLocationID, kLocationName))
        m_cbLocation->addItem(name, id);
}

void TplgInitialSetup::PrepareLiturgyTab()
{
    m_filling = true;
    try {
        TDASetup &setup = Data();
        setup.LiturgyTemplates.PostIfEditing();
        FillLocationBox();
        m_tvLiturgies->clear();
        for (const auto &[locationId, locationName] : Rows(setup.Locations, kLocationID, kLocationName)) {
            FilterOn(setup.LiturgyTemplates, QStringLiteral("F_LocationID"), locationId);
            for (const auto &[id, name] : Rows(setup.LiturgyTemplates, kLiturgyID, kLiturgyName)) {
                auto *node = new QTreeWidgetItem(m_tvLiturgies, {LiturgyNodeText(name, locationName)});
                node->setData(0, kIdRole, id);
                node->setData(0, kSecondRole, locationId);
            }
        }
        setup.LiturgyTemplates.ClearFilter();
    } catch (const std::exception &e) {
        Data().LiturgyTemplates.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("PrepareLiturgyTab"), e);
    }
    m_filling = false;
}

void TplgInitialSetup::LiturgySelected()
{
    try {
        TDACDSDataTable &t = Data().LiturgyTemplates;
        t.PostIfEditing();
        QTreeWidgetItem *node = m_tvLiturgies->currentItem();
        if (!node || !t.Locate(kLiturgyID, node->data(0, kIdRole)))
            return;
        m_filling = true;
        m_edLiturgyName->setText(t.AsString(kLiturgyName));
        m_cbLocation->setCurrentIndex(m_cbLocation->findData(t.AsString(QStringLiteral("F_LocationID"))));
        m_memLiturgyComments->setPlainText(t.AsString(QStringLiteral("LiturgyTemplateComments")));
        m_filling = false;
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("tvLiturgiesChange"), e);
    }
}

void TplgInitialSetup::LiturgyEdited()
{
    if (m_filling)
        return;
    QorGuarded(RvSetup(), QStringLiteral("edLiturgyNameChange"), [&] {
        TDACDSDataTable &t = Data().LiturgyTemplates;
        QTreeWidgetItem *node = m_tvLiturgies->currentItem();
        if (!node || t.GetRecordCount() == 0)
            return;
        EditCurrent(t);
        t.SetValue(kLiturgyName, m_edLiturgyName->text());
        if (m_cbLocation->currentIndex() >= 0) {
            t.SetValue(QStringLiteral("F_LocationID"), m_cbLocation->currentData());
            node->setData(0, kSecondRole, m_cbLocation->currentData());
        }
        node->setText(0, LiturgyNodeText(m_edLiturgyName->text(), m_cbLocation->currentText()));
    });
}

void TplgInitialSetup::acAddLiturgyExecute()
{
    try {
        TDASetup &setup = Data();
        setup.Locations.PostIfEditing();
        setup.LiturgyTemplates.PostIfEditing();
        // A liturgy belongs to the current location, else to the first there is.
        if (setup.Locations.Eof())
            setup.Locations.First();
        if (setup.Locations.Eof()) {
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1225));
            return;
        }
        const QString locationId = setup.Locations.AsString(kLocationID);
        m_addingLiturgy = true;
        TDACDSDataTable &t = setup.LiturgyTemplates;
        t.Insert();
        t.SetValue(QStringLiteral("F_LocationID"), locationId);
        t.SetValue(kLiturgyName, Text(1509, true));
        const QString id = t.AsString(kLiturgyID);
        t.Post();
        t.Locate(kLiturgyID, id);
        auto *node = new QTreeWidgetItem(m_tvLiturgies);
        node->setData(0, kIdRole, id);
        node->setData(0, kSecondRole, locationId);
        m_tvLiturgies->setCurrentItem(node);
        m_addingLiturgy = false;
        m_filling = true;
        m_edLiturgyName->setText(t.AsString(kLiturgyName));
        m_cbLocation->setCurrentIndex(m_cbLocation->findData(locationId));
        m_memLiturgyComments->clear();
        m_filling = false;
        node->setText(0, LiturgyNodeText(m_edLiturgyName->text(), m_cbLocation->currentText()));
        FocusName(m_edLiturgyName);
    } catch (const std::exception &e) {
        m_addingLiturgy = false;
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("acAddLiturgyExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::acRemoveLiturgyExecute()
{
    QorGuarded(RvSetup(), QStringLiteral("acRemoveLiturgyExecute"), [&] {
        QTreeWidgetItem *node = m_tvLiturgies->currentItem();
        if (!node)
            return;
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1212), Text(1211), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) != QMessageBox::Yes)
            return;
        TDACDSDataTable &t = Data().LiturgyTemplates;
        t.PostIfEditing();
        if (t.Locate(kLiturgyID, node->data(0, kIdRole)))
            t.Delete();
        delete node;
        LiturgySelected();
    });
    UpdateActions();
}
