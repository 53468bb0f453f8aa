#include "plugins/events/uGroupedRows.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolButton>

#include <algorithm>

namespace {

const QString kColumnMime = QStringLiteral("application/x-kestrova-grid-column");

} // namespace

void TGroupedRowsModel::setSourceModel(QAbstractItemModel *source)
{
    beginResetModel();
    if (sourceModel())
        sourceModel()->disconnect(this);
    QAbstractProxyModel::setSourceModel(source);
    if (source) {
        const auto rebuild = [this] {
            beginResetModel();
            Rebuild();
            endResetModel();
        };
        connect(source, &QAbstractItemModel::modelReset, this, rebuild);
        connect(source, &QAbstractItemModel::layoutChanged, this, rebuild);
        connect(source, &QAbstractItemModel::rowsInserted, this, rebuild);
        connect(source, &QAbstractItemModel::rowsRemoved, this, rebuild);
        connect(source, &QAbstractItemModel::columnsInserted, this, rebuild);
        connect(source, &QAbstractItemModel::columnsRemoved, this, rebuild);
        connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
        connect(source, &QAbstractItemModel::dataChanged, this,
                [this, rebuild](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                    // Only a row that left its group needs new groups: a reset would drop the
                    // view's selection, and the source reports whole rows.
                    if (m_groupColumn >= 0 && from.column() <= m_groupColumn && m_groupColumn <= to.column()
                        && !InTheirGroups(from.row(), to.row())) {
                        rebuild();
                        return;
                    }
                    ForwardChange(from, to, roles);
                });
    }
    Rebuild();
    endResetModel();
}

void TGroupedRowsModel::SetGroupColumn(int column)
{
    if (column == m_groupColumn)
        return;
    beginResetModel();
    m_groupColumn = column;
    m_collapsed.clear();
    Rebuild();
    endResetModel();
}

QString TGroupedRowsModel::GroupKey(int sourceRow) const
{
    const QModelIndex cell = sourceModel()->index(sourceRow, m_groupColumn);
    const QString text = cell.data(Qt::DisplayRole).toString();
    return text.isEmpty() ? cell.data(Qt::EditRole).toString() : text;
}

void TGroupedRowsModel::Rebuild()
{
    m_groups.clear();
    QAbstractItemModel *source = sourceModel();
    const int rows = source ? source->rowCount() : 0;
    m_groupOfSource = QList<int>(rows, -1);
    if (source && m_groupColumn >= 0 && m_groupColumn < source->columnCount()) {
        // Groups in the order of their first row, so that grouping keeps the source's order.
        QHash<QString, int> byKey;
        for (int row = 0; row < rows; ++row) {
            const QString key = GroupKey(row);
            auto found = byKey.constFind(key);
            if (found == byKey.constEnd()) {
                found = byKey.insert(key, int(m_groups.size()));
                m_groups.append(Group{key, {}});
            }
            m_groups[*found].Sources << row;
            m_groupOfSource[row] = *found;
        }
    }
    Relayout();
}

bool TGroupedRowsModel::InTheirGroups(int firstSource, int lastSource) const
{
    // Every row keeping its key keeps the groups, their order and their counts as they are.
    for (int row = firstSource; row <= lastSource; ++row) {
        const int group = m_groupOfSource.value(row, -1);
        if (group < 0 || GroupKey(row) != m_groups[group].Key)
            return false;
    }
    return true;
}

void TGroupedRowsModel::ForwardChange(const QModelIndex &from, const QModelIndex &to, const QList<int> &roles)
{
    // The source rows' places here, in runs of neighbouring rows; collapsed ones are not shown.
    QList<int> rows;
    for (int source = from.row(); source <= to.row(); ++source)
        if (const int row = RowOf(source); row >= 0)
            rows << row;
    std::sort(rows.begin(), rows.end());
    for (qsizetype first = 0, last = 0; first < rows.size(); first = ++last) {
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        emit dataChanged(index(rows[first], from.column()), index(rows[last], to.column()), roles);
    }
}

void TGroupedRowsModel::Relayout()
{
    m_rows.clear();
    QAbstractItemModel *source = sourceModel();
    const int sources = source ? source->rowCount() : 0;
    m_rowOfSource = QList<int>(sources, -1);
    if (m_groupColumn < 0) {
        for (int row = 0; row < sources; ++row) {
            m_rowOfSource[row] = int(m_rows.size());
            m_rows.append(Row{row, -1});
        }
        return;
    }
    for (int g = 0; g < m_groups.size(); ++g) {
        m_rows.append(Row{-1, g});
        if (m_collapsed.contains(m_groups[g].Key))
            continue;
        for (int row : m_groups[g].Sources) {
            m_rowOfSource[row] = int(m_rows.size());
            m_rows.append(Row{row, g});
        }
    }
}

int TGroupedRowsModel::SourceRow(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[row].Source : -1;
}

int TGroupedRowsModel::RowOf(int sourceRow) const
{
    return sourceRow >= 0 && sourceRow < int(m_rowOfSource.size()) ? m_rowOfSource[sourceRow] : -1;
}

int TGroupedRowsModel::RowsInGroup(int groupRow) const
{
    return IsGroupRow(groupRow) ? int(m_groups[m_rows[groupRow].Group].Sources.size()) : 0;
}

bool TGroupedRowsModel::IsExpanded(int groupRow) const
{
    return IsGroupRow(groupRow) && !m_collapsed.contains(m_groups[m_rows[groupRow].Group].Key);
}

void TGroupedRowsModel::SetExpanded(int groupRow, bool expanded)
{
    if (!IsGroupRow(groupRow) || IsExpanded(groupRow) == expanded)
        return;
    beginResetModel();
    const QString &key = m_groups[m_rows[groupRow].Group].Key;
    if (expanded)
        m_collapsed.remove(key);
    else
        m_collapsed.insert(key);
    Relayout();
    endResetModel();
}

void TGroupedRowsModel::Reveal(int sourceRow)
{
    if (m_groupColumn < 0 || RowOf(sourceRow) >= 0)
        return;
    for (int row = 0; row < int(m_rows.size()); ++row)
        if (IsGroupRow(row) && m_groups[m_rows[row].Group].Sources.contains(sourceRow)) {
            SetExpanded(row, true);
            return;
        }
}

QModelIndex TGroupedRowsModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

int TGroupedRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TGroupedRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

QModelIndex TGroupedRowsModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel())
        return {};
    const int source = SourceRow(proxyIndex.row());
    return source < 0 ? QModelIndex() : sourceModel()->index(source, proxyIndex.column());
}

QModelIndex TGroupedRowsModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    const int row = RowOf(sourceIndex.row());
    return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
}

QVariant TGroupedRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (!IsGroupRow(index.row()))
        return QAbstractProxyModel::data(index, role);
    const Group &group = m_groups[m_rows[index.row()].Group];
    switch (role) {
    case Qt::DisplayRole:
        return QStringLiteral("%1 %2: %3 (%4)")
            .arg(IsExpanded(index.row()) ? QStringLiteral("\u25BE") : QStringLiteral("\u25B8"),
                 sourceModel()->headerData(m_groupColumn, Qt::Horizontal, Qt::DisplayRole).toString(), group.Key)
            .arg(group.Sources.size());
    case Qt::FontRole: {
        QFont bold = QApplication::font();
        bold.setBold(true);
        return bold;
    }
    default:
        return {};
    }
}

QVariant TGroupedRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The columns are the source's; the rows have no captions.
    if (orientation == Qt::Horizontal && sourceModel())
        return sourceModel()->headerData(section, orientation, role);
    return QAbstractProxyModel::headerData(section, orientation, role);
}

Qt::ItemFlags TGroupedRowsModel::flags(const QModelIndex &index) const
{
    if (index.isValid() && IsGroupRow(index.row()))
        return Qt::ItemIsEnabled;
    return QAbstractProxyModel::flags(index);
}

TGroupBox::TGroupBox(QHeaderView *header, QWidget *parent)
    : QFrame(parent), m_header(header), m_hint(new QLabel(this)), m_group(new QToolButton(this))
{
    setObjectName(QStringLiteral("grpGroupBox"));
    setFrameShape(QFrame::StyledPanel);
    setAcceptDrops(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->addWidget(m_group);
    row->addWidget(m_hint);
    row->addStretch(1);
    m_hint->setText(QStringLiteral("Drag a column header here to group by that column"));
    m_hint->setEnabled(false);
    m_group->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_group->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_group->hide();
    connect(m_group, &QToolButton::clicked, this, &TGroupBox::ungroupRequested);
    m_header->viewport()->installEventFilter(this);
}

void TGroupBox::ShowGroup(const QString &caption)
{
    m_group->setText(caption);
    m_group->setToolTip(caption);
    m_group->setVisible(!caption.isEmpty());
    m_hint->setVisible(caption.isEmpty());
}

bool TGroupBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_header->viewport())
        return QFrame::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        m_pressedAt = press->position().toPoint();
        m_pressedSection = press->button() == Qt::LeftButton ? m_header->logicalIndexAt(m_pressedAt) : -1;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressedSection = -1;
    } else if (event->type() == QEvent::MouseMove && m_pressedSection >= 0) {
        const auto *move = static_cast<QMouseEvent *>(event);
        // Leaving the header upwards (towards this box) turns the move into a drag.
        if (move->position().y() < -QApplication::startDragDistance()) {
            const int section = m_pressedSection;
            m_pressedSection = -1;
            // The header's own section move ends here.
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(m_pressedAt), move->globalPosition(), Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QApplication::sendEvent(m_header->viewport(), &release);
            auto *mime = new QMimeData;
            mime->setData(kColumnMime, QByteArray::number(section));
            auto *drag = new QDrag(m_header);
            drag->setMimeData(mime);
            drag->exec(Qt::MoveAction);
            return true;
        }
    }
    return false;
}

void TGroupBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(kColumnMime))
        event->acceptProposedAction();
}

void TGroupBox::dropEvent(QDropEvent *event)
{
    bool ok = false;
    const int column = event->mimeData()->data(kColumnMime).toInt(&ok);
    if (!ok)
        return;
    event->acceptProposedAction();
    emit groupRequested(column);
}
