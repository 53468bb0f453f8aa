#include "client/uxBaseForm.h"

#include "client/THYModuleManager.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QCloseEvent>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

constexpr int kWidth = 488;
constexpr int kHeight = 335;

} // namespace

TxBaseForm::TxBaseForm(THYModuleManager *manager, QWidget *parent)
    : TfStyleForm(parent), m_manager(manager), m_area(new QWidget(this))
{
    setWindowTitle(QStringLiteral("xBaseForm"));
    resize(kWidth, kHeight);
    auto *layout = new QVBoxLayout(m_area);
    layout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_area);
    SetAlphaBlend(true);
    SetAlphaBlendValue(0);
}

TxBaseForm::~TxBaseForm()
{
    // The plug-in's widget sits in this window: it must go back before the window goes.
    ReleasePlugin();
}

void TxBaseForm::setVisible(bool visible)
{
    // Before the window appears, as a form's show handler runs: flags set here need no re-show.
    if (visible && !isVisible() && m_hosting && !m_instance)
        FormShow();
    TfStyleForm::setVisible(visible);
}

void TxBaseForm::FormShow()
{
    try {
        if (!m_manager)
            throw std::runtime_error("there is no module manager to create the plug-in");
        m_instance = m_manager->CreateVisualPlugin(m_pluginName);
        if (!m_instance)
            throw std::runtime_error(("no module has the visual plug-in " + m_pluginName).toStdString());
        if (auto setup = host_cast<IInitialSetupController>(m_instance)) {
            SetAlphaBlend(false);
            setup->SetUserName(QString());
            setup->Prepare();
        }
        if (host_cast<ISplashController>(m_instance)) {
            SetAlphaBlend(false);
            SetAlphaBlendValue(255);
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
        }
        m_instance->ShowParented(m_area);
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("FormShow"), QString::fromUtf8(e.what()));
    }
}

void TxBaseForm::closeEvent(QCloseEvent *event)
{
    if (m_hosting)
        FormClose();
    TfStyleForm::closeEvent(event);
}

void TxBaseForm::FormClose()
{
    if (m_instance) {
        if (auto setup = host_cast<IInitialSetupController>(m_instance)) {
            m_results.ResultCode = setup->GetResultCode();
            m_results.UserID = setup->GetUserID();
            m_results.UserName = setup->GetUserName();
            m_results.Password = setup->GetPassword();
            m_results.UserLevel = setup->GetUserLevel();
            m_results.UseWindowsLogon = setup->GetUseWindowsLogon();
            m_results.WindowsAccount = TvoSysInfo::GetUserName();
        }
    }
    ReleasePlugin();
}

void TxBaseForm::ReleasePlugin()
{
    if (m_instance && m_manager)
        m_manager->ReleasePlugin(m_instance);
}
