#include "plugins/contacts/uImport.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QMessageBox>

namespace {

void Tell(const QString &text)
{
    ShowMessage(nullptr, QMessageBox::Warning, QStringLiteral("Kestrova"), text);
}

QString Message(const std::exception &e)
{
    return QString::fromStdString(e.what());
}

// Opens the table with its fields and none of the people already stored. The row limit does it:
// the where condition does not travel with the request, and the rows it would have held back
// would be counted and sent again as new people.
void OpenWithoutRows(TDACDSDataTable &table)
{
    table.SetWhere(TDAWhere().AddCondition(QStringLiteral("PK_ContactID"), TDAWhereOperator::woEqual, EmptyGUID));
    table.SetMaxRecords(0);
    table.Open();
}

} // namespace

// ---- links ----

TvoLinkedField &TvoLinkedFields::Add(TvoFieldDef *fieldDef)
{
    auto link = std::make_unique<TvoLinkedField>();
    link->ID = m_nextID++;
    link->FieldDef = fieldDef;
    m_items.push_back(std::move(link));
    return *m_items.back();
}

TvoLinkedField *TvoLinkedFields::FindByID(int id) const
{
    for (const auto &link : m_items)
        if (link->ID == id)
            return link.get();
    return nullptr;
}

int TvoLinkedFields::ActiveCount() const
{
    int n = 0;
    for (const auto &link : m_items)
        n += link->Active;
    return n;
}

// ---- the file ----

TvoImportFile::~TvoImportFile() = default;

TvoImportFileSheet::TvoImportFileSheet(const QString &fileName) : TvoImportFile(fileName), m_reader(OpenCellReader(fileName)) {}

// The columns run up to the first empty cell of the first row.
int TvoImportFileSheet::ColumnCount() const
{
    int n = 0;
    while (n < ImportLimits::MaxColumns && !m_reader->Text(1, n + 1).isEmpty())
        ++n;
    return n;
}

void TvoImportFileSheet::ReadFieldDefs(bool firstRowAsNames, TvoFieldDefs &fieldDefs, TvoLinkedFields &links)
{
    FirstRowAsNames = firstRowAsNames;
    const int n = ColumnCount();
    if (n == 0) {
        Tell(QStringLiteral("The first row of \"%1\" is empty: there are no columns to import.").arg(QFileInfo(FileName).fileName()));
        return;
    }
    for (int c = 1; c <= n; ++c) {
        auto def = std::make_unique<TvoFieldDef>();
        if (firstRowAsNames) {
            def->FieldName = m_reader->Text(1, c);
            def->Column = c;
            const QString example = m_reader->Text(2, c);
            def->Value = example.isEmpty() ? QVariant() : QVariant(example);
        } else {
            def->FieldName = QStringLiteral("Field%1").arg(c);
            def->Value = m_reader->Cell(1, c);
        }
        links.Add(def.get());
        fieldDefs.push_back(std::move(def));
    }
}

int TvoImportFileSheet::GetRecordCount()
{
    return m_reader->RowCount();
}

QVariant TvoImportFileSheet::DayToDate(double days) const
{
    return m_reader->DayToDate(days);
}

int TvoImportFileSheet::ReadRecord(TvoLinkedFields &links, int previous)
{
    const int row = previous + 1;
    for (int i = 0; i < links.Count(); ++i)
        links.Item(i).FieldDef->Value = m_reader->Cell(row, i + 1);
    return row;
}

// ---- the job ----

const QStringList TvoImportJob::HiddenFields = {QStringLiteral("PK_ContactID"), QStringLiteral("CreatedDateTime"),
                                                QStringLiteral("F_CreatedUserID"), QStringLiteral("ModifiedDateTime"),
                                                QStringLiteral("F_ModifiedUserID")};

TvoImportJob::TvoImportJob() : AskError(AskImportError) {}

TvoImportJob::~TvoImportJob() = default;

void TvoImportJob::LoadFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return;
    try {
        FileName = fileName;
        OpenFile();
    } catch (const std::exception &e) {
        Tell(Message(e));
    }
}

void TvoImportJob::OpenFile()
{
    m_importFile.reset();
    if (IsImportFile(FileName))
        m_importFile = std::make_unique<TvoImportFileSheet>(FileName);
    if (m_importFile)
        m_importFile->ReadFieldDefs(FirstRowAsNames, m_fieldDefs, m_links);
}

void TvoImportJob::SetTable(TDACDSDataTable *table)
{
    if (table)
        m_table = table;
}

void TvoImportJob::OpenTableEmpty()
{
    if (!m_table)
        return;
    m_table->Close();
    OpenWithoutRows(*m_table);
}

int TvoImportJob::LinkedCount() const
{
    int n = 0;
    for (int i = 0; i < m_links.Count(); ++i)
        n += !m_links.Item(i).DataField.isEmpty();
    return n;
}

QStringList TvoImportJob::DataFieldNames() const
{
    QStringList names;
    if (m_table)
        for (const TDAField &f : m_table->GetFields())
            if (!HiddenFields.contains(f.Name, Qt::CaseInsensitive))
                names << f.Name;
    return names;
}

TImportAnswer TvoImportJob::Ask(TImportAnswer current, const QString &text)
{
    if (current == TImportAnswer::ContinueAll)
        return current;
    return AskError ? AskError(text) : TImportAnswer::Stop;
}

namespace {

// A cell goes into its field as the spreadsheet shows it: a number in a text field (a postcode,
// a phone number) as its digits, never "1e+05"; a number in a date field is a day count of the
// file's own day system (the table takes day 0 for the empty date).
QVariant ForField(const TDAField &field, const QVariant &value, const TvoImportFile &file)
{
    if (value.typeId() != QMetaType::Double)
        return value;
    switch (DAValueKind(field.DataType)) {
    case TDAValueKind::Text:
        return TImportCellReader::CellText(value);
    case TDAValueKind::DateTime:
        return file.DayToDate(value.toDouble());
    default:
        return value;
    }
}

// A row none of whose linked columns holds anything brings nobody.
bool IsBlank(const TvoLinkedFields &links)
{
    for (int i = 0; i < links.Count(); ++i)
        if (links.Item(i).Takes() && !TImportCellReader::CellText(links.Item(i).FieldDef->Value).trimmed().isEmpty())
            return false;
    return true;
}

} // namespace

bool TvoImportJob::Execute()
{
    if (!m_table || !m_importFile)
        return false;
    try {
        OpenTableEmpty();
        m_postedRows.clear();
        m_blankRows = 0;
        const int total = m_importFile->GetRecordCount();
        int row = FirstRowAsNames ? 1 : 0;
        TImportAnswer answer = TImportAnswer::None;
        // A view of the table re-reads its rows once for the run, not once per row.
        TDACDSDataTable::ResetScope bulk(*m_table);
        while (row < total) {
            row = m_importFile->ReadRecord(m_links, row);
            if (IsBlank(m_links)) {
                ++m_blankRows;
                continue;
            }
            m_table->Insert();
            for (int i = 0; i < m_links.Count() && answer != TImportAnswer::Stop; ++i) {
                const TvoLinkedField &link = m_links.Item(i);
                if (!link.Takes())
                    continue;
                if (OnProgress)
                    OnProgress(row, total);
                try {
                    const int f = m_table->FieldIndex(link.DataField);
                    if (f < 0)
                        throw EDAException(QStringLiteral("The table has no field \"%1\"").arg(link.DataField));
                    m_table->SetValue(link.DataField, ForField(m_table->GetFields()[f], link.FieldDef->Value, *m_importFile));
                } catch (const std::exception &e) {
                    answer = Ask(answer, QStringLiteral("Error in import\nRecord: %1\nField: %2\n%3").arg(row).arg(link.DataField, Message(e)));
                }
            }
            try {
                m_table->Post();
                m_postedRows << row;
            } catch (const std::exception &e) {
                m_table->Cancel();
                Tell(Message(e));
                answer = TImportAnswer::Stop;
            }
            if (answer == TImportAnswer::Stop)
                break;
        }
        return true;
    } catch (const std::exception &e) {
        if (m_table->GetState() == TDATableState::dsInsert)
            m_table->Cancel();
        Tell(QStringLiteral("Error ") + Message(e));
        return false;
    }
}

int TvoImportJob::Send()
{
    if (!m_table || !m_table->GetActive())
        return 0;
    const int pending = m_table->PendingChangeCount();
    m_refusedRows = 0;
    m_unsentRows = 0;
    try {
        m_table->ApplyUpdates(false);
        m_table->Close();
        return pending;
    } catch (const std::exception &) {
        // One row the server refuses undoes the whole call; find it by sending row by row.
    }
    int sent = 0;
    try {
        TDACDSDataTable single(m_table->GetLogicalName(), m_table->GetAdapter());
        OpenWithoutRows(single);
        const TDAFieldList &fields = m_table->GetFields();
        TImportAnswer answer = TImportAnswer::None;
        const int total = m_table->GetRecordCount();
        int rec = 0;
        for (; rec < total && answer != TImportAnswer::Stop; ++rec) {
            if (OnProgress)
                OnProgress(rec + 1, total);
            single.Insert();
            for (int f = 0; f < fields.size(); ++f)
                single.SetValue(fields[f].Name, m_table->ValueAt(rec, f));
            single.Post();
            try {
                single.ApplyUpdates(false);
                ++sent;
            } catch (const std::exception &e) {
                single.CancelUpdates();
                ++m_refusedRows;
                const int row = rec < m_postedRows.size() ? m_postedRows[rec] : rec + 1;
                answer = Ask(answer, QStringLiteral("Error in import\nRecord: %1\n%2").arg(row).arg(Message(e)));
            }
        }
        m_unsentRows = total - rec;
    } catch (const std::exception &e) {
        m_unsentRows = pending - sent - m_refusedRows;
        Tell(QStringLiteral("Error ") + Message(e));
    }
    m_table->CancelUpdates();
    m_table->Close();
    return sent;
}

QString TvoImportJob::Summary(int imported) const
{
    QString text = QStringLiteral("People imported: %1\nRows skipped as blank: %2\nRows refused by the server: %3")
                       .arg(imported)
                       .arg(m_blankRows)
                       .arg(m_refusedRows);
    if (m_unsentRows > 0)
        text += QStringLiteral("\nRows not sent after Stop: %1").arg(m_unsentRows);
    return text;
}

TImportAnswer AskImportError(const QString &text)
{
    const QString caption = QStringLiteral("Error!");
    QMessageBox::StandardButton answer;
    if (dynamic_cast<TMessageBoxPrompt *>(&Prompt())) {
        // The real dialog names its buttons as the run understands them.
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::YesToAll | QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::YesToAll)->setText(QStringLiteral("Continue All "));
        box.button(QMessageBox::Yes)->setText(QStringLiteral("Continue"));
        box.button(QMessageBox::No)->setText(QStringLiteral("Stop"));
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        answer = static_cast<QMessageBox::StandardButton>(box.exec());
    } else {
        answer = Prompt().Ask(nullptr, QMessageBox::Warning, caption, text,
                              QMessageBox::YesToAll | QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    }
    switch (answer) {
    case QMessageBox::YesToAll:
        return TImportAnswer::ContinueAll;
    case QMessageBox::Yes:
        return TImportAnswer::Continue;
    default:
        return TImportAnswer::Stop;
    }
}
