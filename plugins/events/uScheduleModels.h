// The schedule view's grid models and the event grid's colour cell: the columns of both grids,
// the events as planners read them, and which cells of a function row can be edited.
#pragma once

#include "ui/TDATableModel.h"

#include <QStyledItemDelegate>

// Fields the grids and the view name.
inline const QString kStart = QStringLiteral("StartDateTime");
inline const QString kEventKey = QStringLiteral("PK_EventID");
inline const QString kFunctionKey = QStringLiteral("PK_ScheduledMemberID");
inline const QString kMemberId = QStringLiteral("F_MinistryMemberID");

// Upper grid columns, in this order; the start shows twice, as its date and as its time.
enum EventColumn { ecEventID, ecCanFillIn, ecDate, ecLocation, ecFlag, ecSubject, ecTime };
// Lower grid columns; the function shows twice, hidden as its key and as its name.
enum FunctionColumn { fcFunctionID, fcLock, fcFunctionName, fcPosition, fcAttended, fcMember, fcMemberID, fcMemberTypeID, fcFlag, fcComments };

// The events as planners read them: the date and the time of the start apart, the label colour
// as a colour box, the fill-in mark as a check box.
class TScheduleEventsModel : public TDATableModel
{
public:
    using TDATableModel::TDATableModel;

    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
};

// The label colour as a framed box filling the cell, without a name.
class TColorBoxDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Position and attendance are edited only on a row with a member; the member and the flag
// change through the member buttons alone.
class TScheduleFunctionsModel : public TDATableModel
{
public:
    using TDATableModel::TDATableModel;

    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // The member cell leaves room for its two buttons; a name longer than the rest is read
    // whole in its tooltip.
    QVariant data(const QModelIndex &index, int role) const override;
    // One click, one key or one menu choice changes the lock once, whoever the member is.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    // The column of the cell being written while the write moves the table to its row.
    int EditedColumn = -1;

private:
    static bool IsMemberField(int column) { return column == fcPosition || column == fcAttended || column == fcLock; }
    bool HasMember(int row) const;
};
