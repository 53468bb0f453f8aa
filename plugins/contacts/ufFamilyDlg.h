// The family dialog: a family's name, address, phones, e-mail, comments and picture, and its
// members. It shows and forwards; TFamilyRules decides; the data module saves after OK.
#pragma once

#include "plugins/contacts/uFamilyRules.h"
#include "ui/ufBaseDialog.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableView;
class TDATableModel;
class TDAContacts;
class TPhoneField;
class TRvContactsController;

class TfFamilyDlg : public TfBaseDialog
{
    Q_OBJECT
public:
    TfFamilyDlg(TDAContacts &contacts, TRvContactsController &controller, QWidget *parent = nullptr);
    ~TfFamilyDlg() override;

    // mode 0 a new family, 1 an existing one.
    void Prepare(int mode);
    TFamilyRules &Editor() { return m_editor; }
    QTableView *Members() const { return m_members; }

    QAction *acClose() const { return m_acClose; }
    QAction *acExit() const { return m_acExit; }
    QAction *acAddmember() const { return m_acAddmember; }
    QAction *acRemoveMember() const { return m_acRemoveMember; }
    QAction *acCopy() const { return m_acCopy; }
    QAction *acEditContact() const { return m_acEditContact; }
    QAction *acHelp() const { return m_acHelp; }
    QAction *acPrint() const { return m_acPrint; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QString Text(int number) const;
    void LoadFields();
    void BindPhone(int tag);
    void BindEmail(int tag);
    void AddMembers();
    void EditMember();
    void LoadPicture();
    void Print();
    void UpdateActions();

    TDAContacts &m_data;
    TRvContactsController &m_controller;
    TFamilyRules m_editor;
    int m_mode = 0;
    bool m_loading = false;
    int m_phoneTag = 1;
    int m_emailTag = 1;

    QLineEdit *m_name;
    QPlainTextEdit *m_street;
    QLineEdit *m_city;
    QLineEdit *m_state;
    QLineEdit *m_zip;
    QComboBox *m_phoneChoice;
    QLineEdit *m_phone;
    TPhoneField *m_phoneField;
    QComboBox *m_emailChoice;
    QLineEdit *m_email;
    QPlainTextEdit *m_comments;
    QLabel *m_picture;
    QTableView *m_members;
    TDATableModel *m_model;
    QList<QLabel *> m_labels;
    QAction *m_acClose;
    QAction *m_acExit;
    QAction *m_acAddmember;
    QAction *m_acRemoveMember;
    QAction *m_acCopy;
    QAction *m_acEditContact;
    QAction *m_acHelp;
    QAction *m_acPrint;
};
