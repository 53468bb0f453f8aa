// The wizard's frame: its pages in their order under their pictures, page 1 (the account), the
// steps between pages and Finish. Pages 2 to 4 have units of their own (uSetup*Page.cpp).
#include "plugins/setup/uplgSetup.h"

#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uDASetup.h"
#include "plugins/setup/uSetupPageKit.h"

#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "ui/PromptService.h"
#include "ui/uStyleForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Quorva;
using namespace SetupPageKit;
using namespace SetupRules;

namespace {

constexpr int kRights = 0x7FFFFFFF;
const QSize kWizardSize(700, 580);

} // namespace

IHYPlugin *CreateInitialSetupPlugin()
{
    return new TplgInitialSetup;
}

TplgInitialSetup::TplgInitialSetup() : THYVisualPlugin(TRvSetupController::SetupPlugin)
{
    setObjectName(QStringLiteral("plgInitialSetup"));
    m_step = 1;
    BuildPages();
}

TDASetup &TplgInitialSetup::Data() const
{
    TRvSetupController *controller = RvSetup();
    if (!controller || !controller->DataModule())
        throw std::runtime_error("The set-up module is not loaded");
    return *controller->DataModule();
}

QString TplgInitialSetup::Text(int number, bool emptyIfMissing) const
{
    TRvSetupController *controller = RvSetup();
    return controller ? controller->Text(number, emptyIfMissing) : QString::number(number);
}

void TplgInitialSetup::BuildPages()
{
    setMinimumSize(kWizardSize);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 8);
    m_pages = Named<QStackedWidget>(QStringLiteral("pnlPages"), this);
    outer->addWidget(m_pages, 1);
    BuildAccountPage(NewPage(0));
    BuildLocationsPage(NewPage(1));
    BuildLiturgiesPage(NewPage(2));
    BuildMinistryPage(NewPage(3));
    BuildNavigation(outer);
    UpdateActions();
}

QWidget *TplgInitialSetup::NewPage(int index)
{
    auto *panel = Named<QWidget>(QStringLiteral("pnlStep%1").arg(index + 1), m_pages);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_images[index] = Named<QLabel>(QStringLiteral("imgStep%1").arg(index + 1), panel);
    m_images[index]->setScaledContents(true);
    m_images[index]->setFixedHeight(110);
    layout->addWidget(m_images[index]);
    auto *body = new QWidget(panel);
    layout->addWidget(body, 1);
    m_pages->addWidget(panel);
    return body;
}

void TplgInitialSetup::BuildAccountPage(QWidget *body)
{
    auto *form = new QGridLayout(body);
    form->setContentsMargins(24, 16, 24, 8);
    form->setVerticalSpacing(10);
    m_lblUserName = Named<QLabel>(QStringLiteral("lblUserName"), body);
    m_lblPassword1 = Named<QLabel>(QStringLiteral("lblPassword1"), body);
    m_lblPassword2 = Named<QLabel>(QStringLiteral("lblPassword2"), body);
    m_edUserName = Named<QLineEdit>(QStringLiteral("edUserName"), body);
    m_edUserName->setValidator(new QRegularExpressionValidator(UserNameMask(), m_edUserName));
    m_edPassword1 = Named<QLineEdit>(QStringLiteral("edPassword1"), body);
    m_edPassword1->setValidator(new QRegularExpressionValidator(PasswordMask(), m_edPassword1));
    m_edPassword1->setEchoMode(QLineEdit::Password);
    m_edPassword2 = Named<QLineEdit>(QStringLiteral("edPassword2"), body);
    m_edPassword2->setEchoMode(QLineEdit::Password);
    m_lblExplanation = Named<QLabel>(QStringLiteral("lblExplanation"), body);
    // Why Next waits, under the fields that hold it back.
    m_lblNextHint = Named<QLabel>(QStringLiteral("lblNextHint"), body);
    m_lblNextHint->setWordWrap(true);
    m_lblNextHint->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_lblExplanation->setWordWrap(true);
    m_chkWindowsLogon = Named<QCheckBox>(QStringLiteral("chkWindowsLogon"), body);
    m_chkWindowsLogon->setChecked(true);
    form->addWidget(m_lblUserName, 0, 0);
    form->addWidget(m_edUserName, 0, 1);
    form->addWidget(m_lblPassword1, 1, 0);
    form->addWidget(m_edPassword1, 1, 1);
    form->addWidget(m_lblPassword2, 2, 0);
    form->addWidget(m_edPassword2, 2, 1);
    form->setRowMinimumHeight(3, 12);
    form->addWidget(m_lblNextHint, 3, 1);
    form->addWidget(m_lblExplanation, 4, 0, 1, 2);
    form->addWidget(m_chkWindowsLogon, 5, 0, 1, 2);
    form->setColumnStretch(1, 1);
    form->setRowStretch(6, 1);
    for (QLineEdit *edit : {m_edUserName, m_edPassword1, m_edPassword2})
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateActions(); });
}

void TplgInitialSetup::BuildNavigation(QVBoxLayout *outer)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(12, 0, 12, 0);
    m_btnCancel = Button(QStringLiteral("btnCancel"), this);
    m_btnCancel->setShortcut(QKeySequence(Qt::Key_Escape));
    m_btnPrevious = Button(QStringLiteral("btnPrevious"), this);
    m_btnNext = Button(QStringLiteral("btnNext"), this);
    m_btnNext->setDefault(true);
    m_btnFinish = Button(QStringLiteral("btnFinish"), this);
    row->addWidget(m_btnCancel);
    row->addStretch();
    row->addWidget(m_btnPrevious);
    row->addWidget(m_btnNext);
    row->addWidget(m_btnFinish);
    outer->addLayout(row);
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { acCancelExecute(); });
    connect(m_btnPrevious, &QPushButton::clicked, this, [this] { acPreviousExecute(); });
    connect(m_btnNext, &QPushButton::clicked, this, [this] { acNextExecute(); });
    connect(m_btnFinish, &QPushButton::clicked, this, [this] { acFinishExecute(); });
}

void TplgInitialSetup::ShowParented(QWidget *parent)
{
    THYVisualPlugin::ShowParented(parent);
    // The host's window is smaller than the wizard: it grows and stays centred on its screen.
    QWidget *host = window();
    if (host == this)
        return;
    if (!windowTitle().isEmpty())
        host->setWindowTitle(windowTitle());
    host->resize(host->size().expandedTo(kWizardSize));
    if (QScreen *screen = host->screen())
        host->move(screen->availableGeometry().center() - host->rect().center());
}

void TplgInitialSetup::Prepare()
{
    QorGuarded(RvSetup(), QStringLiteral("InitializeSetupForm"), [&] {
        m_resultCode = 2;
        TRvSetupController *controller = RvSetup();
        if (!controller)
            throw std::runtime_error("The set-up module is not loaded");
        controller->LoadLanguage();
        LoadPictures();
        SetCaptions();
        m_edUserName->setText(m_userName.isEmpty() ? TvoSysInfo::GetUserName() : m_userName);
        m_edPassword1->clear();
        m_edPassword2->clear();
        TDASetup &setup = Data();
        setup.Locations.Open();
        setup.LiturgyTemplates.Open();
        setup.MinistryTemplates.Open();
        setup.LnkMinistryTemplateToMinistryFunction.Open();
        setup.MinistryFunctions.Open();
        FillFunctionList();
        if (setup.Locations.GetRecordCount() == 0)
            acAddLocationExecute();
        doStep();
    });
}

void TplgInitialSetup::LoadPictures()
{
    const TVOResourceHandler *texts = RvSetup() ? RvSetup()->LanguageModule() : nullptr;
    if (!texts)
        return;
    for (int page = 1; page <= 4; ++page) {
        const QImage image = GetImage(*texts, PageImage(page));
        if (!image.isNull())
            m_images[page - 1]->setPixmap(QPixmap::fromImage(image));
    }
}

void TplgInitialSetup::SetCaptions()
{
    setWindowTitle(Text(1000));
    if (window() != this)
        window()->setWindowTitle(Text(1000));
    m_btnCancel->setText(Text(201));
    m_btnPrevious->setText(Text(204));
    m_btnNext->setText(Text(203));
    m_btnFinish->setText(Text(205));
    m_lblUserName->setText(Text(1003));
    m_lblPassword1->setText(Text(1004));
    m_lblPassword2->setText(Text(1005));
    m_lblExplanation->setText(Text(1007));
    m_chkWindowsLogon->setText(Text(1008));
    m_lblLocations->setText(Text(1020));
    m_btnAddLocation->setText(Text(1021));
    m_btnRemoveLocation->setText(Text(1022));
    for (int i = 0; i < 6; ++i)
        m_lblLocationFields[i]->setText(Text(1023 + i));
    m_lblLiturgies->setText(Text(1507));
    m_lblLiturgyName->setText(Text(1023));
    m_lblLiturgyLocation->setText(Text(1506));
    m_lblLiturgyComments->setText(Text(1508));
    m_btnAddLiturgy->setText(Text(1021));
    m_btnRemoveLiturgy->setText(Text(1022));
    m_lblTemplates->setText(Text(1051));
    m_lblFunctions->setText(Text(1052));
    m_btnAddFunction->setToolTip(Text(1053));
    m_btnRemoveFunction->setToolTip(Text(1054));
    m_btnNewFunction->setText(Text(1055));
    m_btnDeleteFunction->setText(Text(1056));
    m_btnAddTemplate->setText(Text(1021));
    m_btnRemoveTemplate->setText(Text(1022));
}

SetupRules::TWizardState TplgInitialSetup::State() const
{
    TWizardState state;
    state.Step = m_step;
    state.UserName = m_edUserName->text();
    state.Password1 = m_edPassword1->text();
    state.Password2 = m_edPassword2->text();
    state.LocationItems = m_lstLocations->count();
    state.LiturgyNodes = m_tvLiturgies->topLevelItemCount();
    for (int i = 0; i < m_tvTemplates->topLevelItemCount() && !state.TemplateHoldsFunction; ++i)
        state.TemplateHoldsFunction = m_tvTemplates->topLevelItem(i)->childCount() > 0;
    return state;
}

void TplgInitialSetup::UpdateActions()
{
    const TWizardState state = State();
    m_btnNext->setEnabled(NextEnabled(state));
    const int hint = NextHint(state);
    m_lblNextHint->setText(hint ? Text(hint) : QString());
    m_lblNextHint->setVisible(hint != 0);
    m_btnPrevious->setEnabled(PreviousEnabled(state));
    m_btnFinish->setEnabled(FinishEnabled(state));
    m_btnRemoveLocation->setEnabled(m_lstLocations->currentItem() != nullptr);
    m_btnRemoveLiturgy->setEnabled(m_tvLiturgies->currentItem() != nullptr);
    QTreeWidgetItem *node = m_tvTemplates->currentItem();
    m_btnAddFunction->setEnabled(node && m_tvFunctions->currentItem());
    m_btnRemoveFunction->setEnabled(node && node->parent());
    m_btnRemoveTemplate->setEnabled(node && !node->parent());
    m_btnDeleteFunction->setEnabled(m_tvFunctions->currentItem() != nullptr);
}

void TplgInitialSetup::acNextExecute()
{
    if (!NextEnabled(State()) || !NamesGiven())
        return;
    ++m_step;
    doStep();
}

bool TplgInitialSetup::NamesGiven()
{
    bool given = false;
    QorGuarded(RvSetup(), QStringLiteral("acNextExecute"), [&] {
        TDASetup &setup = Data();
        if (m_step == 2) {
            setup.Locations.PostIfEditing();
            const QString unnamed = FirstUnnamedKey(setup.Locations, kLocationID, kLocationName);
            if (unnamed.isEmpty()) {
                given = true;
                return;
            }
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1221));
            for (int i = 0; i < m_lstLocations->count(); ++i)
                if (m_lstLocations->item(i)->data(kIdRole).toString() == unnamed)
                    m_lstLocations->setCurrentRow(i);
            LocationListClick();
            FocusName(m_edLocationName);
            return;
        }
        if (m_step == 3) {
            setup.LiturgyTemplates.PostIfEditing();
            const QString unnamed = FirstUnnamedKey(setup.LiturgyTemplates, kLiturgyID, kLiturgyName);
            if (unnamed.isEmpty()) {
                given = true;
                return;
            }
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1222));
            for (int i = 0; i < m_tvLiturgies->topLevelItemCount(); ++i)
                if (m_tvLiturgies->topLevelItem(i)->data(0, kIdRole).toString() == unnamed)
                    m_tvLiturgies->setCurrentItem(m_tvLiturgies->topLevelItem(i));
            FocusName(m_edLiturgyName);
            return;
        }
        given = true;
    });
    return given;
}

void TplgInitialSetup::acPreviousExecute()
{
    if (!PreviousEnabled(State()))
        return;
    --m_step;
    doStep();
}

void TplgInitialSetup::acCancelExecute()
{
    if (auto *form = qobject_cast<TfStyleForm *>(window()))
        form->SetModalResult(TModalResult::Cancel);
    else if (window() != this)
        window()->close();
}

void TplgInitialSetup::doStep()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QorGuarded(RvSetup(), QStringLiteral("doStep"), [&] {
        m_pages->setCurrentIndex(m_step - 1);
        switch (m_step) {
        case 1:
            m_edUserName->setFocus();
            break;
        case 2:
            FillLocationList();
            LocationListClick();
            if (m_edLocationName->isVisible())
                FocusName(m_edLocationName);
            break;
        case 3:
            PrepareLiturgyTab();
            QApplication::processEvents();
            if (m_tvLiturgies->topLevelItemCount() > 0)
                m_tvLiturgies->setCurrentItem(m_tvLiturgies->topLevelItem(0));
            m_tvLiturgies->setFocus();
            break;
        default:
            PrepareMinistryTab();
            QApplication::processEvents();
            if (m_tvTemplates->topLevelItemCount() > 0)
                m_tvTemplates->setCurrentItem(m_tvTemplates->topLevelItem(0));
            m_tvTemplates->setFocus();
            if (m_tvFunctions->topLevelItemCount() > 0)
                m_tvFunctions->scrollToItem(m_tvFunctions->topLevelItem(0));
            break;
        }
    });
    UpdateActions();
    QApplication::restoreOverrideCursor();
}

void TplgInitialSetup::FocusName(QLineEdit *edit)
{
    edit->setFocus();
    edit->selectAll();
}
// ---- Finish ------------------------------------------------------------------------------------

void TplgInitialSetup::acFinishExecute()
{
    if (!FinishEnabled(State()))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool finished = QorGuarded(RvSetup(), QStringLiteral("acFinishExecute"), [&] {
        TDASetup &setup = Data();
        // The content goes first, functions and templates before the links that name them: the
        // server serves this session, which nobody logged on in, only while no user exists.
        setup.ApplyContent();
        const QString userName = m_edUserName->text();
        const QString password = m_edPassword1->text();
        const bool windowsLogon = m_chkWindowsLogon->isChecked();
        if (!setup.AccountStored()) {
            m_userId = setup.PutAccount(userName, password, windowsLogon, TvoSysInfo::GetUserName());
            setup.ApplyAccount();
        }
        m_userName = userName;
        m_password = password;
        m_rights = kRights;
        m_useWindowsLogon = windowsLogon;
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, userName, QStringLiteral("Last known user"));
        if (windowsLogon)
            TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("Yes"), QStringLiteral("Use Windows logon"));
        setup.CloseAll();
        if (m_finishDelay > 0) {
            QEventLoop wait;
            QTimer::singleShot(m_finishDelay, &wait, &QEventLoop::quit);
            wait.exec(QEventLoop::ExcludeUserInputEvents);
        }
        m_resultCode = 1;
    });
    QApplication::restoreOverrideCursor();
    if (finished && window() != this)
        window()->close();
}
