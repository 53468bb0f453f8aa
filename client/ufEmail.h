// The mail composer: the user writes subject and text for the message's recipients and may ask
// for the minister schedule of a period as an attachment. Sending happens after the composer
// closes with Send (TQorCDOMail); Escape closes it and nothing is sent. The window texts are
// fixed English, as the composer has always had them.
#pragma once

#include "client/uEmailRules.h"
#include "client/uQorCDOMessage.h"

#include "ui/ufDlgPopUp.h"
#include "ui/uStyleForm.h"

class QAction;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace Quorva {
class ISettings;
}

// "Add attachment": the period of the minister schedule, from the remembered dates.
class TfAttachment : public TfDlgPopUp
{
    Q_OBJECT
public:
    explicit TfAttachment(const TAttachmentPeriod &period, QWidget *parent = nullptr);
    TAttachmentPeriod Period() const;
    QDateEdit *edFrom() const { return m_from; }
    QDateEdit *edTo() const { return m_to; }

private:
    QDateEdit *m_from;
    QDateEdit *m_to;
};

class TfEmail : public TfStyleForm
{
    Q_OBJECT
public:
    static constexpr int FormWidth = 941;
    static constexpr int FormHeight = 631;

    // message: the message to write (not owned; none for an empty composer, which has nothing
    // to send); settings: where the attachment period is remembered.
    TfEmail(TQorCDOMessage *message, Quorva::ISettings *settings, QWidget *parent = nullptr);

    // Fills subject, text and recipients from the message.
    void InitializeForm();

    bool AttachmentWanted() const { return m_attachment; }
    TAttachmentPeriod AttachmentPeriod() const { return m_period; }

    QLineEdit *edSubject() const { return m_subject; }
    QPlainTextEdit *Editor() const { return m_editor; }
    QPlainTextEdit *memRecipients() const { return m_recipients; }
    QGroupBox *AttachmentPanel() const { return m_attachmentPanel; }
    QLabel *LineStatus() const { return m_lineStatus; }
    QLabel *RowStatus() const { return m_rowStatus; }
    QAction *acSend() const { return m_acSend; }
    QAction *acPaste() const { return m_acPaste; }
    QAction *acCut() const { return m_acCut; }
    QAction *acCopy() const { return m_acCopy; }
    QAction *acSelectAll() const { return m_acSelectAll; }
    QAction *acUndo() const { return m_acUndo; }
    QAction *acAddAttachment() const { return m_acAddAttachment; }
    QAction *acClose() const { return m_acClose; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void SelectionChange();
    void AddAttachment();
    void SendExecute();

    TQorCDOMessage *m_message;
    Quorva::ISettings *m_settings;
    bool m_attachment = false;
    TAttachmentPeriod m_period;

    QLineEdit *m_subject;
    QPlainTextEdit *m_editor;
    QPlainTextEdit *m_recipients;
    QGroupBox *m_attachmentPanel;
    QLabel *m_attachmentText;
    QLabel *m_lineStatus;
    QLabel *m_rowStatus;
    QPushButton *m_btnSend;
    QAction *m_acSend;
    QAction *m_acPaste;
    QAction *m_acCut;
    QAction *m_acCopy;
    QAction *m_acSelectAll;
    QAction *m_acUndo;
    QAction *m_acAddAttachment;
    QAction *m_acClose;
};
