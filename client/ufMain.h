// The main window: the navigation bar on the left, whose items open the navigation-bar
// plug-ins the user's rights allow; the active plug-in in the middle; the smart-help pane on the
// right; the host's tool bar followed by the active plug-in's bars; and a status bar with the
// plug-in's status, the version and the server. Its placement is kept in the user's registry
// store and its panels in the user's settings; the what's-new page follows two seconds after
// it first shows.
#pragma once

#include "client/HostComponents.h"
#include "client/NavBarBuilder.h"

#include "ui/uStyleForm.h"

#include <QIcon>
#include <QList>

class QAction;
class QLabel;
class QListWidget;
class QTextBrowser;
class QTimer;
class QToolBar;
class QToolBox;
class TDockPanel;
namespace Quorva {
class IHYVisualPlugin;
}

class TfMain : public TfStyleForm, public IQuorvaMainWindow, public Quorva::IStyleForm
{
    Q_OBJECT
public:
    static constexpr int MinimumWidth = 650;
    static constexpr int WhatsNewDelayMs = 2000;
    static constexpr int CloseRetryMs = 20;

    explicit TfMain(QWidget *parent = nullptr);
    ~TfMain() override;

    // --- IQuorvaMainWindow ----------------------------------------------------------------------
    QWidget *Widget() override { return this; }
    Quorva::IStyleForm *StyleForm() override { return this; }
    void SetDataModule(TDMClient *client) override { m_client = client; }
    void InitializeForm() override;
    // Queued: the action that asks for it may sit in a menu or on a button of the plug-in the
    // close releases, so the event that triggered it finishes first.
    void CloseMainWindow() override;
    bool CloseQueued() const { return m_closeQueued; }
    bool GetNavBarVisible() override;
    void SetNavBarVisible(bool visible) override;
    bool GetSmartHelpVisible() override;
    void SetSmartHelpVisible(bool visible) override;
    void ShowSmartHelp(const QString &text) override;
    void OpenPopupTarget(int eventType) override;
    void ShowAboutDialog() override;

    // --- Quorva::IStyleForm -----------------------------------------------------------------------
    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return 1; }
    int release() override { return 1; }
    // 0 the native look; 1 standard, 2 flat, 3 ultra-flat, 4 Office 11; other kinds change nothing.
    void SetLookAndFeel(quint8 kind) override;
    bool NativeStyle() const { return m_nativeStyle; }
    int LookAndFeelKind() const { return m_lookAndFeel; }

    // The first window's place when none is stored: inside the screen's available area.
    static QRect FirstPlacement(const QRect &available);

    // --- navigation bar -------------------------------------------------------------------------
    // The groups and items of the logged-on user.
    void LoadHydras();
    // Opens the item (group and item by their place in the bar); nothing when it is the active one.
    void OnNavItemClick(int group, int item);
    void DeactivatePlugin();
    void ReleaseHydras();
    const QList<TNavBarGroup> &NavBarGroups() const { return m_groups; }
    // The active item's place, -1 and -1 when none is open.
    int ActiveGroup() const { return m_activeGroup; }
    int ActiveItem() const { return m_activeItem; }
    Quorva::IHYVisualPlugin *ActivePlugin() const { return m_activePlugin; }

    // --- parts, for tests and screenshots -------------------------------------------------------
    TDockPanel *docNavBar() const { return m_docNavBar; }
    TDockPanel *docSmartHelp() const { return m_docSmartHelp; }
    QWidget *docMain() const { return m_docMain; }
    QToolBox *dxNavBar() const { return m_dxNavBar; }
    QListWidget *NavBarGroupList(int group) const;
    QTextBrowser *reSmartHelp() const { return m_reSmartHelp; }
    QToolBar *MainBar() const { return m_mainBar; }
    QList<QToolBar *> PluginBars() const { return m_pluginBars; }
    QLabel *StatusPanel(int index) const { return m_statusPanels.value(index); }
    QAction *acPreferred() const { return m_acPreferred; }
    QTimer *tmrWhatsNew() const { return m_tmrWhatsNew; }
    QString SmartHelpText() const { return m_smartHelp; }
    const QList<QIcon> &ToolbarImages() const { return m_imgToolbarNormal; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // The arrow keys go on from a group's last item to the next group's first and back.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool FormCloseQuery();
    void CloseWhenIdle();
    void ApplyPlacement();
    void StorePlacement();
    bool UserFlag(const QString &key, const QString &defaultValue) const;
    void SetUserFlag(const QString &key, bool value);
    void MarkItem(int group, int item, bool selected);
    QObject *ItemObject(int group, int item) const;
    void FocusNavItem(int group, int item);
    static void KeepTabMovingFocus(QWidget *view);

    TDMClient *m_client = nullptr;
    TDockPanel *m_docNavBar;
    TDockPanel *m_docSmartHelp;
    QWidget *m_docMain;
    QToolBox *m_dxNavBar;
    QTextBrowser *m_reSmartHelp;
    QLabel *m_imgSmartHelp;
    QToolBar *m_mainBar;
    QAction *m_acPreferred;
    QList<QToolBar *> m_pluginBars;
    QList<QLabel *> m_statusPanels;
    QTimer *m_tmrWhatsNew;
    QList<QIcon> m_imgToolbarNormal;
    QList<QIcon> m_imgToolbarDisabled;

    QList<TNavBarGroup> m_groups;
    // One object per item: what a plug-in is given as its navigation item.
    QList<QList<QObject *>> m_itemObjects;
    int m_activeGroup = -1;
    int m_activeItem = -1;
    Quorva::IHYVisualPlugin *m_activePlugin = nullptr;
    QString m_smartHelp;
    bool m_nativeStyle = true;
    int m_lookAndFeel = 4;
    bool m_shownOnce = false;
    bool m_closeQueued = false;
};
