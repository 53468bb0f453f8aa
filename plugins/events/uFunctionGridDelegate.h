// The cells of a grid of scheduled functions, in the editor and in the schedule view: the
// function shows its name and is chosen from all functions, a position "0" shows empty, the
// member and the minister flag are never edited in the cell (the delegate makes both fields
// read-only in its model).
#pragma once

#include "plugins/events/uEventEditorRules.h"

#include <QIcon>
#include <QStyledItemDelegate>

#include <array>
#include <functional>

class QTableView;
class TDATableModel;

class TFunctionGridDelegate : public QStyledItemDelegate
{
public:
    TFunctionGridDelegate(TDATableModel *model, QObject *parent);

    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // The name of the function from the data module's functions; empty when unknown.
    static QString FunctionName(const QString &id);

    // The member cell's two glyph buttons: 0 chooses a member, 1 clears it. A click on one
    // calls pressed with the button's index, the row already current; so does a double-click
    // elsewhere in the cell, as 0. A double-click on a button is only its first click.
    void SetMemberButtons(std::function<void(int buttonIndex)> pressed) { m_memberButton = std::move(pressed); }
    // Where the buttons sit in a cell of that rectangle: choose, then clear, at its right end.
    static QRect MemberButtonRect(const QRect &cell, int buttonIndex);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index) override;

private:
    bool IsMemberCell(const QModelIndex &index) const;

    TDATableModel *m_model;
    std::function<void(int)> m_memberButton;
    // The buttons' glyphs, asked of the style once and not on every paint of every cell.
    mutable const QStyle *m_glyphStyle = nullptr;
    mutable std::array<QIcon, 2> m_glyphs;
};

// A cell edit of the grid that the data layer refuses is told to the user with its reason,
// under the heading when one is given (and logged); the row stays as it was.
void ShowRefusedEdits(TDATableModel *model, QWidget *owner, const QString &heading = QString());

// Follows the mouse over a function grid and shows the minister flag's hint (the row's
// comments) as the grid's only tool tip. Lives as long as the grid, its parent.
class TMinisterFlagHintTracker : public QObject
{
public:
    TMinisterFlagHintTracker(QTableView *grid, TDATableModel *model);

    const TMinisterFlagHint &Hint() const { return m_hint; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Track(const QPoint &position, const QPoint &globalPosition);

    QTableView *m_grid;
    QWidget *m_viewport;
    TDATableModel *m_model;
    TMinisterFlagHint m_hint;
};
