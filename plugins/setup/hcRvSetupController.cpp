#include "plugins/setup/hcRvSetupController.h"

#include "plugins/setup/uDASetup.h"
#include "plugins/setup/uplgSetup.h"

using namespace Quorva;

namespace {
TRvSetupController *g_controller = nullptr;
}

TRvSetupController::TRvSetupController() : THYModuleController(QStringLiteral("RvSetup.Library"), QString())
{
    g_controller = this;
    RegisterPlugin(SetupPlugin, QString(), [] { return CreateInitialSetupPlugin(); });
}

TRvSetupController::~TRvSetupController()
{
    if (g_controller == this)
        g_controller = nullptr;
}

TRvSetupController *TRvSetupController::Instance()
{
    return g_controller;
}

void TRvSetupController::LoadLanguage(const QString &path)
{
    auto texts = std::make_unique<TVOResourceHandler>();
    m_texts = std::move(texts);
    m_texts->LoadResourceFile(path.isEmpty() ? QorModuleLanguageFile() : path);
}

void TRvSetupController::GetText(int number, bool emptyIfMissing, QString &text) const
{
    if (m_texts)
        text = m_texts->GetString(number, emptyIfMissing);
}

QString TRvSetupController::Text(int number, bool emptyIfMissing) const
{
    QString text = emptyIfMissing ? QString() : QString::number(number);
    GetText(number, emptyIfMissing, text);
    return text;
}

void TRvSetupController::WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const
{
    if (auto log = host_cast<IHostLog>(Host()))
        log->WriteLog(level, LogModule, location.Text, message);
}

void TRvSetupController::OnCreate()
{
    // No language module yet: the wizard's Prepare loads it.
    m_data = std::make_unique<TDASetup>();
}

void TRvSetupController::OnSetHost(IHYHost *host)
{
    if (!m_data)
        return;
    if (auto connection = host_cast<IROHostConnection>(host))
        m_data->Connect(connection->GetMessage(), connection->GetChannel());
    else
        m_data->Disconnect();
}

void TRvSetupController::OnDestroy()
{
    m_texts.reset();
    m_data.reset();
}

