// The import engine: the columns of a spreadsheet's first sheet become field definitions, each
// column can be linked to a field of the contact import table, and a run writes one new row of
// that table per spreadsheet row up to the sheet's last used one, skipping rows that hold
// nothing in the linked columns. Column i (1-based) is always item i-1 of the field
// definitions and of the links. The rows stay in the table until Send() brings them to the
// server. Errors in a row are put to the user (Continue, Continue All, Stop) through the prompt
// service.
#pragma once

#include "plugins/contacts/uImportReaders.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TDACDSDataTable;

// One column of the file.
struct TvoFieldDef
{
    int Column = 0;      // 1-based, set only when the first row holds the names
    QString FieldName;
    QVariant Value;      // the example after loading, the current row's value during a run
};

// One column's link to a field of the target table.
struct TvoLinkedField
{
    int ID = 0;                      // identifies the link in the wizard's mapping grid
    TvoFieldDef *FieldDef = nullptr; // not owned
    QString DataField;               // the target field's name; empty: not linked
    bool Active = true;

    bool Takes() const { return Active && !DataField.isEmpty(); }
};

class TvoLinkedFields
{
public:
    TvoLinkedField &Add(TvoFieldDef *fieldDef);
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    TvoLinkedField &Item(int index) const { return *m_items[std::size_t(index)]; }
    TvoLinkedField *FindByID(int id) const;
    int ActiveCount() const;

private:
    std::vector<std::unique_ptr<TvoLinkedField>> m_items;
    int m_nextID = 0;
};

using TvoFieldDefs = std::vector<std::unique_ptr<TvoFieldDef>>;

// A file the engine reads rows of.
class TvoImportFile
{
public:
    explicit TvoImportFile(const QString &fileName) : FileName(fileName) {}
    virtual ~TvoImportFile();
    // The number of the last row of the sheet that holds anything; rows without anything in
    // the linked columns before it are skipped by the run, not taken as its end.
    virtual int GetRecordCount() = 0;
    virtual void ReadFieldDefs(bool firstRowAsNames, TvoFieldDefs &fieldDefs, TvoLinkedFields &links) = 0;
    // Reads row previous + 1 into the links' field definitions; answers its number.
    virtual int ReadRecord(TvoLinkedFields &links, int previous) = 0;
    // A number of a date column as the date it stands for (see TImportCellReader::DayToDate).
    virtual QVariant DayToDate(double days) const = 0;

    QString FileName;
};

// The first sheet of an .xlsx, .xls or .csv file through its cell reader.
class TvoImportFileSheet : public TvoImportFile
{
public:
    explicit TvoImportFileSheet(const QString &fileName);
    int GetRecordCount() override;
    void ReadFieldDefs(bool firstRowAsNames, TvoFieldDefs &fieldDefs, TvoLinkedFields &links) override;
    int ReadRecord(TvoLinkedFields &links, int previous) override;
    QVariant DayToDate(double days) const override;

    bool FirstRowAsNames = true;

private:
    int ColumnCount() const;

    std::unique_ptr<TImportCellReader> m_reader;
};

// What the user answered to an error in a row.
enum class TImportAnswer { None, Continue, ContinueAll, Stop };

class TvoImportJob
{
public:
    TvoImportJob();
    ~TvoImportJob();
    TvoImportJob(const TvoImportJob &) = delete;
    TvoImportJob &operator=(const TvoImportJob &) = delete;

    // A missing file does nothing; a file that cannot be read is told to the user.
    void LoadFile(const QString &fileName);
    void OpenFile();
    void SetTable(TDACDSDataTable *table);
    // Opens the table without rows, so that its fields are known.
    void OpenTableEmpty();
    int LinkedCount() const;
    // The run: the table is opened empty and gets one inserted row per data row. False when the
    // run itself failed (told to the user); true also after Stop.
    bool Execute();
    // Brings the run's rows to the server, all in one call. When the server refuses that, the
    // rows go one by one, and each one it refuses is put to the user. The table is closed
    // afterwards. Answers the number of people the server took.
    int Send();
    // The rows the last run put into the table, that is the people it brings.
    int PostedCount() const { return int(m_postedRows.size()); }
    // What the last run and Send() did, for the user: imported, skipped as blank (none of the
    // linked columns held anything), refused by the server and left unsent after Stop.
    QString Summary(int imported) const;

    TvoFieldDefs &FieldDefs() { return m_fieldDefs; }
    TvoLinkedFields &Links() { return m_links; }
    TDACDSDataTable *Table() const { return m_table; }
    TvoImportFile *ImportFile() const { return m_importFile.get(); }
    // The target fields a column can be linked to: every field but the key and the stamps.
    QStringList DataFieldNames() const;

    QString FileName = QStringLiteral("Initial value");
    bool FirstRowAsNames = true;
    std::function<void(int row, int total)> OnProgress;
    // The question after an error (the text says where and why); through the prompt service
    // unless replaced.
    std::function<TImportAnswer(const QString &text)> AskError;

    static const QStringList HiddenFields;

private:
    TImportAnswer Ask(TImportAnswer current, const QString &text);

    std::unique_ptr<TvoImportFile> m_importFile;
    TvoFieldDefs m_fieldDefs;
    TvoLinkedFields m_links;
    TDACDSDataTable *m_table = nullptr;
    // The sheet row of each row the last run posted, in order.
    QList<int> m_postedRows;
    int m_blankRows = 0;
    int m_refusedRows = 0;
    int m_unsentRows = 0;
};

// The error dialog: caption "Error!", Continue All, Continue and Stop. Through the prompt
// service (Yes to All, Yes and No stand for the three).
TImportAnswer AskImportError(const QString &text);
