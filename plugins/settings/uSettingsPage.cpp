#include "plugins/settings/uSettingsPage.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uDASettings.h"

#include "ui/TDATableModel.h"
#include "ui/uFieldBinder.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The grid follows the table's cursor and moves it; a pending edit is posted first.
void FollowCursor(QTableView *grid, TDATableModel *model, const std::function<void(const QString &)> &fail)
{
    QObject::connect(model, &TDATableModel::currentRowChanged, grid, [grid](int row) {
        if (row >= 0 && grid->currentIndex().row() != row)
            grid->setCurrentIndex(grid->model()->index(row, 0));
    });
    QObject::connect(model, &QAbstractItemModel::modelReset, grid, [grid, model] {
        if (model->CurrentRow() >= 0)
            grid->setCurrentIndex(model->index(model->CurrentRow(), 0));
    });
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, grid,
                     [model, fail](const QModelIndex &current) {
                         try {
                             if (!current.isValid() || current.row() == model->CurrentRow())
                                 return;
                             model->Table()->PostIfEditing();
                             model->SetCurrentRow(current.row());
                         } catch (const std::exception &e) {
                             fail(QString::fromUtf8(e.what()));
                         }
                     });
}

} // namespace

TSettingsPage::TSettingsPage(ISettingsPageHost &host) : m_host(host) {}

void TSettingsPage::LoadCaptions()
{
    for (const auto &[widget, number] : m_captions) {
        const QString text = Text(number);
        if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(text);
        else if (auto *box = qobject_cast<QGroupBox *>(widget))
            box->setTitle(text);
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            button->setText(text);
    }
}

QLabel *TSettingsPage::Label(QWidget *parent, int caption)
{
    auto *label = new QLabel(parent);
    Caption(label, caption);
    return label;
}

TDASettings &TSettingsPage::Data() const
{
    return m_host.Data();
}

QString TSettingsPage::Text(int number) const
{
    return Controller().GetText(number);
}

TFieldBinder *TSettingsPage::BindFields(TDACDSDataTable &table, int nameMessage)
{
    m_fields = new TFieldBinder(table, this);
    m_fields->OnFailure = [this](const QString &message) { LogFailure(QStringLiteral("FieldEdit"), message); };
    m_fields->OnNameMissing = [this, nameMessage](const QString &kept) {
        m_host.Tell(QMessageBox::Warning, 5260, Text(nameMessage).arg(kept));
    };
    return m_fields;
}

void TSettingsPage::LogFailure(const QString &location, const QString &message) const
{
    Controller().WriteLog(QorLogLevel::Severe, {location}, message);
}

QAction *TSettingsPage::MoveAction(QStyle::StandardPixmap pixmap)
{
    return new QAction(QApplication::style()->standardIcon(pixmap), QString(), this);
}

QPair<QAction *, QAction *> TSettingsPage::UpDownActions(const std::function<void(int step)> &move)
{
    QAction *up = MoveAction(QStyle::SP_ArrowUp);
    QAction *down = MoveAction(QStyle::SP_ArrowDown);
    connect(up, &QAction::triggered, this, [move] { move(-1); });
    connect(down, &QAction::triggered, this, [move] { move(1); });
    return {up, down};
}

TDATableModel *TSettingsPage::ShowRows(QTableView *grid, TDACDSDataTable &table, const QString &field, const QString &failureLocation)
{
    auto *model = new TDATableModel(&table, this);
    model->SetReadOnly(true);
    model->SetColumns({field});
    grid->setModel(model);
    FollowCursor(grid, model, [this, failureLocation](const QString &m) { LogFailure(failureLocation, m); });
    return model;
}

namespace SettingsLayout {

QToolButton *ActionButton(QAction *action, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(36, 36);
    return button;
}

QVBoxLayout *MoveButtons(QAction *up, QAction *down, QWidget *parent)
{
    auto *column = new QVBoxLayout;
    column->addStretch();
    column->addWidget(ActionButton(up, parent));
    column->addWidget(ActionButton(down, parent));
    column->addStretch();
    return column;
}

QFormLayout *DetailsForm(QGroupBox *group)
{
    auto *column = new QVBoxLayout(group);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    column->addLayout(form);
    column->addStretch();
    return form;
}

QTableView *ListGrid(QWidget *parent)
{
    auto *grid = new QTableView(parent);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setShowGrid(false);
    grid->setAlternatingRowColors(true);
    return grid;
}

} // namespace SettingsLayout
