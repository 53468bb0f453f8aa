#include "plugins/contacts/ufImportWizard.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uImport.h"
#include "plugins/contacts/uImportReaders.h"

#include "dataaccess/TDACDSDataTable.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum MappingColumn { colImportFields = 0, colId = 1, colDataFields = 2 };

// The database-field drop-down: list entries only, cleared with the Delete key.
class TDataFieldCombo : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Delete) {
            setCurrentIndex(0);
            return;
        }
        QComboBox::keyPressEvent(event);
    }
};

QPushButton *ActionButton(QAction *action)
{
    auto *button = new QPushButton(action->text());
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setText(action->text());
    });
    button->setEnabled(action->isEnabled());
    return button;
}

} // namespace

TfImport::TfImport(TRvContactsController &controller, QWidget *parent)
    : TfBaseDialog(parent), m_controller(controller), m_job(std::make_unique<TvoImportJob>())
{
    setObjectName(QStringLiteral("TfImport"));
    setWindowFlag(Qt::FramelessWindowHint);
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlImport"));
    auto *page = new QVBoxLayout(central);

    lbl1 = new QLabel;
    lbl1->setObjectName(QStringLiteral("lbl1"));
    lbl1->setWordWrap(true);
    page->addWidget(lbl1);
    m_fileRow = new QWidget;
    auto *fileRow = new QHBoxLayout(m_fileRow);
    fileRow->setContentsMargins(0, 0, 0, 0);
    btnEdFilename = new QLineEdit;
    btnEdFilename->setObjectName(QStringLiteral("btnEdFilename"));
    auto *ellipsis = new QToolButton;
    ellipsis->setText(QStringLiteral("..."));
    fileRow->addWidget(btnEdFilename, 1);
    fileRow->addWidget(ellipsis);
    page->addWidget(m_fileRow);
    chkFirstAsName = new QCheckBox;
    chkFirstAsName->setObjectName(QStringLiteral("chkFirstAsName"));
    chkFirstAsName->setChecked(true);
    page->addWidget(chkFirstAsName);
    cxlvImportFields = new QTreeWidget;
    cxlvImportFields->setObjectName(QStringLiteral("cxlvImportFields"));
    cxlvImportFields->setColumnCount(2);
    cxlvImportFields->setRootIsDecorated(false);
    cxlvImportFields->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    page->addWidget(cxlvImportFields, 1);

    lbl2 = new QLabel;
    lbl2->setObjectName(QStringLiteral("lbl2"));
    lbl2->setWordWrap(true);
    page->addWidget(lbl2);
    cxGridFields = new QTableWidget(0, 3);
    cxGridFields->setObjectName(QStringLiteral("cxGridFields"));
    cxGridFields->setColumnHidden(colId, true);
    cxGridFields->verticalHeader()->hide();
    cxGridFields->horizontalHeader()->setStretchLastSection(true);
    cxGridFields->horizontalHeader()->setSectionResizeMode(colImportFields, QHeaderView::ResizeToContents);
    page->addWidget(cxGridFields, 1);

    lbl4 = new QLabel;
    lbl4->setObjectName(QStringLiteral("lbl4"));
    page->addWidget(lbl4);
    pb = new QProgressBar;
    pb->setObjectName(QStringLiteral("pb"));
    page->addWidget(pb);
    page->addStretch(0);

    acCancel = new QAction(Text(201).isEmpty() ? QStringLiteral("Cancel") : Text(201), this);
    acPrev = new QAction(QStringLiteral("< Back"), this);
    acNext = new QAction(QStringLiteral("Next >"), this);
    acFinish = new QAction(QStringLiteral("Finish"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QAction *a : {acPrev, acNext, acFinish, acCancel})
        buttons->addWidget(ActionButton(a));
    page->addLayout(buttons);
    setCentralWidget(central);
    resize(560, 440);

    connect(acCancel, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    connect(acPrev, &QAction::triggered, this, [this] {
        --m_step;
        ShowStep();
    });
    connect(acNext, &QAction::triggered, this, [this] {
        ++m_step;
        ShowStep();
    });
    connect(ellipsis, &QToolButton::clicked, this, &TfImport::BrowseFile);
    // A typed name counts once it is finished (Enter, or leaving the box); until then the
    // columns shown are no longer the file's.
    connect(btnEdFilename, &QLineEdit::textEdited, this, [this] {
        m_hasFields = false;
        UpdateActions();
    });
    connect(btnEdFilename, &QLineEdit::editingFinished, this, &TfImport::TypedFile);
    connect(chkFirstAsName, &QCheckBox::toggled, this, &TfImport::LoadFile);
    connect(cxlvImportFields, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int) { ItemChanged(item); });

    AskFileName = [this] {
        QFileDialog dialog(this);
        PrepareFileDialog(dialog, Text(4002));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first() : QString();
    };
    ShowStep();
}

TfImport::~TfImport()
{
    // The box gives up its focus as the wizard goes, which is no typed name to check.
    disconnect(btnEdFilename, nullptr, this, nullptr);
}

QString TfImport::Text(int number) const
{
    return m_controller.GetText(number);
}

void TfImport::PrepareFileDialog(QFileDialog &dialog, const QString &title)
{
    dialog.setWindowTitle(title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog, whose name filters follow the dialog's case flag.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilter(QStringLiteral("Spreadsheets (*.xlsx *.xls *.csv)"));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

void TfImport::SetTexts()
{
    lbl1->setText(Text(4001));
    chkFirstAsName->setText(Text(4003));
    lbl2->setText(Text(4004));
    lbl4->setText(Text(4009));
    cxlvImportFields->setHeaderLabels({Text(4005), Text(4006)});
    cxGridFields->setHorizontalHeaderLabels({Text(4007), QString(), Text(4008)});
    m_hasFields = false;
    UpdateActions();
}

void TfImport::BrowseFile()
{
    try {
        const QString fileName = AskFileName ? AskFileName() : QString();
        if (!fileName.isEmpty())
            ChooseFile(fileName);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("BrowseFile"), e);
    }
}

QString TfImport::FileRefusal(const QString &fileName)
{
    const QFileInfo info(fileName);
    const QString shown = QDir::toNativeSeparators(fileName);
    if (!info.exists())
        return QStringLiteral("The file \"%1\" does not exist.").arg(shown);
    if (info.isDir())
        return QStringLiteral("\"%1\" is a folder. Choose a spreadsheet file in it.").arg(shown);
    if (!IsImportFile(fileName))
        return QStringLiteral("\"%1\" is not a spreadsheet file the import reads (.xlsx, .xls or .csv).").arg(shown);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The file \"%1\" cannot be read: %2").arg(shown, file.errorString());
    return QString();
}

void TfImport::TypedFile()
{
    if (!btnEdFilename->isModified())
        return;
    btnEdFilename->setModified(false);
    const QString fileName = btnEdFilename->text().trimmed();
    if (fileName.isEmpty())
        return;
    if (const QString refusal = FileRefusal(fileName); !refusal.isEmpty()) {
        ShowMessage(this, QMessageBox::Warning, Text(4010), refusal);
        btnEdFilename->setFocus();
        btnEdFilename->selectAll();
        return;
    }
    ChooseFile(fileName);
}

void TfImport::ChooseFile(const QString &fileName)
{
    btnEdFilename->setText(fileName);
    LoadFile();
}

void TfImport::LoadFile()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_loading = true;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (m_job)
        m_job->OnProgress = nullptr;
    m_job = std::make_unique<TvoImportJob>();
    // The engine reports every field; the bar moves once per row.
    m_job->OnProgress = [this](int row, int total) {
        if (row == pb->value() && total == pb->maximum())
            return;
        pb->setMaximum(total);
        pb->setValue(row);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_job->FirstRowAsNames = chkFirstAsName->isChecked();
    // A failed load leaves the list's change events muted, as nothing in it can be linked.
    if (GetFields(btnEdFilename->text()))
        m_loading = false;
    m_hasFields = !m_job->FieldDefs().empty();
    QApplication::restoreOverrideCursor();
    UpdateActions();
}

bool TfImport::GetFields(const QString &fileName)
{
    try {
        m_job->Links().Clear();
        m_job->LoadFile(fileName);
        m_job->SetTable(&m_controller.Data().DAImportContacts());
        cxlvImportFields->clear();
        const TvoLinkedFields &links = m_job->Links();
        for (int i = 0; i < links.Count(); ++i) {
            const TvoLinkedField &link = links.Item(i);
            auto *item = new QTreeWidgetItem(cxlvImportFields);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setText(0, link.FieldDef->FieldName);
            item->setCheckState(0, link.Active ? Qt::Checked : Qt::Unchecked);
            item->setData(0, Qt::UserRole, link.ID);
            if (!link.FieldDef->Value.isNull())
                item->setText(1, TImportCellReader::CellText(link.FieldDef->Value));
        }
        return links.Count() > 0;
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("GetFields"), e);
        return false;
    }
}

void TfImport::ItemChanged(QTreeWidgetItem *item)
{
    if (m_loading || !item)
        return;
    if (TvoLinkedField *link = m_job->Links().FindByID(item->data(0, Qt::UserRole).toInt())) {
        link->Active = item->checkState(0) == Qt::Checked;
        if (!link->Active)
            link->DataField.clear();
    }
}

void TfImport::ShowStep()
{
    setUpdatesEnabled(false);
    const bool choose = m_step == 0;
    const bool link = m_step == 1;
    lbl1->setVisible(choose);
    m_fileRow->setVisible(choose);
    chkFirstAsName->setVisible(choose);
    cxlvImportFields->setVisible(choose);
    lbl2->setVisible(link);
    cxGridFields->setVisible(link);
    lbl4->setVisible(m_step >= 2);
    pb->setVisible(m_step >= 2);
    setUpdatesEnabled(true);
    update();
    if (link)
        FillMapping();
    UpdateActions();
    if (m_step == 2)
        Run();
}

void TfImport::UpdateActions()
{
    acCancel->setEnabled(m_step < 3);
    acPrev->setEnabled(m_step == 1 || m_step == 2);
    bool next = false;
    if (m_step == 0)
        next = !btnEdFilename->text().isEmpty() && m_hasFields;
    else if (m_step == 1)
        for (int r = 0; r < cxGridFields->rowCount() && !next; ++r)
            if (auto *combo = qobject_cast<QComboBox *>(cxGridFields->cellWidget(r, colDataFields)))
                next = !combo->currentText().isEmpty();
    acNext->setEnabled(next);
    acFinish->setEnabled(m_step == 2);
}

void TfImport::FillMapping()
{
    // The table's fields come with its (empty) fetch.
    try {
        if (m_job->Table() && !m_job->Table()->GetActive())
            m_job->OpenTableEmpty();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("FillMapping"), e);
    }
    const QStringList fields = m_job->DataFieldNames();
    const TvoLinkedFields &links = m_job->Links();
    cxGridFields->setRowCount(0);
    for (int i = 0; i < links.Count(); ++i) {
        const TvoLinkedField &link = links.Item(i);
        if (!link.Active)
            continue;
        const int r = cxGridFields->rowCount();
        cxGridFields->insertRow(r);
        auto *name = new QTableWidgetItem(link.FieldDef->FieldName);
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        cxGridFields->setItem(r, colImportFields, name);
        cxGridFields->setItem(r, colId, new QTableWidgetItem(QString::number(link.ID)));
        auto *combo = new TDataFieldCombo;
        combo->addItem(QString());
        combo->addItems(fields);
        combo->setCurrentIndex(std::max(0, combo->findText(link.DataField)));
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo] {
            RefuseSecondLink(combo);
            UpdateActions();
        });
        cxGridFields->setCellWidget(r, colDataFields, combo);
    }
}

// One field takes one column: a second column linked to it would overwrite the first one's
// value in every row, so the choice is refused at once.
void TfImport::RefuseSecondLink(QComboBox *combo)
{
    const QString field = combo->currentText();
    if (field.isEmpty())
        return;
    for (int r = 0; r < cxGridFields->rowCount(); ++r) {
        auto *other = qobject_cast<QComboBox *>(cxGridFields->cellWidget(r, colDataFields));
        if (!other || other == combo || other->currentText() != field)
            continue;
        combo->setCurrentIndex(0);
        ShowMessage(this, QMessageBox::Warning, Text(4010),
                    QStringLiteral("The field \"%1\" is already linked to the column \"%2\". A field takes one column.")
                        .arg(field, cxGridFields->item(r, colImportFields)->text()));
        return;
    }
}

void TfImport::SetMappingField(int row, const QString &field)
{
    if (auto *combo = qobject_cast<QComboBox *>(cxGridFields->cellWidget(row, colDataFields)))
        combo->setCurrentIndex(std::max(0, combo->findText(field)));
}

void TfImport::ApplyMapping()
{
    for (int r = 0; r < cxGridFields->rowCount(); ++r) {
        auto *combo = qobject_cast<QComboBox *>(cxGridFields->cellWidget(r, colDataFields));
        if (!combo || combo->currentText().isEmpty())
            continue;
        if (TvoLinkedField *link = m_job->Links().FindByID(cxGridFields->item(r, colId)->text().toInt()))
            if (m_job->DataFieldNames().contains(combo->currentText()))
                link->DataField = combo->currentText();
    }
}

void TfImport::Run()
{
    m_step = 3;
    m_imported = 0;
    try {
        ApplyMapping();
        acPrev->setEnabled(false);
        acNext->setEnabled(false);
        acCancel->setEnabled(false);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        TDAContacts &contacts = m_controller.Data();
        if (m_job->LinkedCount() > 0 && m_job->Execute()) {
            TDACDSDataTable &imported = contacts.DAImportContacts();
            // The people of this run, not what the table may hold besides.
            const int ready = m_job->PostedCount();
            QString question = Text(4011);
            question.replace(QStringLiteral("%d"), QString::number(ready));
            if (Prompt().Ask(this, QMessageBox::Information, Text(4010), question, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::Yes) == QMessageBox::Yes) {
                m_imported = m_job->Send();
                const QString summary = m_job->Summary(m_imported);
                m_controller.WriteLog(QorLogLevel::Information, {QStringLiteral("Import")},
                                          QStringLiteral("%1 of %2 people imported from %3").arg(m_imported).arg(ready).arg(m_job->FileName));
                ShowMessage(this, m_imported == ready ? QMessageBox::Information : QMessageBox::Warning, Text(4010), summary);
                contacts.DAContactList().Close();
                contacts.DAContactList().Open();
            } else {
                // Nothing is sent, and nothing stays pending for a later apply either.
                imported.CancelUpdates();
                imported.Close();
            }
        }
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("Import"), e);
    }
    SetModalResult(m_imported > 0 ? TModalResult::Ok : TModalResult::Cancel);
}

bool ShowImportWizard(TRvContactsController &controller, QWidget *parent)
{
    try {
        TfImport wizard(controller, parent);
        wizard.SetTexts();
        if (QWidget *over = parent ? parent->window() : QApplication::activeWindow())
            wizard.move(over->frameGeometry().center() - wizard.rect().center());
        wizard.ShowModal();
        return wizard.Imported() > 0;
    } catch (const std::exception &e) {
        QorLogFailure(&controller, QStringLiteral("Import"), e);
        return false;
    }
}
