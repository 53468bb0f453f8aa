#include "tools/tolvik/uDM.h"

#include "tools/tolvik/TolvikTexts.h"
#include "tools/tolvik/uSupportToolDelivery.h"
#include "tools/tolvik/ufSplash.h"
#include "tools/tolvik/ufWizard.h"

#include "updating/WebServiceSettings.h"

#include "foundation/FileResolver.h"
#include "foundation/QuorvaLogFile.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QThread>

TDM::TDM(const QString &toolFolder, const QString &version, QObject *owner)
    : QObject(owner), m_toolFolder(toolFolder), m_version(version),
      m_switchPath(FileResolver::resolve(toolFolder, QLatin1String(WebServiceSettings::SwitchProgram))),
      m_configurationPath(FileResolver::resolve(toolFolder, QStringLiteral("configuration.xml")))
{
}

TDM::~TDM() = default;

QString TDM::GetText(int id)
{
    return TolvikTexts::GetText(id);
}

void TDM::ShowSplash()
{
    m_splash = std::make_unique<TfSplash>();
    QApplication::processEvents();
    m_splash->VersionLabel()->setText(TolvikTexts::Format(205, {m_version}));
    m_splash->ProgressLabel()->setText(GetText(206));
    m_splash->ProgressLabel()->repaint();
    m_splash->ProductInfoLabel()->setText(GetText(207));
}

void TDM::ShowSplashNow()
{
    if (!m_splash)
        return;
    m_splash->show();
    m_splash->ProgressLabel()->repaint();
    QApplication::processEvents();
    QThread::msleep(100);
}

int TDM::RunWizard()
{
    // The swap program stays: every program of this folder hands over to the same one.
    m_splash.reset();
    if (!QFileInfo(m_configurationPath).isFile()) {
        AddToLog(llSevere, QStringLiteral("Tolvik"), QStringLiteral("RunWizard"),
                 QStringLiteral("No task file %1").arg(m_configurationPath));
        QMessageBox::critical(nullptr, GetText(221), GetText(220));
        return 1;
    }
    AddToLog(llInformation, QStringLiteral("Tolvik"), QStringLiteral("RunWizard"),
             QStringLiteral("Task file %1, of %2").arg(m_configurationPath, QFileInfo(m_configurationPath).lastModified().toString(Qt::ISODate)));
    try {
        std::unique_ptr<SupportToolDelivery> delivery = CoSupportToolDelivery::Create(m_toolFolder);
        TfWizard wizard(m_configurationPath, m_toolFolder, m_version, *delivery);
        wizard.Execute();
        return 0;
    } catch (const std::exception &error) {
        AddToLog(llSevere, QStringLiteral("Tolvik"), QStringLiteral("RunWizard"), QString::fromStdString(error.what()));
        QMessageBox::warning(nullptr, GetText(116), GetText(115));
        return 1;
    }
}
