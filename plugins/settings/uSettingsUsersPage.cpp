#include "plugins/settings/uSettingsUsersPage.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uDASettings.h"

#include "foundation/uCommon.h"
#include "ui/TDATableModel.h"
#include "ui/uFieldBinder.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>

#include <tuple>

using namespace SettingsKeys;
using namespace SettingsLayout;

TSettingsUsersPage::TSettingsUsersPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    BuildUsersPage();
}

void TSettingsUsersPage::BuildUsersPage()
{
    QWidget *page = this;
    m_grdUsers = ListGrid(page);
    m_grdUsers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_userModel = ShowRows(m_grdUsers, Data().Users, QStringLiteral("LogonUsername"), QStringLiteral("grdTblView"));
    connect(m_grdUsers->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UserSelectionChanged(); });
    connect(m_grdUsers->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { UserSelectionChanged(); });

    m_userFields = BindFields(Data().Users, 5265);
    auto *details = new QGroupBox(page);
    Caption(details, 3007);
    QFormLayout *form = DetailsForm(details);
    m_edUsername = new QLineEdit(details);
    m_edUsername->setMaxLength(32);
    m_edUsername->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-zA-Z0-9]+")), m_edUsername));
    m_userFields->Bind(m_edUsername, QStringLiteral("LogonUsername"));
    m_userFields->RequireName(m_edUsername, [this] { return Text(5241); });
    m_cboUserLevel = new QComboBox(details);
    m_userFields->BindLookup(m_cboUserLevel, QStringLiteral("F_Userlevel"), Data().UserLevels, QStringLiteral("PK_UserLevelID"),
                             QStringLiteral("UserLevelName"));
    auto *comments = new QPlainTextEdit(details);
    comments->setTabChangesFocus(true);
    m_userFields->Bind(comments, QStringLiteral("Comments"));
    form->addRow(Label(details, 3002), m_edUsername);
    form->addRow(Label(details, 3013), m_cboUserLevel);
    form->addRow(Label(details, 3012), comments);
    for (const auto &[field, caption, name] : {std::tuple(QStringLiteral("CreatedDateTime"), 3008, "lblCreated"),
                                                std::tuple(QStringLiteral("ModifiedDateTime"), 3009, "lblModified"),
                                                std::tuple(QStringLiteral("LastLoginDate"), 3011, "lblLastLogon")}) {
        auto *value = new QLabel(details);
        value->setObjectName(QLatin1String(name));
        m_userFields->BindDate(value, field);
        form->addRow(Label(details, caption), value);
    }
    auto *passwordRow = new QHBoxLayout;
    auto *since = new QLabel(details);
    m_userFields->BindDate(since, QStringLiteral("CreatedDateTime"));
    m_btnPassword = new QPushButton(details);
    Caption(m_btnPassword, 3039);
    passwordRow->addWidget(since, 1);
    passwordRow->addWidget(m_btnPassword);
    form->addRow(Label(details, 3010), passwordRow);
    connect(m_btnPassword, &QPushButton::clicked, this, [this] { SetPassword(); });
    m_userFields->OnWritten = [this](const QString &) { m_grdUsers->viewport()->update(); };
    // Loading the row enables its editors; the level box then follows whose row it is.
    m_userFields->OnLoaded = [this] { UserSelectionChanged(); };

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_grdUsers, 2);
    layout->addWidget(details, 3);
}

void TSettingsUsersPage::LoadCaptions()
{
    TSettingsPage::LoadCaptions();
    m_userModel->SetCaption(QStringLiteral("LogonUsername"), Text(3001));
}

bool TSettingsUsersPage::CanDelete() const
{
    return Data().Users.GetActive() && !Data().Users.Eof() && !IsCurrentUser(Data().Users.AsString(User));
}

void TSettingsUsersPage::PageShown()
{
    if (!m_grdUsers->currentIndex().isValid() && m_userModel->rowCount() > 0)
        m_grdUsers->setCurrentIndex(m_userModel->index(0, 0));
    if (m_grdUsers->currentIndex().isValid())
        m_grdUsers->selectRow(m_grdUsers->currentIndex().row());
    m_grdUsers->setFocus();
}

bool TSettingsUsersPage::IsCurrentUser(const QString &userId) const
{
    const TvoUser *user = Controller().GetCurrentUser();
    return user && user->UserID.compare(userId, Qt::CaseInsensitive) == 0;
}

void TSettingsUsersPage::InserNewUser()
{
    Guarded(QStringLiteral("InserNewUser"), [this] {
        Data().Users.PostIfEditing();
        Data().Users.Insert();
        Data().Users.SetValue(QStringLiteral("LogonUsername"), Text(5241));
        // The list shows a row once it is posted here: so the new user is in it and marked at
        // once. It goes to the server as before, when the page is left.
        Data().Users.Post();
        const QModelIndex added = m_userModel->index(Data().Users.GetRecNo(), 0);
        m_grdUsers->setCurrentIndex(added);
        m_grdUsers->selectRow(added.row());
        m_grdUsers->scrollTo(added);
        m_userFields->Load();
        m_edUsername->setFocus();
        m_edUsername->selectAll();
    });
    UserSelectionChanged();
}

void TSettingsUsersPage::UserSelectionChanged()
{
    Guarded(QStringLiteral("grdTblViewSelectionChanged"), [this] {
        if (!Data().Users.GetActive())
            return;
        const QModelIndexList selected = m_grdUsers->selectionModel()->selectedRows();
        int row = m_grdUsers->currentIndex().row();
        if (!selected.isEmpty()) {
            row = selected.first().row();
            for (const QModelIndex &index : selected)
                row = qMin(row, index.row());
        }
        if (Data().Users.Eof() && Data().Users.GetState() != TDATableState::dsInsert)
            return;
        const int key = Data().Users.FieldIndex(User);
        const QString id = Data().Users.GetState() == TDATableState::dsInsert || row < 0
                               ? Data().Users.AsString(User)
                               : Data().Users.ValueAt(row, key).toString();
        m_cboUserLevel->setEnabled(!IsCurrentUser(id));
    });
    m_host.UpdateActions();
}

void TSettingsUsersPage::SetPassword()
{
    Guarded(QStringLiteral("btnPassordClick"), [this] {
        TDACDSDataTable &users = Data().Users;
        if (!users.GetActive() || (users.Eof() && users.GetState() != TDATableState::dsInsert))
            return;
        const std::optional<QString> password = m_host.NewPassword();
        if (!password)
            return;
        // The text goes to the server as typed, which stores only its hash.
        if (users.GetState() == TDATableState::dsBrowse)
            users.Edit();
        users.SetValue(QStringLiteral("LogonPassword"), *password);
    });
}

void TSettingsUsersPage::DeleteSelectedUser()
{
    Guarded(QStringLiteral("DeleteSelectedUser"), [this] {
        TDACDSDataTable &users = Data().Users;
        users.PostIfEditing();
        const QString id = users.AsString(User);
        if (id.isEmpty() || IsCurrentUser(id))
            return;
        users.Delete();
        Data().DeleteUser({id});
        users.ApplyUpdates(true);
    });
    UserSelectionChanged();
}

