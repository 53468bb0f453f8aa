#include "plugins/settings/uSettingsLiturgiesPage.h"

#include "plugins/settings/uDASettings.h"
#include "plugins/settings/uSettingsRules.h"

#include "ui/uFieldBinder.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include <tuple>

using namespace SettingsKeys;
using namespace SettingsLayout;
using namespace SettingsRules;

TSettingsLiturgiesPage::TSettingsLiturgiesPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    std::tie(m_acLiturgyUp, m_acLiturgyDown) = UpDownActions([this](int step) { MoveLiturgy(step); });
    BuildLiturgiesPage();
}

void TSettingsLiturgiesPage::BuildLiturgiesPage()
{
    QWidget *page = this;
    m_lvLiturgies = new QListWidget(page);
    connect(m_lvLiturgies, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            SelectLiturgy(row);
        m_host.UpdateActions();
    });
    m_liturgyFields = BindFields(Data().LiturgyTemplates, 5262);
    auto *details = new QGroupBox(page);
    QFormLayout *form = DetailsForm(details);
    m_edLiturgyName = new QLineEdit(details);
    m_edLiturgyName->setMaxLength(75);
    m_liturgyFields->Bind(m_edLiturgyName, QStringLiteral("LiturgyTemplateName"));
    m_liturgyFields->RequireName(m_edLiturgyName, [this] { return Text(2003); });
    auto *location = new QComboBox(details);
    m_liturgyFields->BindLookup(location, QStringLiteral("F_LocationID"), Data().Locations, Location, QStringLiteral("LocationName"));
    auto *comments = new QPlainTextEdit(details);
    comments->setTabChangesFocus(true);
    m_liturgyFields->Bind(comments, QStringLiteral("LiturgyTemplateComments"));
    form->addRow(Label(details, 5221), m_edLiturgyName);
    form->addRow(Label(details, 5209), location);
    form->addRow(Label(details, 5207), comments);
    // Typing the name renames the list entry at once.
    connect(m_edLiturgyName, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (QListWidgetItem *item = m_lvLiturgies->currentItem())
            item->setText(text.trimmed().isEmpty() ? m_liturgyFields->KeptName(m_edLiturgyName) : text);
    });

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_lvLiturgies, 2);
    layout->addLayout(MoveButtons(m_acLiturgyUp, m_acLiturgyDown, page));
    layout->addWidget(details, 3);
}

bool TSettingsLiturgiesPage::CanDelete() const
{
    return Data().LiturgyTemplates.GetActive() && !Data().LiturgyTemplates.Eof() && m_lvLiturgies->currentRow() >= 0;
}

void TSettingsLiturgiesPage::UpdateActions()
{
    const int liturgy = m_lvLiturgies->currentRow();
    m_acLiturgyUp->setEnabled(liturgy > 0);
    m_acLiturgyDown->setEnabled(liturgy >= 0 && liturgy < m_lvLiturgies->count() - 1);
}

bool TSettingsLiturgiesPage::DeleteLiturgies(const QString &locationId)
{
    return Guarded(QStringLiteral("DeleteLiturgies"), [this, &locationId] {
        Data().LiturgyTemplates.PostIfEditing();
        DeleteRowsWhere(Data().LiturgyTemplates, QStringLiteral("F_LocationID"), locationId);
    });
}

void TSettingsLiturgiesPage::DeleteLiturgy()
{
    Data().LiturgyTemplates.PostIfEditing();
    Data().LiturgyTemplates.Delete();
    RefreshLiturgyTabData();
}

void TSettingsLiturgiesPage::RefreshLiturgyTabData()
{
    Guarded(QStringLiteral("RefreshLiturgyTabData"), [this] {
        const int selected = m_lvLiturgies->currentRow();
        const QSignalBlocker block(m_lvLiturgies);
        m_lvLiturgies->clear();
        TDACDSDataTable &liturgies = Data().LiturgyTemplates;
        liturgies.PostIfEditing();
        liturgies.Sort(LiturgyIndex);
        for (liturgies.First(); !liturgies.Eof(); liturgies.Next()) {
            auto *item = new QListWidgetItem(liturgies.AsString(QStringLiteral("LiturgyTemplateName")), m_lvLiturgies);
            item->setData(IdRole, liturgies.AsString(Liturgy));
        }
        if (m_lvLiturgies->count() > 0) {
            const int row = qBound(0, selected, m_lvLiturgies->count() - 1);
            m_lvLiturgies->setCurrentRow(row);
            SelectLiturgy(row);
        } else {
            m_liturgyFields->Load();
        }
    });
    m_host.UpdateActions();
}

void TSettingsLiturgiesPage::SelectLiturgy(int index)
{
    Guarded(QStringLiteral("lvLiturgiesClick"), [this, index] {
        QListWidgetItem *item = m_lvLiturgies->item(index);
        if (!item)
            return;
        Data().LiturgyTemplates.PostIfEditing();
        Data().LiturgyTemplates.Locate(Liturgy, item->data(IdRole));
        m_liturgyFields->Load();
        m_edLiturgyName->setFocus();
    });
}

void TSettingsLiturgiesPage::InsertLiturgy()
{
    Guarded(QStringLiteral("InsertLiturgy"), [this] {
        TDACDSDataTable &liturgies = Data().LiturgyTemplates;
        liturgies.PostIfEditing();
        liturgies.Insert();
        liturgies.SetValue(QStringLiteral("LiturgyTemplateName"), Text(2003));
        if (Data().Locations.GetActive() && !Data().Locations.Eof())
            liturgies.SetValue(QStringLiteral("F_LocationID"), Data().Locations.AsString(Location));
        liturgies.Post();
        const QString id = liturgies.AsString(Liturgy);
        RefreshLiturgyTabData();
        for (int i = 0; i < m_lvLiturgies->count(); ++i)
            if (m_lvLiturgies->item(i)->data(IdRole).toString() == id)
                m_lvLiturgies->setCurrentRow(i);
    });
}

void TSettingsLiturgiesPage::MoveLiturgy(int step)
{
    Guarded(QStringLiteral("SaveLiturgyTemplateIndex"), [this, step] {
        const int from = m_lvLiturgies->currentRow();
        const int to = from + step;
        if (from < 0 || to < 0 || to >= m_lvLiturgies->count())
            return;
        Data().LiturgyTemplates.PostIfEditing();
        {
            const QSignalBlocker block(m_lvLiturgies);
            m_lvLiturgies->insertItem(to, m_lvLiturgies->takeItem(from));
        }
        QStringList ids;
        for (int i = 0; i < m_lvLiturgies->count(); ++i)
            ids << m_lvLiturgies->item(i)->data(IdRole).toString();
        SaveListIndex(Data().LiturgyTemplates, Liturgy, ids);
        m_lvLiturgies->setCurrentRow(to);
        SelectLiturgy(to);
    });
    m_host.UpdateActions();
}
