#include "client/ufDlgLogin.h"

#include "client/uDMClient.h"

#include "ui/uHTMLHelp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTextOK = 200;
constexpr int kTextCancel = 201;
constexpr int kTextHelp = 202;
constexpr int kTextCaption = 2001;
constexpr int kTextGroup = 2002;
constexpr int kTextDescription = 2003;
constexpr int kTextUser = 2004;
constexpr int kTextPassword = 2005;
constexpr int kTextWindowsLogon = 2006;
constexpr int kClientWidth = 358;
constexpr int kClientHeight = 208;
const QString kProductVersion = QStringLiteral("3.0");

} // namespace

TfDlgLogin::TfDlgLogin(QWidget *parent)
    : TfDlgPopUp(parent)
    , m_lblDescription(new QLabel(grpBox()))
    , m_lblUser(new QLabel(QStringLiteral("#"), grpBox()))
    , m_lblPwd(new QLabel(QStringLiteral("#"), grpBox()))
    , m_cbUsers(new QComboBox(grpBox()))
    , m_ePwd(new QLineEdit(grpBox()))
    , m_lblLostPassword(new QLabel(PasswordLinkText, grpBox()))
    , m_lblVersion(new QLabel(this))
    , m_lblServer(new QLabel(this))
{
    FormCreate();
    setObjectName(QStringLiteral("fDlgLogin"));
    m_lblDescription->setWordWrap(true);
    m_cbUsers->setEditable(false);
    m_cbUsers->setObjectName(QStringLiteral("cbUsers"));
    m_ePwd->setEchoMode(QLineEdit::Password);
    m_ePwd->setObjectName(QStringLiteral("ePwd"));
    m_lblUser->setBuddy(m_cbUsers);
    m_lblPwd->setBuddy(m_ePwd);
    m_lblLostPassword->setCursor(Qt::PointingHandCursor);
    QFont link = m_lblLostPassword->font();
    link.setUnderline(true);
    m_lblLostPassword->setFont(link);
    m_lblLostPassword->setForegroundRole(QPalette::Link);
    m_lblLostPassword->installEventFilter(this);
    for (QLabel *label : {m_lblVersion, m_lblServer}) {
        label->setForegroundRole(QPalette::PlaceholderText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto *fields = new QFormLayout;
    fields->addRow(m_lblUser, m_cbUsers);
    fields->addRow(m_lblPwd, m_ePwd);
    fields->addRow(QString(), m_lblLostPassword);
    auto *group = new QVBoxLayout(grpBox());
    group->addWidget(m_lblDescription);
    group->addLayout(fields);
    group->addStretch(1);

    // The version and the server go under the check box, small, as the dialog's foot.
    auto *all = static_cast<QVBoxLayout *>(layout());
    auto *foot = new QHBoxLayout;
    foot->addWidget(m_lblVersion);
    foot->addStretch(1);
    foot->addWidget(m_lblServer);
    all->addLayout(foot);

    chkShow()->show();
    setMinimumSize(kClientWidth, kClientHeight);
    m_ePwd->setFocus();
    connect(this, &TfDlgPopUp::helpRequested, this, [] { TconHTMLHelp::ShowTopic(QStringLiteral("Login_Dialog")); });
}

void TfDlgLogin::InitForm(const TDMClient &client, const QString &serverURL)
{
    btnOK()->setText(client.GetText(kTextOK));
    btnCancel()->setText(client.GetText(kTextCancel));
    btnHelp()->setText(client.GetText(kTextHelp));
    setWindowTitle(client.GetText(kTextCaption));
    grpBox()->setTitle(client.GetText(kTextGroup));
    m_lblDescription->setText(client.GetText(kTextDescription));
    m_lblUser->setText(client.GetText(kTextUser));
    m_lblPwd->setText(client.GetText(kTextPassword));
    chkShow()->setText(client.GetText(kTextWindowsLogon));
    m_lblVersion->setText(QStringLiteral("version: %1\nbuild %2").arg(kProductVersion, client.OwnVersion()));
    m_lblServer->setText(serverURL);
}

void TfDlgLogin::SetUsers(const QStringList &names)
{
    m_cbUsers->clear();
    m_cbUsers->addItems(names);
}

void TfDlgLogin::Prepare(const QString &userName)
{
    if (m_cbUsers->count() > 0) {
        const int index = m_cbUsers->findText(userName, Qt::MatchExactly);
        m_cbUsers->setCurrentIndex(index >= 0 ? index : 0);
    }
    m_ePwd->clear();
    m_ePwd->setFocus();
}

QString TfDlgLogin::UserName() const
{
    return m_cbUsers->currentText();
}

QString TfDlgLogin::Password() const
{
    return m_ePwd->text();
}

bool TfDlgLogin::UseWindowsLogon() const
{
    return chkShow()->isChecked();
}

bool TfDlgLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lblLostPassword && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit changePasswordRequested();
        return true;
    }
    return TfDlgPopUp::eventFilter(watched, event);
}
