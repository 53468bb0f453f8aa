// What the contacts and families views share as navigation-bar plug-ins of the module: the
// controller, the tool bar the host copies into its window, the help and host actions, the
// user's settings and the log of a failed handler.
#pragma once

#include "client/api/ModuleKit.h"

#include <QKeySequence>
#include <QList>
#include <QString>

#include <exception>
#include <functional>

class QAbstractItemView;
class QAction;
class QMenu;
class QTableView;
class QToolBar;
class ReportDocument;
class TRvContactsController;
class TDAContacts;
class TDATableModel;

class TRvContactsPane : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::INavBarPlugin>
{
public:
    // The pictures of ToolbarImages by index.
    enum Image { imgNew, imgEdit, imgDelete, imgRefresh, imgPrint, imgPreview, imgFind, imgMail, imgExport, imgImport, imgHelp };

    // A column's field and the language text of its caption.
    struct TColumnCaption
    {
        const char *Field;
        int Text;
    };
    // The captions of the contact fields, shared by every grid of contacts.
    static const QList<TColumnCaption> ContactCaptions;

    TRvContactsPane(TRvContactsController &controller, const QString &pluginName, int statusText, const QString &helpTopic);

    // The menu bar and the tool bar.
    QList<QToolBar *> GetBarManager() override;
    QList<QIcon> GetToolbarImages() override;
    QList<QIcon> GetToolbarDisabledImages() override;
    void GetStatusText(QString &text) override;

    // An action by its name (acHYNew, acHYDelete, ...), null for a name the view has not.
    QAction *Action(const QString &name) const;
    QToolBar *Bar() const { return m_bar; }
    QToolBar *MenuBar() const { return m_menuBar; }
    // A menu of the view by its name (mnuFile, mnuReports, ...), null for a name it has not.
    QMenu *Menu(const QString &name) const;

    // How a preview is shown (the report viewer unless replaced); tests read the document.
    std::function<void(const ReportDocument &document)> ShowPreview;

protected:
    QString Text(int number) const;
    TDAContacts &Data() const;
    TRvContactsController &Controller() const { return m_controller; }
    // Logs a failed handler at level 2 under its location.
    void Log(const QString &location, const QString &message) const;
    QString Setting(const QString &key, const QString &defaultValue) const;
    void SetSetting(const QString &key, const QString &value) const;

    // A new action of the view, reached by name; an image of -1 has none. On the tool bar
    // unless it is given a menu or left off.
    QAction *AddAction(const QString &name, int text, int image, const QKeySequence &shortcut, std::function<void()> handler);
    // The same, on the tool bar when it has an image.
    QAction *AddBarAction(const QString &name, int text, int image, const QKeySequence &shortcut, std::function<void()> handler);
    // Enter in the grid runs the action when it is enabled.
    static void RunOnEnter(QWidget *grid, QAction *action);
    // A menu reached by name (its action and the menu both carry it) that is on no bar yet: for
    // a menu of the menu bar or a sub-menu. Null items are separators.
    QAction *AddMenuOnly(const QString &name, int text, int image, const QList<QAction *> &items);
    // The same as a tool-bar button with a drop-down of the actions.
    QAction *AddMenu(const QString &name, int text, int image, const QList<QAction *> &actions);
    // The help, web-site, about and host actions every view carries, in a Help and a Tools menu.
    void AddHostActions();
    // The menu bar: the view's own menus, then View (when given), Tools and Help, which leave
    // the tool bar for it; the tool bar keeps a help button.
    void BuildMenuBar(const QList<QAction *> &menus);
    void SetCaptions();
    void CaptionColumns(TDATableModel &model, const QList<TColumnCaption> &captions) const;
    // Shows the rows of the grid (the selected ones when there are) in the report viewer.
    void PreviewGrid(QAbstractItemView *grid, const QString &title, const QString &footnote);
    // Every row of the grid, in the columns it shows, to the clipboard (tab-separated, captions first).
    static void CopyGrid(const QTableView &grid);
    // The rows of the model selected in the grid, in order.
    static QList<int> SelectedRowsOf(const QAbstractItemView &grid);
public:
    // Shares the grid's width between its shown columns by what they hold; with keep, again
    // whenever the grid is resized or a column shown or hidden.
    static void FitColumns(QTableView &grid);
    static void KeepColumnsFitted(QTableView *grid);
    // A date-time column shows the date alone (dates of birth carry no time).
    static void ShowDatesOnly(QTableView *grid, int column);
    static QString DateText(const QVariant &value);

protected:
    // Runs an action only when it is enabled: keys and double clicks.
    static void RunIfEnabled(QAction *action);
    static void ShowAction(QAction *action, bool shown);

private:
    TRvContactsController &m_controller;
    int m_statusText;
    QString m_helpTopic;
    QToolBar *m_bar;
    QToolBar *m_menuBar;
    QList<std::pair<QAction *, int>> m_captions;
};
