#include "plugins/events/hcRvEventsController.h"

#include "plugins/events/uEventViewFactory.h"
#include "plugins/events/uDAEvents.h"

#include "foundation/QuorvaLogFile.h"
#include "ui/GridLayout.h"

#include <QHeaderView>
#include <QPainter>

using namespace Quorva;

namespace {
TRvEventsController *g_controller = nullptr;

// The navigation bar's two pictures: index 0 the calendar, 1 the schedule.
QPixmap NavBarImage(int index)
{
    QPixmap image(32, 32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2f, 0x4f, 0x7f), 2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3, 5, 26, 24), 3, 3);
    p.fillRect(QRectF(4, 6, 24, 6), QColor(0x2f, 0x4f, 0x7f));
    if (index == 0) {
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                p.fillRect(QRectF(6 + col * 6, 14 + row * 5, 4, 3), QColor(0x6f, 0x8f, 0xbf));
    } else {
        for (int row = 0; row < 3; ++row)
            p.fillRect(QRectF(7, 14 + row * 5, 18, 2), QColor(0x6f, 0x8f, 0xbf));
    }
    return image;
}
} // namespace

TRvEventsController::TRvEventsController()
    : THYModuleController(QStringLiteral("RvEvents.Library"), QStringLiteral("Calendar and schedule of the liturgies"))
{
    g_controller = this;
    // The views come with the calendar and schedule; until then each shows an empty pane.
    RegisterPlugin(CalendarPlugin, QStringLiteral("Calendar"), [] { return CreateCalendarPlugin(); });
    RegisterPlugin(SchedulePlugin, QStringLiteral("Schedule"), [] { return CreateSchedulePlugin(); });
}

TRvEventsController::~TRvEventsController()
{
    if (g_controller == this)
        g_controller = nullptr;
}

TRvEventsController *TRvEventsController::Instance()
{
    return g_controller;
}

bool TRvEventsController::queryInterface(const QUuid &id, void **object)
{
    return QorQueryInterface<IHYModuleController, INavBarPluginCtrl, ISearchHost>(this, id, object);
}

void TRvEventsController::InitializeController()
{
    auto texts = std::make_unique<TVOResourceHandler>();
    try {
        texts->LoadResourceFile(QorModuleLanguageFile());
    } catch (const std::exception &e) {
        // While the module is being created there is no host yet: the line goes straight into
        // the session log the host and its modules share.
        const QString message = QString::fromUtf8(e.what());
        if (auto log = host_cast<IHostLog>(Host()))
            log->WriteLog(QorLogLevel::Severe, QorModulePath(), QStringLiteral("InitializeController"), message);
        else
            AddToLog(llSevere, QorModulePath(), QStringLiteral("InitializeController"), message);
    }
    m_texts = std::move(texts);
}

void TRvEventsController::GetCaption(const QString &pluginName, QString &caption)
{
    caption = GetText(pluginName == CalendarPlugin ? 1000 : 1001);
}

QPixmap TRvEventsController::GetBitmap(const QString &pluginName)
{
    return NavBarImage(pluginName == CalendarPlugin ? 0 : 1);
}

bool TRvEventsController::PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                                        const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                                        std::unique_ptr<TSearchObjectList> &result)
{
    auto search = host_cast<ISearchHost>(Host());
    if (!search)
        throw std::runtime_error("The host offers no search");
    return search->PerformSearch(kinds, caption, unused, multiSelect, preselected, excluded, result);
}

QString TRvEventsController::GetText(int number) const
{
    return m_texts ? m_texts->GetString(number, true) : QString();
}

QString TRvEventsController::GetHTML(int number) const
{
    try {
        return m_texts ? m_texts->GetHTML(number) : QString();
    } catch (...) {
        return QStringLiteral("<!-- Unecpected error -->");
    }
}

void TRvEventsController::WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const
{
    auto log = host_cast<IHostLog>(Host());
    if (!log)
        throw std::runtime_error("The host offers no log");
    log->WriteLog(level, LogModule, location.Text, message);
}

QString TRvEventsController::GetUserSetting(const QString &key, const QString &defaultValue)
{
    auto settings = host_cast<ISettings>(Host());
    if (!settings)
        throw std::runtime_error("The host offers no settings");
    return settings->GetUserSetting(key, defaultValue);
}

void TRvEventsController::SetUserSetting(const QString &key, const QString &value)
{
    auto settings = host_cast<ISettings>(Host());
    if (!settings)
        throw std::runtime_error("The host offers no settings");
    settings->SetUserSetting(key, value);
}

QString TRvEventsController::CurrentUserID()
{
    if (auto users = host_cast<IUserHost>(Host()))
        if (TvoUser *user = users->GetCurrentUser())
            return user->UserID;
    return EmptyGUID;
}

void TRvEventsController::ShowProgress(quint8 style)
{
    auto application = host_cast<IHostApplication>(Host());
    if (!application)
        throw std::runtime_error("The host offers no progress bar");
    application->ShowProgress(style);
}

void TRvEventsController::SetProgress(int position, const QString &text)
{
    try {
        if (auto application = host_cast<IHostApplication>(Host()))
            application->SetProgress(position, text);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("UpdateProgressBar"), e);
    }
}

void TRvEventsController::HideProgress()
{
    auto application = host_cast<IHostApplication>(Host());
    if (!application)
        throw std::runtime_error("The host offers no progress bar");
    application->HideProgress();
}

void TRvEventsController::ShowReportDlg(const QString &category, const QStringList *selection, int count,
                                        IReportCriteriaProvider *criteriaProvider, int selectionIndex)
{
    auto reports = host_cast<IReportHost>(Host());
    if (!reports)
        throw std::runtime_error("The host offers no reports");
    reports->ShowReportDlg(category, selection, count, criteriaProvider, selectionIndex, QString(), QString(), QString(),
                           QString());
}

void TRvEventsController::LoadGridLayout(const QString &name, QHeaderView *header)
{
    try {
        auto settings = host_cast<ISettings>(Host());
        if (!settings || !header)
            return;
        RestoreGridLayout(*settings, name, *header);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("LoadGridLayout"), e);
    }
}

void TRvEventsController::SaveGridLayout(const QString &name, QHeaderView *header)
{
    auto settings = host_cast<ISettings>(Host());
    if (!settings)
        throw std::runtime_error("The host offers no settings");
    if (!header)
        return;
    const QByteArray stream = header->saveState();
    settings->SaveUserBlob(name, &stream);
}

bool TRvEventsController::RunAutoSchedule(const QStringList &templateIds, const QStringList &functionIds,
                                          const QDateTime &from, const QDateTime &to)
{
    auto runner = host_cast<IAutoScheduleRunner>(Host());
    if (!runner)
        return false;
    runner->RunAutoScheduleWithProgress(templateIds, functionIds, from, to);
    return true;
}

void TRvEventsController::OnCreate()
{
    m_data = std::make_unique<TDAEvents>();
    InitializeController();
}

void TRvEventsController::OnSetHost(IHYHost *host)
{
    if (!m_data)
        return;
    if (auto connection = host_cast<IROHostConnection>(host))
        m_data->Connect(connection->GetMessage(), connection->GetChannel());
    else
        m_data->Disconnect();
}

void TRvEventsController::OnDestroy()
{
    m_texts.reset();
    m_data.reset();
}

