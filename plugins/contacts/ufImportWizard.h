// The import wizard: choose the spreadsheet and its columns, link the columns to contact
// fields, run the import and confirm it. It always closes after a run, whatever the run gave.
#pragma once

#include "ui/ufBaseDialog.h"

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TRvContactsController;
class TvoImportJob;

class TfImport : public TfBaseDialog
{
    Q_OBJECT
public:
    TfImport(TRvContactsController &controller, QWidget *parent = nullptr);
    ~TfImport() override;

    // The texts of the plug-in's language module; clears the has-fields flag.
    void SetTexts();
    // What choosing a file in the file dialog does.
    void ChooseFile(const QString &fileName);
    // Why a typed file name cannot be imported (missing, a folder, not a spreadsheet, not
    // readable); empty when it can be loaded.
    static QString FileRefusal(const QString &fileName);
    // Links row of the mapping grid to a field (empty: none), as picking it in the drop-down does.
    void SetMappingField(int row, const QString &field);

    int Step() const { return m_step; }
    TvoImportJob &Job() const { return *m_job; }
    // How many people the last run brought to the server.
    int Imported() const { return m_imported; }

    QAction *acCancel;
    QAction *acPrev;
    QAction *acNext;
    QAction *acFinish;
    QLineEdit *btnEdFilename;
    QCheckBox *chkFirstAsName;
    QTreeWidget *cxlvImportFields;
    QTableWidget *cxGridFields;
    QProgressBar *pb;

    // The open dialog: answers the chosen file, empty on cancel. Tests replace it.
    std::function<QString()> AskFileName;

    // Sets a file dialog up for spreadsheets: the filter, the file-must-exist option, and
    // extensions matched without regard to case.
    static void PrepareFileDialog(QFileDialog &dialog, const QString &title);

private:
    QString Text(int number) const;
    void BrowseFile();
    void TypedFile();
    void LoadFile();
    bool GetFields(const QString &fileName);
    void ShowStep();
    void UpdateActions();
    void RefuseSecondLink(QComboBox *combo);
    void FillMapping();
    void ApplyMapping();
    void Run();
    void ItemChanged(QTreeWidgetItem *item);

    TRvContactsController &m_controller;
    std::unique_ptr<TvoImportJob> m_job;
    int m_step = 0;
    bool m_hasFields = false;
    bool m_loading = false;
    int m_imported = 0;
    QLabel *lbl1;
    QLabel *lbl2;
    QLabel *lbl4;
    QWidget *m_fileRow;
};

// The contacts view's import: the wizard over the view, modal; true when people were imported.
bool ShowImportWizard(TRvContactsController &controller, QWidget *parent);
