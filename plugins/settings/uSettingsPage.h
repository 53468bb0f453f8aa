// What the pages of the system settings view share: the little they take from the view around
// them (ISettingsPageHost), the base every page widget builds on, and the pieces their layouts
// are made of.
#pragma once

#include <QMessageBox>
#include <QPair>
#include <QString>
#include <QStyle>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QFormLayout;
class QGroupBox;
class QLabel;
class QTableView;
class QToolButton;
class QVBoxLayout;
class TDACDSDataTable;
class TDASettings;
class TDATableModel;
class TFieldBinder;
class TRvSettingsController;

namespace SettingsKeys {

inline const QString Location = QStringLiteral("PK_LocationID");
inline const QString Liturgy = QStringLiteral("PK_LiturgyTemplateID");
inline const QString Function = QStringLiteral("PK_MinistryFunctionID");
inline const QString Template = QStringLiteral("PK_MinistryTemplateID");
inline const QString User = QStringLiteral("PK_UserID");
constexpr int IdRole = Qt::UserRole;
constexpr int SecondRole = Qt::UserRole + 1; // a link node's function id
constexpr int CountRole = Qt::UserRole + 2;  // a link node's count

} // namespace SettingsKeys

// The view a page lives in. Every step a page takes runs under Guarded, which also tells a save
// another planner's change refused; questions and messages are asked over the view.
class ISettingsPageHost
{
public:
    virtual TRvSettingsController &Controller() const = 0;
    virtual TDASettings &Data() const = 0;
    virtual bool Guarded(const QString &location, const std::function<void()> &step) = 0;
    // Re-reads the enabled state of every action of the view.
    virtual void UpdateActions() = 0;
    virtual bool Confirm(int caption, int question) = 0;
    virtual void Tell(QMessageBox::Icon icon, int caption, const QString &text) = 0;
    // A new password; nullopt on cancel.
    virtual std::optional<QString> NewPassword() = 0;

protected:
    ~ISettingsPageHost() = default;
};

class TSettingsPage : public QWidget
{
public:
    explicit TSettingsPage(ISettingsPageHost &host);

    // Sets the texts of the labels, groups and buttons by their numbers.
    virtual void LoadCaptions();
    // The page's editors on a table row, if it has them.
    TFieldBinder *Fields() const { return m_fields; }

protected:
    TRvSettingsController &Controller() const { return m_host.Controller(); }
    TDASettings &Data() const;
    QString Text(int number) const;
    bool Guarded(const QString &location, const std::function<void()> &step) { return m_host.Guarded(location, step); }
    void Caption(QWidget *widget, int number) { m_captions << QPair<QWidget *, int>(widget, number); }
    // A label showing the text numbered caption.
    QLabel *Label(QWidget *parent, int caption);
    // The binder of the page's editors: failures go to the log, and a name left blank is told
    // with the message numbered nameMessage.
    TFieldBinder *BindFields(TDACDSDataTable &table, int nameMessage);
    // Writes a failure of a grid's handler to the log at the location.
    void LogFailure(const QString &location, const QString &message) const;
    // An up, down, add or remove button's action; it has no text.
    QAction *MoveAction(QStyle::StandardPixmap pixmap);
    // The up and down actions of a list: they move its current row by one step.
    QPair<QAction *, QAction *> UpDownActions(const std::function<void(int step)> &move);
    // The grid shows the field of the table's rows, read-only, and follows the table's cursor;
    // a failure to move it goes to the log at failureLocation.
    TDATableModel *ShowRows(QTableView *grid, TDACDSDataTable &table, const QString &field, const QString &failureLocation);

    ISettingsPageHost &m_host;

private:
    TFieldBinder *m_fields = nullptr;
    QList<QPair<QWidget *, int>> m_captions; // labels and groups by text number
};

namespace SettingsLayout {

QToolButton *ActionButton(QAction *action, QWidget *parent);
QVBoxLayout *MoveButtons(QAction *up, QAction *down, QWidget *parent);
// The editors of a details group keep their natural height at the group's top.
QFormLayout *DetailsForm(QGroupBox *group);
QTableView *ListGrid(QWidget *parent);

} // namespace SettingsLayout
