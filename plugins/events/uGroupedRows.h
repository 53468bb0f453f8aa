// Office-style group rows for a flat grid: TGroupedRowsModel sits between a table model and its
// view and, while a column is grouped, puts the rows of each value of that column under a group
// row ("Location: St. Mary (12)") that expands and collapses; TGroupBox is the strip above the
// grid that takes a column header dragged onto it and shows the grouped column.
#pragma once

#include <QAbstractProxyModel>
#include <QFrame>
#include <QSet>

class QHeaderView;
class QLabel;
class QToolButton;

class TGroupedRowsModel : public QAbstractProxyModel
{
public:
    explicit TGroupedRowsModel(QObject *parent = nullptr) : QAbstractProxyModel(parent) {}

    void setSourceModel(QAbstractItemModel *source) override;

    // -1: no grouping, the rows as the source has them.
    void SetGroupColumn(int column);
    int GroupColumn() const { return m_groupColumn; }

    bool IsGroupRow(int row) const { return row >= 0 && row < int(m_rows.size()) && m_rows[row].Source < 0; }
    // The source row of a row of this model (-1 for a group row), and back (-1 while collapsed).
    int SourceRow(int row) const;
    int RowOf(int sourceRow) const;
    // The group rows' rows, their counts and states.
    int GroupCount() const { return int(m_groups.size()); }
    int RowsInGroup(int groupRow) const;
    bool IsExpanded(int groupRow) const;
    void SetExpanded(int groupRow, bool expanded);
    // Opens the group of that source row, so that it can be shown.
    void Reveal(int sourceRow);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &) const override { return {}; }
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Row
    {
        int Source = -1; // -1: the group row of group Group
        int Group = -1;
    };
    struct Group
    {
        QString Key; // also the group row's text
        QList<int> Sources;
    };
    // The group a source row belongs under: its shown text in the grouped column, else its value.
    QString GroupKey(int sourceRow) const;
    void Rebuild();
    void Relayout();
    // Whether the source rows still belong to the groups they are shown under.
    bool InTheirGroups(int firstSource, int lastSource) const;
    void ForwardChange(const QModelIndex &from, const QModelIndex &to, const QList<int> &roles);

    int m_groupColumn = -1;
    QList<Group> m_groups;
    QList<Row> m_rows;
    QList<int> m_rowOfSource;
    QList<int> m_groupOfSource; // -1 while not grouped
    QSet<QString> m_collapsed;
};

class TGroupBox : public QFrame
{
    Q_OBJECT
public:
    // header: the grid's header, whose sections may be dragged here.
    TGroupBox(QHeaderView *header, QWidget *parent = nullptr);

    // Shows the grouped column's caption (or the invitation to drag one here).
    void ShowGroup(const QString &caption);

signals:
    // A header section was dropped here: group by that column.
    void groupRequested(int column);
    // The grouped column's button was clicked: no grouping.
    void ungroupRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QHeaderView *m_header;
    QLabel *m_hint;
    QToolButton *m_group;
    QPoint m_pressedAt;
    int m_pressedSection = -1;
};
