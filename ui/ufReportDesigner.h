// The report designer TfReportDesigner ("Report Designer - Powered by Quorva"): the template of
// the report being previewed on a page canvas at scale, band by band, its items selected,
// moved and resized with the mouse and the keyboard, edited in a property panel, added and
// deleted with their bands, pictures added from files, every step undone and redone; fields
// chosen from the report's data source; a preview tab that renders the template with the
// report's rows through the engine; the template saved as a file and read back. The edits
// themselves are ReportTemplateEditor's. Its own settings (last folder, window geometry, grid)
// go into an ini file of the user's configuration folder.
#pragma once

#include "ui/ufBaseDialog.h"

#include "dataaccess/TDADataStreamer.h"
#include "reporting/ReportDocument.h"
#include "reporting/ReportTemplateEditor.h"

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QScrollArea;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TDesignerCanvas;

struct TReportDesignerSource
{
    QByteArray TemplateXml;
    QString TemplateName;
    // The report's rows as the preview loaded them; their fields are the data source's schema.
    TDATableData Data;
    // The designer's own ini file; nothing is kept without one.
    QString SettingsFile;
    // Where the file dialogs start before the designer has a folder of its own.
    QString DocumentsFolder;
};

class UI_EXPORT TfReportDesigner : public TfBaseDialog
{
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Report Designer - Powered by Quorva");

    explicit TfReportDesigner(QWidget *parent = nullptr);
    ~TfReportDesigner() override;

    // Throws EReportError for a template the engine does not read.
    void Open(const TReportDesignerSource &source);
    // The designer while it is shown; null otherwise.
    static TfReportDesigner *Active();

    const ReportTemplateEditor &Editor() const { return m_editor; }
    ReportItemRef Selected() const { return m_selected; }
    ReportBandRef SelectedBand() const { return m_band; }
    void Select(const ReportItemRef &item);
    void SelectBand(const ReportBandRef &band);
    // The file the template was last saved to or read from; empty before.
    QString FileName() const { return m_fileName; }
    bool GridOn() const { return m_gridOn; }
    double GridSize() const { return m_gridSize; }
    // Points to pixels of the canvas.
    static constexpr double kScale = 1.4;
    // Where an item of the canvas is, in the canvas's pixels.
    QRect ItemArea(const ReportItemRef &item) const;
    // The rendering the preview tab shows; empty until it was shown once.
    const ReportDocument *PreviewDocument() const { return m_preview ? &*m_preview : nullptr; }

    QAction *acOpen() const { return m_acOpen; }
    QAction *acSave() const { return m_acSave; }
    QAction *acSaveAs() const { return m_acSaveAs; }
    QAction *acDelete() const { return m_acDelete; }
    QAction *acDeleteBand() const { return m_acDeleteBand; }
    QAction *acGrid() const { return m_acGrid; }
    QAction *acUndo() const { return m_acUndo; }
    QAction *acRedo() const { return m_acRedo; }
    QAction *acAddPicture() const { return m_acAddPicture; }
    QAction *acClose() const { return m_acClose; }
    QAction *AddItemAction(ReportItemKind kind) const;
    QAction *AddBandAction(ReportBandKind kind) const;
    QWidget *Canvas() const;
    QTabWidget *Tabs() const { return m_tabs; }
    QListWidget *lwFields() const { return m_fields; }
    QComboBox *cbField() const { return m_field; }
    QLineEdit *edText() const { return m_text; }
    QLineEdit *edExpression() const { return m_expression; }
    QComboBox *cbAlign() const { return m_align; }
    QCheckBox *chkFrame() const { return m_frame; }
    QCheckBox *chkBold() const { return m_bold; }
    QDoubleSpinBox *edFontSize() const { return m_fontSize; }
    QLabel *lbProblem() const { return m_problem; }

    bool SaveTo(const QString &file);
    bool LoadFrom(const QString &file);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    friend class TDesignerCanvas;

    void BuildActions();
    void BuildPanel();
    void Changed();
    void RefreshProperties();
    void Apply(const std::function<void(const ReportItemRef &)> &edit);
    void Fail(const QString &what, const QString &message);
    void SaveAs();
    void Save();
    void OpenFile();
    void AddItem(ReportItemKind kind, const QString &field = {});
    void AddBand(ReportBandKind kind);
    void DeleteSelected();
    void AddPicture();
    void History(bool back);
    void DeleteBand();
    void ShowPreview();
    void ShowPreviewPage(int page);
    void ReadSettings();
    void WriteSettings() const;
    QString StartFolder() const;

    ReportTemplateEditor m_editor;
    TDATableData m_data;
    ReportItemRef m_selected;
    ReportBandRef m_band;
    QString m_templateName;
    QString m_fileName;
    QString m_settingsFile;
    QString m_lastFolder;
    QString m_documentsFolder;
    bool m_gridOn = true;
    double m_gridSize = 72.0 / 25.4;  // 1 mm
    bool m_refreshing = false;
    std::optional<ReportDocument> m_preview;

    QTabWidget *m_tabs;
    QScrollArea *m_canvasScroll;
    TDesignerCanvas *m_canvas;
    QLabel *m_previewPage;
    QSpinBox *m_previewPageNo;
    QLabel *m_previewProblem;
    QLabel *m_templatePanel;
    QListWidget *m_fields;
    QLabel *m_kind;
    QDoubleSpinBox *m_x;
    QDoubleSpinBox *m_y;
    QDoubleSpinBox *m_width;
    QDoubleSpinBox *m_height;
    QLineEdit *m_text;
    QComboBox *m_field;
    QLineEdit *m_expression;
    QLineEdit *m_format;
    QComboBox *m_family;
    QDoubleSpinBox *m_fontSize;
    QCheckBox *m_bold;
    QCheckBox *m_italic;
    QCheckBox *m_underline;
    QComboBox *m_align;
    QComboBox *m_valign;
    QCheckBox *m_wrap;
    QCheckBox *m_grow;
    QCheckBox *m_frame;
    QDoubleSpinBox *m_pen;
    QDoubleSpinBox *m_bandHeight;
    QLabel *m_problem;
    QWidget *m_itemBox;

    QAction *m_acOpen;
    QAction *m_acSave;
    QAction *m_acSaveAs;
    QAction *m_acDelete;
    QAction *m_acDeleteBand;
    QAction *m_acGrid;
    QAction *m_acUndo;
    QAction *m_acRedo;
    QAction *m_acAddPicture;
    QAction *m_acClose;
    QList<std::pair<ReportItemKind, QAction *>> m_addItems;
    QList<std::pair<ReportBandKind, QAction *>> m_addBands;
};
