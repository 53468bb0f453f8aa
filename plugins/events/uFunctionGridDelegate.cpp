#include "plugins/events/uFunctionGridDelegate.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"

#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include "dataaccess/TDACDSDataTable.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QStyleOptionButton>
#include <QMouseEvent>
#include <QPagedPaintDevice>
#include <QTableView>
#include <QToolTip>

namespace {

TDACDSDataTable &Functions()
{
    return RvEvents()->DataModule()->MinistryFunctions;
}

} // namespace

TFunctionGridDelegate::TFunctionGridDelegate(TDATableModel *model, QObject *parent) : QStyledItemDelegate(parent), m_model(model)
{
    // The member and its minister flag change through the member buttons alone.
    m_model->SetFieldReadOnly(QStringLiteral("MemberCaption"));
    m_model->SetFieldReadOnly(QStringLiteral("FlagMinister"));
}

void TFunctionGridDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString field = m_model->FieldName(index.column());
    if (field == QLatin1String("F_MinistryFunctionID"))
        option->text = FunctionName(index.data(Qt::EditRole).toString());
    else if (field == QLatin1String("MemberPosition") && option->text == QLatin1String("0"))
        option->text.clear();
}

QWidget *TFunctionGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (m_model->FieldName(index.column()) != QLatin1String("F_MinistryFunctionID"))
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *box = new QComboBox(parent);
    TDACDSDataTable &functions = Functions();
    for (int i = 0; functions.GetActive() && i < functions.GetRecordCount(); ++i)
        box->addItem(functions.ValueAt(i, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString(),
                     functions.ValueAt(i, functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"))));
    return box;
}

void TFunctionGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        box->setCurrentIndex(box->findData(index.data(Qt::EditRole)));
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void TFunctionGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        model->setData(index, box->currentData());
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

void ShowRefusedEdits(TDATableModel *model, QWidget *owner, const QString &heading)
{
    QObject::connect(model, &TDATableModel::editFailed, owner, [owner, heading](const QString &message) {
        if (TRvEventsController *controller = RvEvents())
            controller->WriteLog(QorLogLevel::Severe, {QStringLiteral("cxGrdViewEditValueChanged")}, message);
        ShowMessage(owner, QMessageBox::Warning, owner->window()->windowTitle(),
                    heading.isEmpty() ? message : heading + QLatin1Char('\n') + message);
    });
}

bool TFunctionGridDelegate::IsMemberCell(const QModelIndex &index) const
{
    return m_memberButton && index.isValid() && m_model->FieldName(index.column()) == QLatin1String("MemberCaption");
}

QRect TFunctionGridDelegate::MemberButtonRect(const QRect &cell, int buttonIndex)
{
    const int side = std::max(cell.height() - 2, 8);
    const int right = cell.right() - (1 - buttonIndex) * side;
    return QRect(right - side + 1, cell.top() + (cell.height() - side) / 2, side, side);
}

void TFunctionGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // Paper (a printer, a PDF or a recorded picture of a page) shows the member alone: the
    // buttons are for the screen.
    const QPaintDevice *device = painter->device();
    if (!IsMemberCell(index) || device->devType() == QInternal::Picture || dynamic_cast<const QPagedPaintDevice *>(device)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The text leaves room for the buttons, which are always shown.
    QStyleOptionViewItem text = option;
    text.rect.setRight(MemberButtonRect(option.rect, 0).left() - 2);
    QStyledItemDelegate::paint(painter, text, index);
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    if (style != m_glyphStyle) {
        m_glyphStyle = style;
        m_glyphs = {style->standardIcon(QStyle::SP_FileDialogContentsView, nullptr, option.widget),
                    style->standardIcon(QStyle::SP_DialogResetButton, nullptr, option.widget)};
    }
    for (int button = 0; button < 2; ++button) {
        QStyleOptionButton face;
        face.rect = MemberButtonRect(option.rect, button);
        face.state = QStyle::State_Enabled | QStyle::State_Raised;
        face.icon = m_glyphs[button];
        const int glyph = face.rect.height() - 6;
        face.iconSize = QSize(glyph, glyph);
        style->drawControl(QStyle::CE_PushButton, &face, painter, option.widget);
    }
}

bool TFunctionGridDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                        const QModelIndex &index)
{
    const bool release = event->type() == QEvent::MouseButtonRelease;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (IsMemberCell(index) && (release || doubleClick)) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        int pressed = -1;
        for (int button = 0; button < 2 && pressed < 0; ++button)
            if (MemberButtonRect(option.rect, button).contains(at))
                pressed = button;
        // The views leave the cell's double-click to this: on a button its first click has
        // already done the button's work, elsewhere it chooses.
        if (release ? pressed >= 0 : pressed < 0) {
            m_model->SetCurrentRow(index.row());
            m_memberButton(release ? pressed : 0);
        }
        if (pressed >= 0 || doubleClick)
            return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

QString TFunctionGridDelegate::FunctionName(const QString &id)
{
    TDACDSDataTable &functions = Functions();
    if (!functions.GetActive())
        return {};
    const int key = functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"));
    for (int i = 0; i < functions.GetRecordCount(); ++i)
        if (functions.ValueAt(i, key).toString().compare(id, Qt::CaseInsensitive) == 0)
            return functions.ValueAt(i, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString();
    return {};
}

TMinisterFlagHintTracker::TMinisterFlagHintTracker(QTableView *grid, TDATableModel *model)
    : QObject(grid), m_grid(grid), m_viewport(grid->viewport()), m_model(model)
{
    m_grid->setMouseTracking(true);
    m_viewport->installEventFilter(this);
}

bool TMinisterFlagHintTracker::eventFilter(QObject *watched, QEvent *event)
{
    // Compared with the viewport kept, not asked of the grid: events still come while the
    // grid is taken down.
    if (watched == m_viewport) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto *move = static_cast<QMouseEvent *>(event);
            Track(move->position().toPoint(), move->globalPosition().toPoint());
            break;
        }
        case QEvent::Leave:
            m_hint.Hide();
            QToolTip::hideText();
            break;
        case QEvent::ToolTip:
            // The minister flag's hint is the only one the grid shows.
            return true;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TMinisterFlagHintTracker::Track(const QPoint &position, const QPoint &globalPosition)
{
    try {
        const QModelIndex index = m_grid->indexAt(position);
        const bool overSetFlag = index.isValid()
                                 && m_model->FieldName(index.column()).compare(QStringLiteral("FlagMinister"), Qt::CaseInsensitive) == 0
                                 && m_model->data(index, Qt::EditRole).toBool();
        QString comments;
        if (overSetFlag) {
            const TDACDSDataTable &rows = *m_model->Table();
            const int field = rows.FieldIndex(QStringLiteral("Comments"));
            if (field >= 0)
                comments = rows.ValueAt(index.row(), field).toString();
        }
        m_hint.Move(overSetFlag, comments);
    } catch (const std::exception &e) {
        m_hint.Hide();
        QorLogFailure(RvEvents(), QStringLiteral("cxGrdViewMouseMove"), e);
    }
    if (m_hint.Visible())
        QToolTip::showText(globalPosition, m_hint.Text(), m_viewport);
    else
        QToolTip::hideText();
}
