#include "plugins/events/uCalendarView.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uCalendarExport.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uEventImages.h"
#include "plugins/events/uEventsCommon.h"
#include "plugins/events/ufAutoScheduleStart.h"
#include "plugins/events/ufEventOptions.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

const QString kCalendarReports = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
const QString kSyncText = QStringLiteral("Syncronizing...");

QString Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}

TDAEvents &Data()
{
    TRvEventsController *controller = RvEvents();
    if (!controller || !controller->DataModule())
        throw std::runtime_error("The events module is not loaded");
    return *controller->DataModule();
}

// Lets queued work run for a while without taking the user's input.
void Pause(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    do
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    while (clock.elapsed() < milliseconds);
}

void Reopen(TDACDSDataTable &table)
{
    table.Close();
    table.Open();
}

struct TCursor
{
    TCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

TplgCalendar::TplgCalendar()
    : THYVisualPlugin(TRvEventsController::CalendarPlugin)
    , m_control(new TCalendarControl(this))
    , m_navigator(new TDateNavigator(this))
    , m_caption(new QLabel(this))
{
    m_control->SetFlagImages(EventImages::EventFlagImages());
    m_control->SetHeaderText([this](const QDate &date, int width, const QFontMetrics &metrics, const QString &own) {
        return DayHeader(date, width, metrics, own);
    });
    m_control->SetView(TCalendarViewKind::Day);
    m_navigator->SetRows(3);

    CreateActions();
    CreateBars();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *side = new QVBoxLayout;
    side->addWidget(m_navigator);
    side->addStretch();
    auto *main = new QVBoxLayout;
    auto *head = new QHBoxLayout;
    auto arrow = [this](Qt::ArrowType type, int steps) {
        auto *button = new QToolButton(this);
        button->setArrowType(type);
        button->setAutoRaise(true);
        QObject::connect(button, &QToolButton::clicked, this,
                         [this, steps] { m_control->Step(steps); });
        return button;
    };
    head->addWidget(arrow(Qt::LeftArrow, -1));
    head->addWidget(arrow(Qt::RightArrow, 1));
    QFont big = m_caption->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    m_caption->setFont(big);
    // A long caption is cut rather than widening the view.
    m_caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    head->addWidget(m_caption, 1);
    main->addLayout(head);
    main->addWidget(m_control, 1);
    layout->addLayout(side);
    layout->addLayout(main, 1);

    QObject::connect(m_control, &TCalendarControl::SelectionChanged, this, [this] { UpdateActions(); });
    QObject::connect(m_control, &TCalendarControl::PeriodChanged, this, [this] { ShowEvents(); });
    QObject::connect(m_control, &TCalendarControl::DoubleClicked, this, [this] {
        if (m_control->SelectedEvents().size() == 1)
            acHYEdit->trigger();
        else
            acHYAdd->trigger();
    });
    QObject::connect(m_control, &TCalendarControl::ContextMenuAt, this, [this](const QPoint &at) { ShowPopup(at); });
    QObject::connect(m_navigator, &TDateNavigator::DaysSelected, this, [this](const QList<QDate> &days) { ShowDays(days); });
    tmrRefresh.setSingleShot(true);
    tmrRefresh.setInterval(1000);
    QObject::connect(&tmrRefresh, &QTimer::timeout, this, [this] {
        tmrRefresh.stop();
        acHYRefresh->trigger();
    });
    UpdateCaption();
    UpdateActions();
}

TplgCalendar::~TplgCalendar()
{
    for (QToolBar *bar : m_bars)
        delete bar;
    qDeleteAll(m_menus);
    delete m_popup;
}

void TplgCalendar::CreateActions()
{
    auto make = [this](QKeySequence key = {}) {
        auto *a = new QAction(this);
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
        return a;
    };
    acHYAdd = make(QKeySequence(Qt::CTRL | Qt::Key_N));
    acHYEdit = make(QKeySequence(Qt::CTRL | Qt::Key_O));
    acHYDelete = make(QKeySequence(Qt::Key_Delete));
    acHYDelete->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    acHYComplete = make();
    acHYSchedule = make();
    acClearInformation = make();
    acRemoveNotLocked = make();
    acHYPrint = make(QKeySequence(Qt::CTRL | Qt::Key_P));
    acHYPreview = make();
    acHYRefresh = make(QKeySequence(Qt::Key_F5));
    acToday = make();
    acTimeInterval15 = make();
    acTimeInterval30 = make();
    acTimeInterval45 = make();
    acTimeInterval60 = make();
    acViewDay = make();
    acViewWeek = make();
    acViewWeeks = make();
    acViewYear = make();
    acViewTimegrid = make();
    acOutlook = make();
    acHYHelp = make(QKeySequence(Qt::Key_F1));
    acHYAbout = make();
    acHYExit = make();
    acHYUseLogon = make();
    acHYUsePreferredServer = make();
    acFaq = make();
    acGettingStarted = make();
    acEmail = make();
    acClearFunctions = make();
    acHYAddMultiple = make();
    acHome = make(QKeySequence(Qt::Key_F9));
    btnOptions = make();

    m_intervals = new QActionGroup(this);
    const QList<QPair<QAction *, int>> intervals{{acTimeInterval15, 15}, {acTimeInterval30, 30}, {acTimeInterval45, 45}, {acTimeInterval60, 60}};
    for (const auto &[action, minutes] : intervals) {
        action->setData(minutes);
        action->setCheckable(true);
        action->setText(QString::number(minutes));
        m_intervals->addAction(action);
        QObject::connect(action, &QAction::triggered, this, [this, minutes] { SetTimeInterval(minutes); });
    }
    m_views = new QActionGroup(this);
    const QList<QPair<QAction *, TCalendarViewKind>> views{{acViewDay, TCalendarViewKind::Day},
                                                          {acViewWeek, TCalendarViewKind::Week},
                                                          {acViewWeeks, TCalendarViewKind::Month},
                                                          {acViewYear, TCalendarViewKind::Year},
                                                          {acViewTimegrid, TCalendarViewKind::TimeGrid}};
    for (const auto &[action, view] : views) {
        action->setCheckable(true);
        m_views->addAction(action);
        QObject::connect(action, &QAction::triggered, this, [this, view] {
            SetViewKind(view);
            if (view == TCalendarViewKind::Day)
                m_control->SetDate(QDate::currentDate());
        });
    }
    acViewDay->setChecked(true);
    acHYUseLogon->setCheckable(true);
    using namespace EventImages;
    const QList<QPair<QAction *, TToolbarImage>> icons{
        {acHYAdd, imgAdd}, {acHYEdit, imgEdit}, {acHYDelete, imgDelete}, {acHYComplete, imgComplete}, {acHYSchedule, imgSchedule},
        {acClearInformation, imgClearAssignments}, {acRemoveNotLocked, imgRemoveNotLocked}, {acHYPrint, imgPrint},
        {acHYPreview, imgPreview}, {acHYRefresh, imgRefresh}, {acToday, imgToday}, {btnOptions, imgOptions}, {acOutlook, imgSynchronise},
        {acHYHelp, imgHelp}, {acFaq, imgFaq}, {acGettingStarted, imgGettingStarted}, {acHYAbout, imgAbout}, {acHYExit, imgExit},
        {acHome, imgHome}, {acEmail, imgEmail}};
    for (const auto &[action, image] : icons)
        action->setIcon(ToolbarIcon(image));
    acHYUsePreferredServer->setCheckable(true);

    auto handle = [this](QAction *action, const char *location, std::function<void()> body) {
        QObject::connect(action, &QAction::triggered, this, [location, body = std::move(body)] {
            try {
                body();
            } catch (const std::exception &e) {
                QorLogFailure(RvEvents(), QString::fromLatin1(location), e);
            }
        });
    };
    handle(acHYAdd, "acHYAddExecute", [this] { acHYAddExecute(); });
    handle(acHYEdit, "acHYEditExecute", [this] { acHYEditExecute(); });
    handle(acHYDelete, "acHYDeleteExecute", [this] { acHYDeleteExecute(); });
    handle(acHYComplete, "acHYCompleteExecute", [this] { acHYCompleteExecute(); });
    handle(acHYSchedule, "acHYScheduleExecute", [this] { acHYScheduleExecute(); });
    handle(acClearInformation, "acRemoveAssigmentsExecute", [this] { acRemoveAssignmentsExecute(false); });
    handle(acRemoveNotLocked, "acRemoveNotLockedExecute", [this] { acRemoveAssignmentsExecute(true); });
    handle(acHYPrint, "acHYPrintExecute", [this] { acHYPrintExecute(); });
    handle(acHYPreview, "acHYPreviewExecute", [this] { acHYPreviewExecute(); });
    handle(acHYRefresh, "acHYRefreshExecute", [this] { acHYRefreshExecute(); });
    handle(acToday, "SelectCurrentTime", [this] { acTodayExecute(); });
    handle(acOutlook, "acOutlookExecute", [this] { acOutlookExecute(); });
    handle(btnOptions, "btnOptionsClick", [this] { btnOptionsClick(); });
    handle(acHYHelp, "acHYHelpExecute", [] { TconHTMLHelp::ShowTopic(QStringLiteral("Calendar")); });
    handle(acHome, "btnHomeClick", [] { QDesktopServices::openUrl(QUrl(QStringLiteral("https://kestrova.example.org/"))); });
    handle(acHYAbout, "acHYAboutExecute", [] {
        if (auto about = host_cast<IAboutHost>(RvEvents() ? RvEvents()->Host() : nullptr))
            about->ShowAboutDialog();
    });
    auto application = [] { return host_cast<IHostApplication>(RvEvents() ? RvEvents()->Host() : nullptr); };
    handle(acHYExit, "acHYExitExecute", [application] {
        if (auto a = application())
            a->CloseMainWindow();
    });
    handle(acHYUseLogon, "acHYUseLogonExecute", [this, application] {
        if (auto a = application())
            a->SetUseWindowsLogon(acHYUseLogon->isChecked());
    });
    handle(acHYUsePreferredServer, "acHYUsePreferredServerExecute", [this, application] {
        if (auto a = application())
            a->SetAlwaysUsePreferredServer(acHYUsePreferredServer->isChecked());
    });
    handle(acFaq, "acFaqExecute", [application] {
        if (auto a = application())
            a->OpenInstallFAQ();
    });
    handle(acGettingStarted, "acGettingStartedExecute", [application] {
        if (auto a = application())
            a->OpenGettingStartedGuide();
    });
    handle(acEmail, "acEmailExecute", [] { ShowMessage(nullptr, QMessageBox::Information, QString(), QStringLiteral("Not yet implemented")); });
}

void TplgCalendar::CreateBars()
{
    auto menu = [this](int text, const QList<QAction *> &actions) {
        auto *m = new QMenu;
        m_menus << m;
        QAction *holder = EventImages::MenuEntry(this, m, actions);
        m_texts << qMakePair(static_cast<QObject *>(holder), text);
        return holder;
    };
    m_intervalMenu = new QMenu;
    m_menus << m_intervalMenu;
    QAction *interval = EventImages::MenuEntry(this, m_intervalMenu, {acTimeInterval15, acTimeInterval30, acTimeInterval60});
    m_texts << qMakePair(static_cast<QObject *>(interval), 510);

    auto *menus = new QToolBar;
    menus->setObjectName(QStringLiteral("barMenu"));
    menus->setWindowTitle(QStringLiteral("Menu"));
    menus->addAction(menu(501, {acHYAdd, nullptr, acHYPrint, acHYPreview, nullptr, acHYExit}));
    menus->addAction(menu(502, {acHYEdit, acHYDelete, acHYComplete, nullptr, acClearInformation, acRemoveNotLocked}));
    menus->addAction(menu(503, {acViewDay, acViewWeek, acViewWeeks, acViewYear, acViewTimegrid, nullptr, acToday, acHYRefresh, interval}));
    menus->addAction(menu(505, {acHYUseLogon, acHYUsePreferredServer, nullptr, btnOptions}));
    menus->addAction(menu(509, {acHYSchedule, acOutlook}));
    menus->addAction(menu(504, {acHYHelp, acFaq, acGettingStarted, acHome, nullptr, acHYAbout}));

    m_viewMenu = new QMenu;
    m_menus << m_viewMenu;
    QAction *viewButton = EventImages::MenuEntry(this, m_viewMenu, {acViewDay, acViewWeek, acViewWeeks, acViewYear, acViewTimegrid});
    viewButton->setIcon(EventImages::ToolbarIcon(EventImages::imgViews));
    m_texts << qMakePair(static_cast<QObject *>(viewButton), 2600);

    auto *tools = new QToolBar;
    tools->setObjectName(QStringLiteral("barCalendar"));
    tools->setWindowTitle(QStringLiteral("Calendar"));
    tools->addActions({acHYAdd, acHYEdit, acHYDelete, acHYComplete});
    tools->addSeparator();
    tools->addActions({acHYSchedule, acClearInformation});
    tools->addSeparator();
    tools->addActions({acHYPrint, acHYPreview, acHYRefresh});
    tools->addSeparator();
    tools->addActions({acToday, viewButton, btnOptions, acOutlook});
    m_bars = {menus, tools};

    m_popup = new QMenu;
    m_popup->addActions({acHYAdd, acHYEdit, acHYDelete, acHYComplete});
}

QList<QIcon> TplgCalendar::GetToolbarImages()
{
    return EventImages::ToolbarImages();
}

QList<QIcon> TplgCalendar::GetToolbarDisabledImages()
{
    return EventImages::ToolbarDisabledImages();
}

void TplgCalendar::GetStatusText(QString &text)
{
    text = Text(1002);
}

void TplgCalendar::LocalizeForm()
{
    try {
        if (TRvEventsController *controller = RvEvents())
            if (auto help = host_cast<ISmartHelp>(controller->Host()))
                help->SetSmartHelpText(controller->GetHTML(101), 101);
        const QList<QPair<QAction *, int>> captions{
            {acHYAdd, 2009}, {acHYEdit, 2002}, {acHYDelete, 2003}, {acHYPreview, 514}, {acHYRefresh, 2005}, {acHYSchedule, 5201},
            {acHYHelp, 2007}, {acHYAddMultiple, 2008}, {acHYExit, 507}, {acFaq, 515}, {acGettingStarted, 516}, {acHYAbout, 506},
            {acHYComplete, 5406}, {acToday, 5411}, {acHome, 512}, {acHYPrint, 511}, {acHYUseLogon, 7000},
            {acHYUsePreferredServer, 7001}, {acClearInformation, 2571}, {acRemoveNotLocked, 2576}, {acOutlook, 2583},
            {acViewDay, 2601}, {acViewWeek, 2602}, {acViewWeeks, 2603}, {acViewYear, 2604}, {acViewTimegrid, 2605},
            {btnOptions, 505}};
        for (const auto &[action, number] : captions)
            action->setText(Text(number));
        for (const auto &[object, number] : m_texts)
            if (auto *action = qobject_cast<QAction *>(object))
                action->setText(Text(number));
        acEmail->setText(QStringLiteral("E-mail"));
        UpdateActions();
        SetToolTips();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("plgCalendar:LocalizeForm"), e);
    }
}

void TplgCalendar::Activate(QObject *)
{
    try {
        for (QToolBar *bar : m_bars)
            bar->hide();
        LocalizeForm();
        TDAEvents &module = Data();
        Reopen(module.EventList);
        if (!module.ViewsListPending()) // the schedule's kept change stays for its next save
            Reopen(module.tbl_DAEventList1);
        Reopen(module.MinistryFunctions);
        if (!module.LiturgyTemplates.GetActive())
            module.LiturgyTemplates.Open();
        module.LiturgyTemplates.Refresh();
        if (!module.DAMinistryTemplates.GetActive())
            module.DAMinistryTemplates.Open();
        module.DAMinistryTemplates.Refresh();
        ReadFeasts();
        SelectCurrentTime();
        const int interval = CalendarLogic::TimeIntervalFrom(RvEvents()->GetUserSetting(QStringLiteral("TimeInterval"), QStringLiteral("30")));
        SetTimeInterval(interval);
        m_settings = std::make_unique<TvoEventSettings>();
        CalendarLogic::ReadSettings(*m_settings, [](const QString &key, const QString &value) { return RvEvents()->GetUserSetting(key, value); });
        m_navigator->SetShowMonthNumber(m_settings->ShowMonthNumber);
        SetWorkingHours();
        if (auto application = host_cast<IHostApplication>(RvEvents()->Host())) {
            acHYUseLogon->setChecked(application->GetUseWindowsLogon());
            acHYUsePreferredServer->setChecked(application->GetAlwaysUsePreferredServer());
        }
        if (const int left = RvEvents()->ViewsLeft.CalendarView; left >= 0)
            SetViewKind(TCalendarViewKind(left));
        ShowEvents();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnActivate"), e);
    }
}

void TplgCalendar::Deactivate(QObject *)
{
    try {
        // The bars stay hidden: the host shows copies of their actions, and the bars themselves
        // have no window to dock in.
        RvEvents()->ViewsLeft.CalendarView = int(m_control->View());
        TDAEvents &module = Data();
        module.EventList.Close();
        module.ScheduledLiturgies.Close();
        module.DAScheduledMinistryFunctions.Close();
        module.MinistryFunctions.Close();
        RvEvents()->SetUserSetting(QStringLiteral("TimeInterval"), QString::number(m_control->TimeInterval()));
        if (m_settings)
            CalendarLogic::WriteSettings(*m_settings, [](const QString &key, const QString &value) { RvEvents()->SetUserSetting(key, value); });
        m_settings.reset();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnDeactivate"), e);
    }
}

void TplgCalendar::ShowDays(const QList<QDate> &days)
{
    if (days.isEmpty())
        return;
    m_control->ClearEventSelection();
    if (days.size() > 1) {
        m_control->SetDays(days);
        SetViewKind(TCalendarViewKind::Day);
    } else {
        m_control->SetDate(days.first());
    }
    // The first chosen day's first half hour of work, or the whole day where the view has no times.
    const QDateTime day(days.first(), QTime(0, 0));
    if (m_control->View() == TCalendarViewKind::Day || m_control->View() == TCalendarViewKind::Week) {
        const qint64 start = qint64(m_control->WorkStart().hour()) * 3600;
        m_control->SelectTime(day.addSecs(start), day.addSecs(start + 1800));
    } else {
        m_control->SelectTime(day, day.addDays(1));
    }
}

void TplgCalendar::SetWorkingHours()
{
    try {
        if (!m_settings)
            return;
        // Midnight stands for "not set".
        m_control->SetWorkingHours(m_settings->WorkdayStart == QTime(0, 0) ? QTime() : m_settings->WorkdayStart,
                                   m_settings->WorkdayEnd == QTime(0, 0) ? QTime() : m_settings->WorkdayEnd);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("SetWorkingHours"), e);
    }
}

void TplgCalendar::SetTimeInterval(int minutes)
{
    m_control->SetTimeInterval(minutes);
    for (QAction *a : m_intervals->actions())
        a->setChecked(a->data().toInt() == minutes);
}

void TplgCalendar::SetViewKind(TCalendarViewKind view)
{
    m_control->SetView(view);
    const QList<QAction *> actions{acViewDay, acViewWeek, acViewWeeks, acViewYear, acViewTimegrid};
    actions[int(view)]->setChecked(true);
    UpdateCaption();
}

void TplgCalendar::UpdateCaption()
{
    const TCalendarPeriod period = m_control->Period();
    const QDate date = m_control->Date();
    QString text;
    const QList<QDate> days = m_control->Days();
    switch (m_control->View()) {
    case TCalendarViewKind::Day:
        if (days.size() > 1 && days.first().daysTo(days.last()) + 1 == days.size()) {
            text = QLocale().toString(days.first(), QStringLiteral("d MMMM")) + QStringLiteral(" - ") +
                   QLocale().toString(days.last(), QStringLiteral("d MMMM yyyy"));
        } else if (days.size() > 1) {
            // Days with gaps between them are named one by one.
            const bool oneMonth = days.first().month() == days.last().month() && days.first().year() == days.last().year();
            QStringList names;
            for (const QDate &d : days)
                names << QLocale().toString(d, oneMonth ? QStringLiteral("ddd d") : QStringLiteral("ddd d MMM"));
            text = names.join(QStringLiteral(", ")) + QLatin1Char(' ') +
                   QLocale().toString(days.last(), oneMonth ? QStringLiteral("MMMM yyyy") : QStringLiteral("yyyy"));
        } else {
            text = QLocale().toString(date, QLocale::LongFormat);
        }
        break;
    case TCalendarViewKind::Week:
    case TCalendarViewKind::TimeGrid:
        text = QLocale().toString(period.First, QStringLiteral("d MMMM")) + QStringLiteral(" - ") +
               QLocale().toString(period.Last, QStringLiteral("d MMMM yyyy"));
        break;
    case TCalendarViewKind::Month:
        text = QLocale().toString(date, QStringLiteral("MMMM yyyy"));
        break;
    case TCalendarViewKind::Year:
        text = QString::number(date.year());
        break;
    }
    m_caption->setText(text);
    if (m_control->View() == TCalendarViewKind::Day && days.size() > 1)
        m_navigator->SetSelectedDays(days);
    else
        m_navigator->SetSelectedPeriod(period);
    const QDate shownFirst = m_navigator->FirstMonth();
    if (date < shownFirst || date >= shownFirst.addMonths(3))
        m_navigator->SetFirstMonth(date);
}

void TplgCalendar::ShowEvents()
{
    try {
        UpdateCaption();
        TRvEventsController *controller = RvEvents();
        if (!controller || !controller->DataModule())
            return;
        const int minutes = m_settings ? m_settings->StandardDuration : 60;
        QList<TCalendarEvent> events = CalendarLogic::EventsOf(controller->DataModule()->EventList, m_control->Period(), minutes);
        if (m_control->View() == TCalendarViewKind::Day) {
            // Chosen days need not follow each other: the days between them are not shown.
            const QList<QDate> days = m_control->Days();
            events.removeIf([&days](const TCalendarEvent &e) { return !days.contains(e.Start.date()); });
        }
        m_control->SetEvents(events);
        UpdateActions();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("ShowEvents"), e);
    }
}

void TplgCalendar::UpdateActions()
{
    const QStringList selected = m_control->SelectedEvents();
    acHYEdit->setEnabled(selected.size() == 1);
    acHYDelete->setEnabled(!selected.isEmpty());
    acHYComplete->setEnabled(selected.size() == 1);
    acClearInformation->setEnabled(!selected.isEmpty());
    acClearFunctions->setEnabled(!selected.isEmpty());
    acEmail->setEnabled(selected.size() == 1 && !TDAEvents::NewStringList().isEmpty());
    bool rows = false;
    if (TRvEventsController *controller = RvEvents(); controller && controller->DataModule())
        rows = controller->DataModule()->tbl_DAEventList1.GetActive() && controller->DataModule()->tbl_DAEventList1.GetRecordCount() > 0;
    acRemoveNotLocked->setEnabled(rows);
    bool complete = false;
    if (selected.size() == 1)
        for (const TCalendarEvent &e : m_control->Events())
            if (e.ID == selected.first())
                complete = e.LabelID.compare(EventColor::Complete, Qt::CaseInsensitive) == 0;
    acHYComplete->setText(Text(complete ? 5408 : 5406));
    acHYComplete->setToolTip(EventImages::ToolTipOf(*acHYComplete));
}

void TplgCalendar::SetToolTips()
{
    for (QToolBar *bar : m_bars)
        EventImages::SetToolTips(bar->actions());
}

void TplgCalendar::ReadFeasts()
{
    if (m_feastsRead)
        return;
    m_feastsRead = true;
    TDACDSDataTable &table = Data().DACalenderData;
    if (!table.GetActive())
        table.Open();
    const int day = table.FieldIndex(QStringLiteral("Date"));
    const int full = table.FieldIndex(QStringLiteral("FullName"));
    const int brief = table.FieldIndex(QStringLiteral("ShortName"));
    for (int row = 0; row < table.GetRecordCount(); ++row)
        m_feasts.insert(table.ValueAt(row, day).toDateTime().date(),
                        CalendarLogic::TFeast{true, table.ValueAt(row, full).toString(), table.ValueAt(row, brief).toString()});
}

QString TplgCalendar::DayHeader(const QDate &date, int width, const QFontMetrics &metrics, const QString &ownText)
{
    try {
        // Painting never calls the server (its wait would paint again inside this paint).
        return CalendarLogic::DayHeaderText(date, m_feasts.value(date), width,
                                            [&metrics](const QString &text) { return metrics.horizontalAdvance(text); }, ownText);
    } catch (const std::exception &e) {
        static const char *names[] = {"TcxSchedulerDayView", "TcxSchedulerWeekView", "TcxSchedulerWeeksView", "TcxSchedulerYearView",
                                      "TcxSchedulerTimeGridView"};
        QorLogFailure(RvEvents(), QStringLiteral("cxSchedCustomDrawDayHeader ") + QString::fromLatin1(names[int(m_control->View())]), e);
        return ownText;
    }
}

void TplgCalendar::SelectCurrentTime()
{
    try {
        const auto [from, to] = CalendarLogic::HalfHourOf(QDateTime::currentDateTime());
        m_control->SelectTime(from, to);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("SelectCurrentTime"), e);
    }
}

void TplgCalendar::acHYAddExecute()
{
    TCursor cursor;
    TvoEvent event(EditorFactory);
    event.StartTime = m_control->SelectionStart().isValid() ? m_control->SelectionStart()
                                                            : CalendarLogic::HalfHourOf(QDateTime::currentDateTime()).first;
    event.EndTime = m_control->SelectionFinish().isValid() ? m_control->SelectionFinish() : event.StartTime.addSecs(1800);
    event.DefaultDuration = m_settings ? m_settings->StandardDuration : 60;
    event.NewEvent();
    // The run leaves the event table holding every event again, saved or not.
    ShowEvents();
    if (!event.EventID.isEmpty())
        m_control->SelectEvents({event.EventID});
}

void TplgCalendar::acHYEditExecute()
{
    const QStringList selected = m_control->SelectedEvents();
    if (selected.isEmpty())
        return;
    TCursor cursor;
    TvoEvent event(EditorFactory);
    event.EditEvent(selected.first());
    ShowEvents();
}

void TplgCalendar::acHYDeleteExecute()
{
    const QStringList selected = m_control->SelectedEvents();
    if (selected.isEmpty())
        return;
    if (Prompt().Ask(this, QMessageBox::Warning, Text(5413), Text(5412), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    auto service = Data().EventsService();
    if (!service)
        throw std::runtime_error("The events module is not connected to a server");
    // The event rows go first, once, through the event list: a row another planner deleted
    // refuses them all before any liturgy or function is touched. The views' second list only
    // drops its copies, so no second delete goes out.
    TDACDSDataTable &list = Data().EventList;
    if (!list.GetActive())
        list.Open();
    for (const QString &id : selected)
        if (list.Locate(QStringLiteral("PK_EventID"), id))
            list.Delete();
    try {
        list.ApplyUpdates();
    } catch (const EDAChangedByAnotherUser &refusal) {
        // Nothing of the delete stays pending either: sent with a later save, a row would go
        // without its liturgy and functions.
        QorLogFailure(RvEvents(), QStringLiteral("acHYDeleteExecute"), refusal);
        list.CancelUpdates();
        TDAEvents::OfferStoredRow(refusal);
        ShowEvents();
        return;
    } catch (...) {
        list.CancelUpdates();
        throw;
    }
    // Then their liturgies and functions. The events are gone either way and no view shows
    // liturgies of an event that is not stored, but the planner learns what was left behind.
    try {
        service->DeleteEvents(selected.join(QStringLiteral("\r\n")));
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYDeleteExecute"), e);
        ShowMessage(this, QMessageBox::Warning, Text(5413), Text(9008).arg(ExceptionText(e)));
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_control->RemoveEvents(selected);
    if (Data().tbl_DAEventList1.GetActive() && !Data().ViewsListPending())
        Data().tbl_DAEventList1.Refresh();
    ShowEvents();
}

void TplgCalendar::acHYCompleteExecute()
{
    const QStringList selected = m_control->SelectedEvents();
    if (selected.size() != 1)
        return;
    TCursor cursor;
    TDACDSDataTable &list = Data().EventList;
    if (!list.GetActive())
        list.Open();
    if (!list.Locate(QStringLiteral("PK_EventID"), selected.first()))
        return;
    const QString current = list.AsString(QStringLiteral("EventLabelColorID"));
    const QString computed = current.compare(EventColor::Complete, Qt::CaseInsensitive) == 0
                                 ? TvoEvent(EditorFactory).EventColor(selected.first(), false)
                                 : QString();
    list.Edit();
    list.SetValue(QStringLiteral("EventLabelColorID"), CalendarLogic::ToggledComplete(current, computed));
    list.Post();
    try {
        list.ApplyUpdates();
    } catch (const EDAChangedByAnotherUser &refusal) {
        // Told; his mark stays pending unless he loads the event as stored.
        QorLogFailure(RvEvents(), QStringLiteral("acHYCompleteExecute"), refusal);
        TDAEvents::OfferStoredRow(refusal);
        ShowEvents();
        return;
    } catch (...) {
        list.CancelUpdates();
        throw;
    }
    list.Refresh();
    ShowEvents();
    m_control->SelectEvents(selected);
}

void TplgCalendar::acHYScheduleExecute()
{
    try {
        TfAutoScheduleStart::StartRun(this);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYScheduleExecute"), e);
    }
    // In every case: wait a second, then refresh once from the timer.
    TCursor cursor;
    Pause(1000);
    tmrRefresh.start();
}

void TplgCalendar::acRemoveAssignmentsExecute(bool onlyNotLocked)
{
    if (Prompt().Ask(this, QMessageBox::Warning, Text(2573), Text(2572), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    TCursor cursor;
    const QStringList selected = m_control->SelectedEvents();
    // Nothing is sent for no event.
    if (!selected.isEmpty()) {
        if (onlyNotLocked)
            Data().RemoveNonLockedAssigments(selected);
        else
            Data().RemoveAllAssigments(selected);
    }
    acHYRefresh->trigger();
}

void TplgCalendar::acHYPrintExecute()
{
    const QStringList selected = m_control->SelectedEvents();
    TRvEventsController *controller = RvEvents();
    if (!controller)
        return;
    if (selected.isEmpty()) {
        TDACDSDataTable &list = Data().EventList;
        controller->ShowReportDlg(kCalendarReports, nullptr, list.GetActive() ? list.GetRecordCount() : 0, nullptr, 0);
    } else {
        controller->ShowReportDlg(kCalendarReports, &selected, int(selected.size()), nullptr, 0);
    }
}

void TplgCalendar::PaintPreview(QPrinter *printer)
{
    QPainter p(printer);
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    const qreal inch = printer->resolution();
    const QRectF header(0, 0, page.width(), 0.2 * inch);
    const QRectF footer(0, page.height() - 0.2 * inch, page.width(), 0.2 * inch);
    p.drawText(header, Qt::AlignLeft | Qt::AlignVCenter, Text(8501) + Text(8512));
    p.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter, Text(8502));
    const QPixmap picture = grab();
    const QRectF body(0, header.bottom() + 0.1 * inch, page.width(), footer.top() - header.bottom() - 0.2 * inch);
    const QSizeF size = QSizeF(picture.size()).scaled(body.size(), Qt::KeepAspectRatio);
    p.drawPixmap(QRectF(body.topLeft(), size), picture, picture.rect());
}

void TplgCalendar::acHYPreviewExecute()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
    QPrintPreviewDialog preview(&printer, this);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) { PaintPreview(target); });
    preview.exec();
}

void TplgCalendar::acHYRefreshExecute()
{
    try {
        TDAEvents &module = Data();
        Reopen(module.EventList);
        if (module.tbl_DAEventList1.GetActive() && !module.ViewsListPending())
            module.tbl_DAEventList1.Refresh();
        ShowEvents();
        ViewRefresh::Succeeded(*this);
    } catch (const std::exception &e) {
        ViewRefresh::Failed(*this, Text, e);
        throw;
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TplgCalendar::acTodayExecute()
{
    m_control->SetDate(QDate::currentDate());
    SelectCurrentTime();
}

void TplgCalendar::btnOptionsClick()
{
    if (!m_settings)
        return;
    TfOptionsDlg dialog(this);
    dialog.Prepare(m_settings.get());
    if (dialog.ShowModal() == TModalResult::Ok) {
        SetWorkingHours();
        m_navigator->SetShowMonthNumber(m_settings->ShowMonthNumber);
        ShowEvents();
    }
}

void TplgCalendar::ShowPopup(const QPoint &globalPos)
{
    UpdateActions();
    m_popup->popup(globalPos);
}

void TplgCalendar::acOutlookExecute()
{
    const QString path = ChooseExportFile ? ChooseExportFile()
                                          : QFileDialog::getSaveFileName(this, Text(2583), QStringLiteral("Calendar.ics"),
                                                                         QStringLiteral("iCalendar (*.ics)"));
    if (path.isEmpty())
        return;
    TRvEventsController *controller = RvEvents();
    controller->ShowProgress(1);
    try {
        controller->SetProgress(10, kSyncText);
        controller->SetProgress(50, kSyncText);
        ExportCalendar(path);
        controller->SetProgress(80, kSyncText);
    } catch (const std::exception &e) {
        controller->HideProgress();
        // The user chose the file and waits for it: a file that was not written is said, not
        // only logged.
        ShowMessage(this, QMessageBox::Warning, Text(2583), QString::fromStdString(e.what()));
        throw;
    }
    controller->HideProgress();
}

void TplgCalendar::ExportCalendar(const QString &path)
{
    TDAEvents &module = Data();
    // The whole storage, read for the export alone: a calendar program that imported an earlier
    // file finds every appointment again by its UID, whatever the views show or an editor run
    // left in the shared lists.
    const std::unique_ptr<TDACDSDataTable> own = module.ReadAllEvents();
    TDACDSDataTable &list = *own;
    const TCalendarPeriod everything{QDate(1, 1, 1), QDate(9999, 12, 31)};
    const QList<TCalendarEvent> all = CalendarLogic::EventsOf(list, everything, m_settings ? m_settings->StandardDuration : 60);
    const QString body = Text(2581).arg(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    QList<TIcsEvent> events;
    for (const TCalendarEvent &e : all) {
        if (!list.Locate(QStringLiteral("PK_EventID"), e.ID))
            continue;
        QString uid = list.AsString(QStringLiteral("EventSynchID")).trimmed();
        if (uid.isEmpty()) {
            // Made once and kept with the event, so the next export updates the same appointment.
            uid = NewSynchID();
            list.Edit();
            list.SetValue(QStringLiteral("EventSynchID"), uid);
            list.Post();
        }
        TIcsEvent item;
        item.Uid = uid;
        item.Summary = e.Caption;
        item.Location = e.Location;
        item.Start = e.Start;
        item.Finish = e.Finish;
        item.Categories = Text(2582);
        try {
            item.Description = body + module.GetEventDetails(e.ID);
        } catch (...) {
            // The details are a courtesy; the appointment goes out without them.
            item.Description = body;
        }
        events << item;
    }
    if (list.HasChanges())
        list.ApplyUpdates();
    WriteCalendarFile(path, events);
}
