#include "client/ufMain.h"

#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uDockPanel.h"
#include "client/ufAbout.h"
#include "client/uPluginManager.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uRegistry.h"
#include "ui/uPluginBars.h"
#include "ui/uHTMLHelp.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QStyle>
#include <QToolBox>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

const QString kQuorva = QStringLiteral("Quorva");
constexpr int kTextVersion = 20;
constexpr int kTextTitle = 100;
constexpr int kTextAlwaysUseServer = 2026;
constexpr int kTextNavBar = 2101;
constexpr int kTextNavBarHint = 2102;
constexpr int kTextSmartHelp = 2103;
constexpr int kTextSmartHelpHint = 2104;
const int kStatusMinimum[] = {100, 150, 100};
const QString kPopupHelpTopic = QStringLiteral("Zarorivodu");
const QString kNavBarVisible = QStringLiteral("NavBarVisible");
const QString kNavBarAutoHide = QStringLiteral("NavBarAutoHide");
const QString kSmartHelpAutoHide = QStringLiteral("SmartHelpAutoHide");

QString ErrorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

QString ReadPlacement(const QString &name, const QString &defaultValue)
{
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, defaultValue, name);
    return value;
}

int ReadPlacementNumber(const QString &name, int defaultValue)
{
    bool ok = false;
    const int value = ReadPlacement(name, QString::number(defaultValue)).toInt(&ok);
    return ok ? value : defaultValue;
}

void WritePlacement(const QString &name, const QString &value)
{
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, value, name);
}

// The smart-help pane's picture: a small lamp of help.
QPixmap SmartHelpImage()
{
    QPixmap image(32, 32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xF2, 0xC9, 0x6B));
    painter.setPen(QPen(QColor(0x8A, 0x6A, 0x1E), 1.5));
    painter.drawEllipse(QRectF(6, 2, 20, 20));
    painter.fillRect(QRectF(11, 22, 10, 7), QColor(0x5A, 0x5A, 0x5A));
    return image;
}

} // namespace

TfMain::TfMain(QWidget *parent)
    : TfStyleForm(parent)
    , m_docNavBar(new TDockPanel(QStringLiteral("docNavBar"), this))
    , m_docSmartHelp(new TDockPanel(QStringLiteral("docSmartHelp"), this))
    , m_docMain(new QWidget(this))
    , m_dxNavBar(new QToolBox(m_docNavBar))
    , m_reSmartHelp(new QTextBrowser(m_docSmartHelp))
    , m_imgSmartHelp(new QLabel(m_docSmartHelp))
    , m_mainBar(new QToolBar(this))
    , m_acPreferred(new QAction(this))
    , m_tmrWhatsNew(new QTimer(this))
{
    setObjectName(QStringLiteral("fMain"));
    setMinimumWidth(MinimumWidth);
    setDockOptions(QMainWindow::AnimatedDocks);

    m_docMain->setObjectName(QStringLiteral("docMain"));
    auto *central = new QVBoxLayout(m_docMain);
    central->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(m_docMain);

    m_dxNavBar->setObjectName(QStringLiteral("dxNavBar"));
    m_dxNavBar->setMinimumWidth(170);
    m_docNavBar->SetContent(m_dxNavBar);
    addDockWidget(Qt::LeftDockWidgetArea, m_docNavBar);

    auto *help = new QWidget(m_docSmartHelp);
    auto *helpLayout = new QVBoxLayout(help);
    helpLayout->setContentsMargins(4, 4, 4, 4);
    m_imgSmartHelp->setPixmap(SmartHelpImage());
    helpLayout->addWidget(m_imgSmartHelp, 0, Qt::AlignLeft);
    m_reSmartHelp->setObjectName(QStringLiteral("reSmartHelp"));
    m_reSmartHelp->setReadOnly(true);
    m_reSmartHelp->setOpenExternalLinks(true);
    m_reSmartHelp->setMinimumWidth(160);
    // Read-only, it shows no cursor: a frame shows where Tab left the focus.
    m_reSmartHelp->setStyleSheet(QStringLiteral("QTextBrowser:focus { border: 2px solid palette(highlight); }"));
    helpLayout->addWidget(m_reSmartHelp, 1);
    m_docSmartHelp->SetContent(help);
    addDockWidget(Qt::RightDockWidgetArea, m_docSmartHelp);
    // Docked elsewhere the pane is made anew: the kept text goes back in.
    const auto refill = [this] {
        if (isVisible())
            ShowSmartHelp(m_smartHelp);
    };
    connect(m_docSmartHelp, &QDockWidget::topLevelChanged, this, refill);
    connect(m_docSmartHelp, &QDockWidget::dockLocationChanged, this, refill);

    m_mainBar->setObjectName(QStringLiteral("MainBar"));
    m_mainBar->setMovable(false);
    m_mainBar->setIconSize(QSize(24, 24));
    m_acPreferred->setCheckable(true);
    m_acPreferred->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    m_mainBar->addAction(m_acPreferred);
    connect(m_acPreferred, &QAction::toggled, this, [this](bool checked) {
        if (m_client)
            m_client->SetAlwaysUsePreferredServer(checked);
    });
    addToolBar(Qt::TopToolBarArea, m_mainBar);

    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(this);
        panel->setMinimumWidth(kStatusMinimum[i]);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_statusPanels << panel;
    }
    statusBar()->addWidget(m_statusPanels[0], 1);
    statusBar()->addPermanentWidget(m_statusPanels[1]);
    statusBar()->addPermanentWidget(m_statusPanels[2]);

    auto *contents = new QAction(this);
    contents->setShortcut(QKeySequence::HelpContents);
    contents->setShortcutContext(Qt::WindowShortcut);
    connect(contents, &QAction::triggered, this, [] { TconHTMLHelp::HelpCommand(TconHTMLHelp::Contents); });
    addAction(contents);

    m_tmrWhatsNew->setInterval(WhatsNewDelayMs);
    m_tmrWhatsNew->setSingleShot(true);
    connect(m_tmrWhatsNew, &QTimer::timeout, this, [this] {
        m_tmrWhatsNew->stop();
        if (m_client)
            m_client->ShowWhatsNew();
    });
    resize(600, 400);
}

TfMain::~TfMain()
{
    // A plug-in shown here must go back to its module before its window goes.
    ReleaseHydras();
}

bool TfMain::queryInterface(const QUuid &id, void **object)
{
    return QorQueryInterface<IStyleForm>(this, id, object);
}

// --- building the window ------------------------------------------------------------------------

void TfMain::InitializeForm()
{
    try {
        if (!m_client)
            throw std::runtime_error("the main window has no data module");
        LoadHydras();
        const QString title = m_client->GetText(kTextTitle);
        QApplication::setApplicationDisplayName(title);
        setWindowTitle((m_client->User() ? m_client->User()->UserName : QString()) + QStringLiteral(" - ") + title);
        m_docNavBar->SetCaption(m_client->GetText(kTextNavBar), m_client->GetText(kTextNavBarHint));
        m_docSmartHelp->SetCaption(m_client->GetText(kTextSmartHelp), m_client->GetText(kTextSmartHelpHint));
        m_acPreferred->setText(m_client->GetText(kTextAlwaysUseServer));
        {
            const QSignalBlocker blocker(m_acPreferred);
            m_acPreferred->setChecked(m_client->GetAlwaysUsePreferredServer());
        }
        m_statusPanels[0]->clear();
        m_statusPanels[1]->setText(m_client->GetVersionText());
        m_statusPanels[2]->setText(m_client->GetServerStatusText());

        ApplyPlacement();

        SetNavBarVisible(UserFlag(kNavBarVisible, QStringLiteral("True")));
        m_docNavBar->SetAutoHide(UserFlag(kNavBarAutoHide, QStringLiteral("False")));
        m_docSmartHelp->SetAutoHide(UserFlag(kSmartHelpAutoHide, QStringLiteral("False")));

        const int group = m_client->GetUserSetting(QStringLiteral("ActiveGroup"), QStringLiteral("0")).toInt();
        const int item = std::max(0, m_client->GetUserSetting(QStringLiteral("ActiveItem"), QStringLiteral("0")).toInt());
        ShowSmartHelp(QString());
        QCoreApplication::processEvents();
        if (group < 0 || group >= m_groups.size())
            throw std::runtime_error(QStringLiteral("There is no navigation group %1").arg(group).toStdString());
        if (item < m_groups[group].Items.size())
            OnNavItemClick(group, item);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("InitializeForm"), ErrorText(e));
    }
}

void TfMain::ApplyPlacement()
{
    if (ReadPlacement(QStringLiteral("WindowsMaximized"), QStringLiteral("False")) == QLatin1String("True")) {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMaximized);
    if (ReadPlacement(QStringLiteral("WindowsWidth"), QString()).isEmpty()) {
        // Never placed yet: the first window takes most of the screen's available area, so that the
        // views have room; 600 by 400 would cut a grid to a column.
        const QRect area = FirstPlacement(screen() ? screen()->availableGeometry() : QRect());
        if (area.isValid()) {
            resize(area.size());
            move(area.topLeft());
            return;
        }
    }
    resize(ReadPlacementNumber(QStringLiteral("WindowsWidth"), 600), ReadPlacementNumber(QStringLiteral("WindowsHeight"), 400));
    move(ReadPlacementNumber(QStringLiteral("WindowsLeft"), 100), ReadPlacementNumber(QStringLiteral("WindowsTop"), 100));
}

QRect TfMain::FirstPlacement(const QRect &available)
{
    if (!available.isValid())
        return {};
    // Nine tenths of the area, centred in it, and never narrower than the window may be.
    const int width = std::min(available.width(), std::max(MinimumWidth, available.width() * 9 / 10));
    const int height = available.height() * 9 / 10;
    return {available.left() + (available.width() - width) / 2, available.top() + (available.height() - height) / 2, width, height};
}

void TfMain::StorePlacement()
{
    if (isMinimized())
        return;
    if (isMaximized()) {
        WritePlacement(QStringLiteral("WindowsMaximized"), QStringLiteral("True"));
        return;
    }
    WritePlacement(QStringLiteral("WindowsTop"), QString::number(y()));
    WritePlacement(QStringLiteral("WindowsLeft"), QString::number(x()));
    WritePlacement(QStringLiteral("WindowsWidth"), QString::number(width()));
    WritePlacement(QStringLiteral("WindowsHeight"), QString::number(height()));
    WritePlacement(QStringLiteral("WindowsMaximized"), QStringLiteral("False"));
}

bool TfMain::UserFlag(const QString &key, const QString &defaultValue) const
{
    const bool fallback = StrToBoolDef(defaultValue, false);
    return m_client ? StrToBoolDef(m_client->GetUserSetting(key, defaultValue), fallback) : fallback;
}

void TfMain::SetUserFlag(const QString &key, bool value)
{
    if (m_client)
        m_client->SetUserSetting(key, value ? QStringLiteral("-1") : QStringLiteral("0"));
}

// --- panels -------------------------------------------------------------------------------------

bool TfMain::GetNavBarVisible()
{
    return m_docNavBar->isVisibleTo(this);
}

void TfMain::SetNavBarVisible(bool visible)
{
    m_docNavBar->setVisible(visible);
}

bool TfMain::GetSmartHelpVisible()
{
    return m_docSmartHelp->isVisibleTo(this);
}

void TfMain::SetSmartHelpVisible(bool visible)
{
    m_docSmartHelp->setVisible(visible);
}

void TfMain::ShowSmartHelp(const QString &text)
{
    try {
        m_smartHelp = text;
        if (Qt::mightBeRichText(text))
            m_reSmartHelp->setHtml(text);
        else
            m_reSmartHelp->setPlainText(text);
    } catch (const std::exception &e) {
        if (m_client)
            AddToLog(llSevere, kQuorva, QStringLiteral("ShowSmartHelp"), ErrorText(e));
    }
}

void TfMain::SetLookAndFeel(quint8 kind)
{
    m_nativeStyle = kind == 0;
    if (kind < 1 || kind > 4)
        return;
    m_lookAndFeel = kind;
    // Flat kinds draw the panes without their sunken frames.
    const QFrame::Shape shape = kind == 2 || kind == 3 ? QFrame::NoFrame : QFrame::StyledPanel;
    m_reSmartHelp->setFrameShape(shape);
    for (int i = 0; i < m_dxNavBar->count(); ++i)
        if (auto *list = qobject_cast<QListWidget *>(m_dxNavBar->widget(i)))
            list->setFrameShape(shape);
}

void TfMain::OpenPopupTarget(int eventType)
{
    switch (eventType) {
    case 0:
        if (m_groups.size() > 2 && !m_groups[2].Items.isEmpty())
            OnNavItemClick(2, 0);
        break;
    case 1:
        if (m_groups.size() > 1 && !m_groups[1].Items.isEmpty())
            OnNavItemClick(1, 0);
        break;
    case 2:
        TconHTMLHelp::ShowTopic(kPopupHelpTopic);
        break;
    default:
        break;
    }
}

void TfMain::ShowAboutDialog()
{
    TfAbout about(this);
    about.lblAbout()->clear();
    if (m_client)
        about.lblVersion()->setText(m_client->GetText(kTextVersion) + m_client->OwnVersion());
    about.move(frameGeometry().center() - about.rect().center());
    about.exec();
    QCoreApplication::processEvents();
}

// --- navigation bar -----------------------------------------------------------------------------

QListWidget *TfMain::NavBarGroupList(int group) const
{
    return qobject_cast<QListWidget *>(m_dxNavBar->widget(group));
}

void TfMain::LoadHydras()
{
    try {
        while (m_dxNavBar->count() > 0) {
            QWidget *page = m_dxNavBar->widget(0);
            m_dxNavBar->removeItem(0);
            delete page;
        }
        for (const QList<QObject *> &objects : std::as_const(m_itemObjects))
            qDeleteAll(objects);
        m_itemObjects.clear();
        m_groups.clear();
        if (!m_client || !m_client->PluginManager())
            return;
        const int level = m_client->User() ? m_client->User()->UserLevel : 0;
        m_groups = TNavBarBuilder::LoadHydras(*m_client->PluginManager(), level,
                                              [this](int number) { return m_client->GetText(number, true); });
        for (int g = 0; g < m_groups.size(); ++g) {
            auto *list = new QListWidget(m_dxNavBar);
            list->setIconSize(QSize(24, 24));
            list->setSpacing(2);
            list->setFrameShape(QFrame::NoFrame);
            QList<QObject *> objects;
            for (int i = 0; i < m_groups[g].Items.size(); ++i) {
                const TNavBarItem &item = m_groups[g].Items[i];
                auto *entry = new QListWidgetItem(QIcon(item.Bitmap), item.Caption, list);
                entry->setData(Qt::UserRole, item.Tag);
                auto *object = new QObject(this);
                object->setObjectName(item.PluginName);
                object->setProperty("Caption", item.Caption);
                object->setProperty("Tag", item.Tag);
                objects << object;
            }
            m_itemObjects << objects;
            connect(list, &QListWidget::itemClicked, this, [this, list, g](QListWidgetItem *clicked) {
                OnNavItemClick(g, list->row(clicked));
            });
            // Enter opens the item the arrow keys went to.
            connect(list, &QListWidget::itemActivated, this, [this, list, g](QListWidgetItem *chosen) {
                OnNavItemClick(g, list->row(chosen));
            });
            list->installEventFilter(this);
            m_dxNavBar->addItem(list, m_groups[g].Caption);
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("LoadHydras"), ErrorText(e));
    }
}

void TfMain::KeepTabMovingFocus(QWidget *view)
{
    if (!view)
        return;
    // Tab leaves a grid or a text box for the next pane rather than moving inside it: a user
    // without a mouse would be caught there (the arrow keys move within a grid).
    for (auto *grid : view->findChildren<QAbstractItemView *>())
        grid->setTabKeyNavigation(false);
    for (auto *text : view->findChildren<QTextEdit *>())
        text->setTabChangesFocus(true);
    for (auto *text : view->findChildren<QPlainTextEdit *>())
        text->setTabChangesFocus(true);
}

bool TfMain::eventFilter(QObject *watched, QEvent *event)
{
    auto *list = qobject_cast<QListWidget *>(watched);
    const int group = list ? m_dxNavBar->indexOf(list) : -1;
    if (group < 0)
        return TfStyleForm::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn && !list->currentItem() && list->count() > 0)
        // Without a current item the list would take the focus and show nothing of it.
        list->setCurrentRow(0);
    if (event->type() != QEvent::KeyPress)
        return TfStyleForm::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    const int row = list->currentRow();
    if (key->key() == Qt::Key_Down && row == list->count() - 1) {
        for (int next = group + 1; next < m_dxNavBar->count(); ++next)
            if (NavBarGroupList(next) && NavBarGroupList(next)->count() > 0) {
                FocusNavItem(next, 0);
                return true;
            }
    } else if (key->key() == Qt::Key_Up && row <= 0) {
        for (int previous = group - 1; previous >= 0; --previous)
            if (NavBarGroupList(previous) && NavBarGroupList(previous)->count() > 0) {
                FocusNavItem(previous, NavBarGroupList(previous)->count() - 1);
                return true;
            }
    }
    return false;
}

void TfMain::FocusNavItem(int group, int item)
{
    QListWidget *list = NavBarGroupList(group);
    m_dxNavBar->setCurrentIndex(group);
    list->setCurrentRow(item);
    list->setFocus(Qt::TabFocusReason);
}

QObject *TfMain::ItemObject(int group, int item) const
{
    if (group < 0 || group >= m_itemObjects.size() || item < 0 || item >= m_itemObjects[group].size())
        return nullptr;
    return m_itemObjects[group][item];
}

void TfMain::MarkItem(int group, int item, bool selected)
{
    QListWidget *list = NavBarGroupList(group);
    QListWidgetItem *entry = list ? list->item(item) : nullptr;
    if (!entry)
        return;
    QFont font = entry->font();
    font.setBold(selected);
    entry->setFont(font);
    if (selected) {
        list->setCurrentItem(entry);
        m_dxNavBar->setCurrentIndex(group);
    } else {
        entry->setSelected(false);
    }
}

void TfMain::OnNavItemClick(int group, int item)
{
    if (group == m_activeGroup && item == m_activeItem && m_activePlugin)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Only the central area is locked, so the old view stays on screen until the new one is
    // there. A plug-in runs the event loop while it loads (its server calls); a repaint of a
    // window locked as a whole is dropped there with its dirty region kept, and Qt then counts
    // every later update as already requested: old view and old mark stayed until the next
    // mouse movement over a widget asked anew.
    m_docMain->setUpdatesEnabled(false);
    try {
        if (group < 0 || group >= m_groups.size() || item < 0 || item >= m_groups[group].Items.size())
            throw std::runtime_error(QStringLiteral("There is no navigation item %1 in group %2").arg(item).arg(group).toStdString());
        ShowSmartHelp(QString());
        if (m_activePlugin)
            DeactivatePlugin();
        MarkItem(group, item, true);
        m_activeGroup = group;
        m_activeItem = item;
        const TNavBarItem &entry = m_groups[group].Items[item];
        TBasePlugin *plugin = m_client->PluginManager()->GetPlugin(TBasePlugin::NavBarKind, entry.Tag);
        if (!plugin)
            throw std::runtime_error(QStringLiteral("There is no navigation-bar plug-in %1").arg(entry.Tag).toStdString());
        m_activePlugin = m_client->HYROMgr().CreateVisualPlugin(plugin->Name());
        if (!m_activePlugin)
            throw std::runtime_error(("The plug-in " + plugin->Name() + " could not be created").toStdString());
        if (auto navigation = host_cast<INavBarPlugin>(m_activePlugin)) {
            for (QToolBar *bar : navigation->GetBarManager()) {
                QToolBar *copy = CopyPluginBar(bar, this);
                addToolBar(Qt::TopToolBarArea, copy);
                m_pluginBars << copy;
            }
            QString status;
            navigation->GetStatusText(status);
            m_statusPanels[0]->setText(status);
            navigation->Activate(ItemObject(group, item));
        }
        m_activePlugin->ShowParented(m_docMain);
        if (m_docMain->layout())
            m_docMain->layout()->activate();
        KeepTabMovingFocus(m_activePlugin->GetWidget());
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("OnNavItemClick"), ErrorText(e));
    }
    m_docMain->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

void TfMain::DeactivatePlugin()
{
    try {
        if (!m_activePlugin)
            return;
        QObject *item = ItemObject(m_activeGroup, m_activeItem);
        int bars = 0;
        if (auto navigation = host_cast<INavBarPlugin>(m_activePlugin)) {
            navigation->Deactivate(item);
            m_imgToolbarNormal = navigation->GetToolbarImages();
            m_imgToolbarDisabled = navigation->GetToolbarDisabledImages();
            bars = int(navigation->GetBarManager().size());
        }
        for (int i = 0; i < bars && !m_pluginBars.isEmpty(); ++i) {
            QToolBar *bar = m_pluginBars.takeLast();
            removeToolBar(bar);
            delete bar;
        }
        MarkItem(m_activeGroup, m_activeItem, false);
        m_activeGroup = -1;
        m_activeItem = -1;
        m_statusPanels[0]->clear();
        // Out of the content area before it goes back to its module: a view its module keeps alive
        // a little longer must not stay on screen over the next one.
        if (QWidget *view = m_activePlugin->GetWidget()) {
            view->hide();
            if (m_docMain->layout())
                m_docMain->layout()->removeWidget(view);
        }
        m_client->HYROMgr().ReleasePlugin(m_activePlugin);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("DeactivatePlugin"), ErrorText(e));
    }
}

void TfMain::ReleaseHydras()
{
    try {
        if (m_activePlugin && m_client)
            m_client->HYROMgr().ReleasePlugin(m_activePlugin);
        m_activePlugin = nullptr;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("ReleaseHydras"), ErrorText(e));
    }
}

// --- showing and closing ------------------------------------------------------------------------

void TfMain::showEvent(QShowEvent *event)
{
    TfStyleForm::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_tmrWhatsNew->start();
    }
}

void TfMain::CloseMainWindow()
{
    if (m_closeQueued)
        return;
    m_closeQueued = true;
    QTimer::singleShot(0, this, &TfMain::CloseWhenIdle);
}

void TfMain::CloseWhenIdle()
{
    // A menu or a dialog still in its own loop holds the stack: the close waits until it ended.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) {
        QTimer::singleShot(CloseRetryMs, this, &TfMain::CloseWhenIdle);
        return;
    }
    m_closeQueued = false;
    close();
}

bool TfMain::FormCloseQuery()
{
    setUpdatesEnabled(false);
    try {
        if (m_activePlugin)
            DeactivatePlugin();
        StorePlacement();
        SetUserFlag(kNavBarAutoHide, m_docNavBar->AutoHide());
        SetUserFlag(kNavBarVisible, GetNavBarVisible());
        SetUserFlag(kSmartHelpAutoHide, m_docSmartHelp->AutoHide());
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("FormCloseQuery"), ErrorText(e));
    }
    setUpdatesEnabled(true);
    return true;
}

void TfMain::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    try {
        ReleaseHydras();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, QStringLiteral("self close"), ErrorText(e));
    }
    TfStyleForm::closeEvent(event);
}
