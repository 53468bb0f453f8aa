// The contact dialog: a person's name, address, phones, e-mail, birthday, picture and comments;
// the days the person cannot serve; the rules that tie the person to others; the ministry
// functions with their liturgies, frequencies and fill-in mark; and the person's schedule. It
// shows and forwards; TContactRules decides, and the data module saves after OK.
#pragma once

#include "plugins/contacts/uContactRules.h"
#include "ui/ufBaseDialog.h"

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QList>

#include <functional>
#include <optional>
#include <utility>

class QAction;
class QCalendarWidget;
class QCheckBox;
class QComboBox;
class TDateField;
class TPhoneField;
class QLabel;
class QLineEdit;
class QMenu;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QTabWidget;
class QTableView;
class TDATableModel;
class TDAContacts;
class TRvContactsController;

class TfContactDlg : public TfBaseDialog
{
    Q_OBJECT
public:
    TfContactDlg(TDAContacts &contacts, TRvContactsController &controller, QWidget *parent = nullptr);
    ~TfContactDlg() override;

    // Fills every page from the tables the data module prepared.
    void Load(const QString &key, bool isNew);
    TContactRules &Editor() { return m_editor; }
    // The days from one to the other (both included) picked in the calendar, as a click and a
    // click with Shift pick them; the availability buttons act on all of them.
    void SelectDays(const QDate &from, const QDate &to);
    QList<QDate> SelectedDays() const;

    QAction *acClose() const { return m_acClose; }
    QAction *acExit() const { return m_acExit; }
    QAction *acNew() const { return m_acNew; }
    QAction *acPrint() const { return m_acPrint; }
    QAction *acHelp() const { return m_acHelp; }

    // How a picture is chosen (the file dialog unless replaced); tests hand one in.
    std::function<std::optional<std::pair<QImage, QByteArray>>()> ChoosePicture;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QString Text(int number) const;
    void BuildGeneralPage(QWidget *page);
    void BuildFunctionsPage(QWidget *page);
    void BuildSchedulePage(QWidget *page);
    void SetTexts();
    void LoadFields();
    void FinishName();
    void OpenNameDialog();
    void BindPhone(int tag);
    void BindEmail(int tag);
    void LoadPicture();
    void RefreshDays();
    void MarkDay(bool unavailable);
    void RefreshRules();
    void PickRule(int type);
    void ClearRule(int type);
    void FillFunctions();
    // Flips every item of a list, each applied as if clicked.
    void Invert(QListWidget *list);
    QString SelectedFunction() const;
    void UpdatePreferenceControls();
    void FunctionChanged(QListWidgetItem *item);
    void LiturgyChanged(QListWidgetItem *item);
    void FrequencyChanged(QListWidgetItem *item);
    void AllLiturgiesClicked(bool checked);
    void AllFrequenciesClicked(bool checked);
    void UpdateActions();
    void PrintSchedule();

    TDAContacts &m_data;
    TRvContactsController &m_controller;
    TContactRules m_editor;
    bool m_showNameDialog = false;
    bool m_busy = false;
    int m_phoneTag = 1;
    int m_emailTag = 1;

    QTabWidget *m_pages;
    QTabWidget *m_options;
    QLineEdit *m_fullName;
    QPlainTextEdit *m_street;
    QLineEdit *m_city;
    QLineEdit *m_zip;
    QLineEdit *m_state;
    QComboBox *m_phoneChoice;
    QLineEdit *m_phone;
    TPhoneField *m_phoneField;
    QComboBox *m_emailChoice;
    QLineEdit *m_email;
    TDateField *m_born;
    QLabel *m_picture;
    QPlainTextEdit *m_comments;
    QCheckBox *m_reminder;
    QCalendarWidget *m_calendar;
    QListWidget *m_days;
    QList<QLineEdit *> m_rules;
    QListWidget *m_functions;
    QListWidget *m_liturgies;
    QListWidget *m_frequencies;
    QCheckBox *m_allLiturgies;
    QCheckBox *m_allFrequencies;
    QCheckBox *m_needed;
    QTableView *m_schedule;
    TDATableModel *m_scheduleModel;
    QAction *m_acClose;
    QAction *m_acExit;
    QAction *m_acNew;
    QAction *m_acPrint;
    QAction *m_acHelp;
    QList<QLabel *> m_labels;
    QMenu *m_fileMenu;
    QMenu *m_helpMenu;
    QDate m_anchor;
    QList<QDate> m_selectedDays;
};
