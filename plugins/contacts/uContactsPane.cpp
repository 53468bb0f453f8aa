#include "plugins/contacts/uContactsPane.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uGridExport.h"
#include "plugins/contacts/uGridPreview.h"

#include "foundation/uCommon.h"
#include "ui/TDATableModel.h"
#include "ui/ufPreview.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTableView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLocale>
#include <QStyledItemDelegate>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <set>

using namespace Quorva;

const QList<TRvContactsPane::TColumnCaption> TRvContactsPane::ContactCaptions = {
    {"FirstName", 1252}, {"MiddleName", 1253}, {"LastName", 1254}, {"Street", 1255}, {"DateOfBirth", 1256},
    {"phone1", 1257},    {"phone2", 1258},     {"phone3", 1259},   {"EMail1", 1261}, {"EMail2", 1262},
    {"EMail3", 1263},    {"City", 1268},       {"State", 1269},    {"Zip", 1270},    {"Comments", 1271},
    {"Fax", 1331}};

TRvContactsPane::TRvContactsPane(TRvContactsController &controller, const QString &pluginName, int statusText,
                                 const QString &helpTopic)
    : THYVisualPlugin(pluginName), m_controller(controller), m_statusText(statusText), m_helpTopic(helpTopic),
      m_bar(new QToolBar(this)), m_menuBar(new QToolBar(this))
{
    m_bar->setObjectName(QStringLiteral("ClientBar"));
    m_bar->hide();
    // The host's copy of a bar of this name opens each menu at one press, as a menu bar does.
    m_menuBar->setObjectName(QStringLiteral("barMenu"));
    m_menuBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_menuBar->hide();
    ShowPreview = [this](const ReportDocument &document) {
        TfPreview viewer(this);
        viewer.Localize([this](int number) {
            QString text;
            if (auto language = host_cast<ILanguageHost>(m_controller.Host()))
                language->GetResourceText(number, false, text);
            return text;
        });
        viewer.SetDesignerEnabled(false);
        viewer.SetReport(&document, document.Title());
        viewer.ShowModal();
    };
}

QList<QToolBar *> TRvContactsPane::GetBarManager()
{
    return {m_menuBar, m_bar};
}

QMenu *TRvContactsPane::Menu(const QString &name) const
{
    QAction *action = Action(name);
    return action ? action->menu() : nullptr;
}

QAction *TRvContactsPane::AddMenuOnly(const QString &name, int text, int image, const QList<QAction *> &items)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(name);
    for (QAction *item : items) {
        if (item)
            menu->addAction(item);
        else
            menu->addSeparator();
    }
    QAction *holder = AddAction(name, text, image, {}, {});
    holder->setMenu(menu);
    return holder;
}

void TRvContactsPane::BuildMenuBar(const QList<QAction *> &menus)
{
    QList<QAction *> all = menus;
    all << Action(QStringLiteral("mnuTools")) << Action(QStringLiteral("mnuHelp"));
    for (QAction *item : all) {
        if (!item)
            continue;
        m_bar->removeAction(item);
        m_menuBar->addAction(item);
    }
    m_bar->addAction(Action(QStringLiteral("acHYHelp")));
}

QList<QIcon> TRvContactsPane::GetToolbarImages()
{
    return m_controller.ToolbarImages();
}

QList<QIcon> TRvContactsPane::GetToolbarDisabledImages()
{
    return m_controller.ToolbarDisabledImages();
}

void TRvContactsPane::GetStatusText(QString &text)
{
    text = Text(m_statusText);
}

QAction *TRvContactsPane::Action(const QString &name) const
{
    for (QAction *action : findChildren<QAction *>(name, Qt::FindDirectChildrenOnly))
        return action;
    return nullptr;
}

QString TRvContactsPane::Text(int number) const
{
    return m_controller.GetText(number);
}

TDAContacts &TRvContactsPane::Data() const
{
    return m_controller.Data();
}

void TRvContactsPane::Log(const QString &location, const QString &message) const
{
    m_controller.WriteLog(QorLogLevel::Severe, {location}, message);
}

QString TRvContactsPane::Setting(const QString &key, const QString &defaultValue) const
{
    auto settings = host_cast<ISettings>(m_controller.Host());
    return settings ? settings->GetUserSetting(key, defaultValue) : defaultValue;
}

void TRvContactsPane::SetSetting(const QString &key, const QString &value) const
{
    if (auto settings = host_cast<ISettings>(m_controller.Host()))
        settings->SetUserSetting(key, value);
}

QAction *TRvContactsPane::AddAction(const QString &name, int text, int image, const QKeySequence &shortcut,
                                    std::function<void()> handler)
{
    auto *action = new QAction(this);
    action->setObjectName(name);
    if (image >= 0) {
        const QList<QIcon> icons = m_controller.ToolbarImages();
        if (image < icons.size())
            action->setIcon(icons[image]);
    }
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    addAction(action);
    if (handler)
        connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    m_captions << std::pair{action, text};
    return action;
}

QAction *TRvContactsPane::AddBarAction(const QString &name, int text, int image, const QKeySequence &shortcut,
                                       std::function<void()> handler)
{
    QAction *action = AddAction(name, text, image, shortcut, std::move(handler));
    if (image >= 0)
        m_bar->addAction(action);
    return action;
}

QAction *TRvContactsPane::AddMenu(const QString &name, int text, int image, const QList<QAction *> &actions)
{
    QAction *holder = AddMenuOnly(name, text, image, actions);
    m_bar->addAction(holder);
    if (auto *button = qobject_cast<QToolButton *>(m_bar->widgetForAction(holder)))
        button->setPopupMode(QToolButton::InstantPopup);
    return holder;
}

void TRvContactsPane::AddHostActions()
{
    const auto application = [this] { return host_cast<IHostApplication>(m_controller.Host()); };
    QAction *help = AddAction(QStringLiteral("acHYHelp"), 1105, imgHelp, QKeySequence(Qt::Key_F1),
                              [this] { m_controller.ShowHelp(m_helpTopic); });
    QAction *preface = AddAction(QStringLiteral("acHelp"), 1123, -1, {}, [this] { m_controller.ShowHelp(QStringLiteral("Preface")); });
    QAction *visit = AddAction(QStringLiteral("acVisit"), 1122, -1, {}, [this] { m_controller.OpenWebSite(); });
    QAction *about = AddAction(QStringLiteral("acHYAbout"), 1112, -1, {}, [this] {
        if (auto host = host_cast<IAboutHost>(m_controller.Host()))
            host->ShowAboutDialog();
    });
    QAction *faq = AddAction(QStringLiteral("acFaq"), 1114, -1, {}, [application] {
        if (auto host = application())
            host->OpenInstallFAQ();
    });
    QAction *started = AddAction(QStringLiteral("acGettingstarted"), 1115, -1, {}, [application] {
        if (auto host = application())
            host->OpenGettingStartedGuide();
    });
    QAction *logon = AddAction(QStringLiteral("acLogon"), 10018, -1, {}, {});
    logon->setCheckable(true);
    connect(logon, &QAction::toggled, this, [application](bool on) {
        if (auto host = application())
            host->SetUseWindowsLogon(on);
    });
    QAction *preferred = AddAction(QStringLiteral("acUsePreferredServer"), 10020, -1, {}, {});
    preferred->setCheckable(true);
    connect(preferred, &QAction::toggled, this, [application](bool on) {
        if (auto host = application())
            host->SetAlwaysUsePreferredServer(on);
    });
    QAction *exit = AddAction(QStringLiteral("acHYExit"), 1107, -1, {}, [application] {
        if (auto host = application())
            host->CloseMainWindow();
    });
    // The checked states follow the host each time a menu opens.
    QAction *tools = AddMenu(QStringLiteral("mnuTools"), 10019, -1, {logon, preferred, exit});
    connect(tools->menu(), &QMenu::aboutToShow, this, [application, logon, preferred] {
        if (auto host = application()) {
            const QSignalBlocker a(logon), b(preferred);
            logon->setChecked(host->GetUseWindowsLogon());
            preferred->setChecked(host->GetAlwaysUsePreferredServer());
        }
    });
    // No picture: on the menu bar it would stand in for the caption; the tool bar keeps one.
    AddMenu(QStringLiteral("mnuHelp"), 1205, -1, {help, preface, visit, faq, started, about});
}

void TRvContactsPane::SetCaptions()
{
    for (const auto &[action, text] : m_captions) {
        action->setText(Text(text));
        action->setToolTip(Text(text));
    }
}

QList<int> TRvContactsPane::SelectedRowsOf(const QAbstractItemView &grid)
{
    std::set<int> rows;
    if (grid.selectionModel())
        for (const QItemSelectionRange &range : grid.selectionModel()->selection())
            for (int r = range.top(); r <= range.bottom(); ++r)
                rows.insert(r);
    return QList<int>(rows.begin(), rows.end());
}

void TRvContactsPane::CopyGrid(const QTableView &grid)
{
    const QList<TGridColumn> columns = GridColumns(grid);
    QStringList lines;
    QStringList captions;
    for (const TGridColumn &c : columns)
        captions << c.Caption;
    lines << captions.join(QLatin1Char('\t'));
    for (int r = 0; grid.model() && r < grid.model()->rowCount(); ++r) {
        QStringList cells;
        for (const TGridColumn &c : columns)
            cells << grid.model()->index(r, c.Column).data().toString().simplified();
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void TRvContactsPane::CaptionColumns(TDATableModel &model, const QList<TColumnCaption> &captions) const
{
    for (const TColumnCaption &c : captions)
        model.SetCaption(QString::fromLatin1(c.Field), Text(c.Text));
}

void TRvContactsPane::PreviewGrid(QAbstractItemView *grid, const QString &title, const QString &footnote)
{
    // One selected row is the cursor, not a choice: the whole list is shown then.
    QList<int> chosen = SelectedRowsOf(*grid);
    if (chosen.size() < 2)
        chosen.clear();
    const ReportDocument document = GridPreviewDocument(*grid, chosen, title, footnote);
    if (ShowPreview)
        ShowPreview(document);
}

namespace {

// How wide a column is against the others, by the field it shows.
double ColumnWeight(const QString &field)
{
    const QString f = field.toLower();
    if (f.contains(QLatin1String("email")) || f == QLatin1String("web"))
        return 1.7;
    if (f.contains(QLatin1String("street")) || f == QLatin1String("comments") || f.endsWith(QLatin1String("name")))
        return 1.25;
    if (f.contains(QLatin1String("zip")) || f.contains(QLatin1String("state")))
        return 0.6;
    if (f == QLatin1String("dateofbirth"))
        return 0.9;
    return 1.0;
}

class TFitFilter : public QObject
{
public:
    TFitFilter(QTableView *grid) : QObject(grid), m_grid(grid) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            TRvContactsPane::FitColumns(*m_grid);
        return QObject::eventFilter(watched, event);
    }

private:
    QTableView *m_grid;
};

class TEnterRuns : public QObject
{
public:
    TEnterRuns(QObject *parent, QAction *action) : QObject(parent), m_action(action) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (m_action && m_action->isEnabled())
                    m_action->trigger();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAction *m_action;
};

class TDateOnlyDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        if (value.metaType().id() == QMetaType::QDateTime || value.metaType().id() == QMetaType::QDate)
            return TRvContactsPane::DateText(value);
        return QStyledItemDelegate::displayText(value, locale);
    }
};

} // namespace

void TRvContactsPane::FitColumns(QTableView &grid)
{
    const auto *model = qobject_cast<const TDATableModel *>(grid.model());
    if (!model)
        return;
    QList<int> shown;
    double total = 0;
    for (int c = 0; c < model->columnCount(); ++c)
        if (!grid.isColumnHidden(c)) {
            shown << c;
            total += ColumnWeight(model->FieldName(c));
        }
    const int width = grid.viewport()->width();
    if (shown.isEmpty() || width <= 0)
        return;
    // A narrow pane never cuts a caption: the columns then keep their captions' width and the
    // grid scrolls sideways.
    QHeaderView *header = grid.horizontalHeader();
    for (int c : shown)
        header->resizeSection(c, qMax(header->sectionSizeHint(c),
                                      int(width * ColumnWeight(model->FieldName(c)) / total)));
}

void TRvContactsPane::KeepColumnsFitted(QTableView *grid)
{
    grid->viewport()->installEventFilter(new TFitFilter(grid));
    connect(grid->horizontalHeader(), &QHeaderView::sectionCountChanged, grid, [grid] { FitColumns(*grid); });
}

void TRvContactsPane::ShowDatesOnly(QTableView *grid, int column)
{
    if (column >= 0)
        grid->setItemDelegateForColumn(column, new TDateOnlyDelegate(grid));
}

QString TRvContactsPane::DateText(const QVariant &value)
{
    const QDate date = value.toDate();
    return date.isValid() ? QLocale().toString(date, QLocale::ShortFormat) : QString();
}

void TRvContactsPane::RunOnEnter(QWidget *grid, QAction *action)
{
    grid->installEventFilter(new TEnterRuns(grid, action));
}

void TRvContactsPane::RunIfEnabled(QAction *action)
{
    if (action && action->isEnabled())
        action->trigger();
}

void TRvContactsPane::ShowAction(QAction *action, bool shown)
{
    if (!action)
        return;
    action->setVisible(shown);
    if (!shown)
        action->setEnabled(false);
}
