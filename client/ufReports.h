// The report chooser TfReports: the reports of a category in a tree under their kinds, the
// chosen report's details, and the print range (all or the selected records, the label
// address, the period). Preview, Print and Word close it with Ok; the host reads the choice.
#pragma once

#include "client/uReportChooserRules.h"
#include "client/uReportRequest.h"
#include "ui/ufBaseDialog.h"

#include <functional>

class QAction;
class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

class TfReports : public TfBaseDialog
{
    Q_OBJECT
public:
    // text: the host's language texts; setting: a user setting by key and default.
    TfReports(std::function<QString(int)> text, std::function<QString(const QString &, const QString &)> setting,
              QWidget *parent = nullptr);
    ~TfReports() override;

    // Fills the tree with the definitions of the text for the caller's category; hasSelection
    // tells whether the caller selected any record (it then starts on "Selected").
    void LoadDefinitions(const QString &category, const QString &definitionText, const QString &familiesExclusion,
                         int selectionIndex, bool hasSelection);

    // The state the host composes its request from; its definition is null until a report
    // node was chosen, and lives as long as the dialog.
    TReportChoice Choice() const;
    QString Category() const { return m_category; }
    const TBaseReportDef *ChosenDefinition() const { return m_chosen; }

    // Selects the node at this index in tree order (category and report nodes counted).
    void SelectNode(int index);
    // The captions of the tree in tree order, category nodes without indent, reports with two blanks.
    QStringList TreeLines() const;

    QTreeWidget *tvReports() const { return m_tree; }
    QAction *acPreview() const { return m_acPreview; }
    QAction *acPrint() const { return m_acPrint; }
    QAction *acWord() const { return m_acWord; }
    QAction *acClose() const { return m_acClose; }
    QAction *acHelp() const { return m_acHelp; }
    QRadioButton *rbAll() const { return m_rbAll; }
    QRadioButton *rbSelected() const { return m_rbSelected; }
    QRadioButton *rbPortrait() const { return m_rbPortrait; }
    QRadioButton *rbLandscape() const { return m_rbLandscape; }
    QCheckBox *chkLBLAddress() const { return m_chkLBLAddress; }
    QDateEdit *dtFrom() const { return m_dtFrom; }
    QDateEdit *dtTo() const { return m_dtTo; }
    QDateEdit *dtExtFrom() const { return m_dtExtFrom; }
    QDateEdit *dtExtto() const { return m_dtExtto; }
    QGroupBox *grpBox() const { return m_grpBox; }
    QGroupBox *pnlDates() const { return m_pnlDates; }
    // The detail panel shown: "pnlDescription", "grpLabel" or "grpReports", and its caption.
    QString CurrentPanel() const;
    QString CurrentPanelCaption() const;
    QString CurrentPanelText() const;

signals:
    void HelpRequested(const QString &topic);

private:
    void Caption();
    void tvReportsChange(QTreeWidgetItem *item);
    void ShowDetail(const ReportChooserRules::TNodeDetail &detail, const TBaseReportDef *definition);
    void Choose(bool preview, bool word);
    const TBaseReportDef *DefinitionOf(const QTreeWidgetItem *item) const;

    std::function<QString(int)> m_text;
    std::function<QString(const QString &, const QString &)> m_setting;
    QString m_category;
    TReportDefinitionList m_definitions;
    const TBaseReportDef *m_chosen = nullptr;
    bool m_preview = false;
    bool m_word = false;

    QTreeWidget *m_tree;
    QStackedWidget *m_details;
    QGroupBox *m_pnlDescription;
    QLabel *m_lblDescription;
    QGroupBox *m_grpLabel;
    QList<QLabel *> m_labelValues;    // caption, format, paper, height, width
    QGroupBox *m_grpReports;
    QList<QLabel *> m_reportValues;   // caption, format, paper, description
    QLabel *m_lblOrientation;
    QRadioButton *m_rbPortrait;
    QRadioButton *m_rbLandscape;
    QGroupBox *m_grpBox;
    QRadioButton *m_rbSelected;
    QRadioButton *m_rbAll;
    QCheckBox *m_chkLBLAddress;
    QLabel *m_lblFrom;
    QDateEdit *m_dtFrom;
    QLabel *m_lblTo;
    QDateEdit *m_dtTo;
    QGroupBox *m_pnlDates;
    QDateEdit *m_dtExtFrom;
    QDateEdit *m_dtExtto;
    QList<QLabel *> m_captionLabels;  // with their text numbers in m_captionNumbers
    QList<int> m_captionNumbers;
    QAction *m_acPreview;
    QAction *m_acPrint;
    QAction *m_acWord;
    QAction *m_acClose;
    QAction *m_acHelp;
};
