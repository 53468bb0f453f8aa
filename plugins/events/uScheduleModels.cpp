#include "plugins/events/uScheduleModels.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uScheduleRules.h"

#include "dataaccess/TDACDSDataTable.h"

#include <QPainter>
#include <QScopeGuard>

QVariant TScheduleEventsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QVariant value = TDATableModel::data(index, Qt::EditRole);
    switch (index.column()) {
    case ecDate:
        if (role == Qt::DisplayRole)
            return value.isValid() ? QLocale().toString(value.toDateTime().date(), QLocale::ShortFormat) : QString();
        break;
    case ecTime:
        if (role == Qt::DisplayRole)
            return value.isValid() ? value.toDateTime().time().toString(QStringLiteral("h:mm AP")) : QString();
        break;
    case ecFlag:
        if (role == Qt::DisplayRole)
            return {};
        break;
    case ecCanFillIn:
        if (role == Qt::CheckStateRole)
            return value.isValid() && value.toInt() != 0 ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::DisplayRole)
            return {};
        break;
    default:
        break;
    }
    return TDATableModel::data(index, role);
}

QVariant TScheduleEventsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == ecDate) {
        TRvEventsController *controller = RvEvents();
        return controller ? controller->GetText(2560) : QString();
    }
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == ecTime)
        return QStringLiteral("Time");
    return TDATableModel::headerData(section, orientation, role);
}

void TColorBoxDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QColor color = TScheduleRules::LabelColor(index.data(Qt::EditRole));
    if (!color.isValid())
        return;
    const QRect box = option.rect.adjusted(4, 3, -4, -3);
    painter->save();
    painter->fillRect(box, color);
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->restore();
}

Qt::ItemFlags TScheduleFunctionsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = TDATableModel::flags(index);
    const Qt::ItemFlags edits = Qt::ItemIsEditable | Qt::ItemIsUserCheckable;
    if (IsMemberField(index.column()) && !HasMember(index.row()))
        result &= ~edits;
    return result;
}

QVariant TScheduleFunctionsModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ToolTipRole && index.column() == fcMember)
        return TDATableModel::data(index, Qt::DisplayRole);
    return TDATableModel::data(index, role);
}

bool TScheduleFunctionsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (IsMemberField(index.column()) && !HasMember(index.row()))
        return false;
    EditedColumn = index.column();
    const auto done = qScopeGuard([this] { EditedColumn = -1; });
    return TDATableModel::setData(index, value, role);
}

bool TScheduleFunctionsModel::HasMember(int row) const
{
    const int member = Table()->FieldIndex(kMemberId);
    return member >= 0 && row >= 0 && row < Table()->GetRecordCount()
        && TScheduleRules::MemberFieldsEditable(Table()->ValueAt(row, member));
}
