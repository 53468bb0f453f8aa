#include "client/ufEmail.h"

#include "client/api/HostInterfaces.h"
#include "client/uCDOClient.h"

#include "foundation/QuorvaLogFile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kSender = QStringLiteral("TfEmail");

QToolButton *ribbonButton(QAction *action, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    return button;
}

QGroupBox *ribbonGroup(const QString &caption, const QList<QWidget *> &widgets, QWidget *parent)
{
    auto *group = new QGroupBox(caption, parent);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(4, 2, 4, 2);
    for (QWidget *widget : widgets) {
        widget->setParent(group);
        layout->addWidget(widget);
    }
    return group;
}

} // namespace

// --- the period dialog ------------------------------------------------------------------------

TfAttachment::TfAttachment(const TAttachmentPeriod &period, QWidget *parent)
    : TfDlgPopUp(parent)
    , m_from(new QDateEdit(period.From, this))
    , m_to(new QDateEdit(period.To, this))
{
    FormCreate();
    setWindowTitle(QStringLiteral("Add attachment"));
    btnOK()->setText(QStringLiteral("Add"));
    btnCancel()->setText(QStringLiteral("Cancel"));
    btnHelp()->hide();
    chkShow()->hide();
    grpBox()->setTitle(QStringLiteral("  Liturgies in period "));
    auto *layout = new QGridLayout(grpBox());
    auto *text = new QLabel(QStringLiteral("Add the minister schedule report as an attachment for each recipient."), grpBox());
    text->setWordWrap(true);
    layout->addWidget(text, 0, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("From"), grpBox()), 1, 0);
    layout->addWidget(m_from, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("To"), grpBox()), 2, 0);
    layout->addWidget(m_to, 2, 1);
    for (QDateEdit *edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    }
    setMinimumWidth(420);
}

TAttachmentPeriod TfAttachment::Period() const
{
    return TAttachmentPeriod{m_from->date(), m_to->date()};
}

// --- the composer -----------------------------------------------------------------------------

TfEmail::TfEmail(TQorCDOMessage *message, Quorva::ISettings *settings, QWidget *parent)
    : TfStyleForm(parent)
    , m_message(message)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral(" New message"));
    resize(FormWidth, FormHeight);
    // The desktop's icon where it has one, else the style's nearest.
    auto themed = [this](const char *name, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(name), style()->standardIcon(fallback));
    };
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);

    m_editor = new QPlainTextEdit(central);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editor->setTabChangesFocus(false);
    m_editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    // The ribbon: one tab with the clipboard, the (unused) font controls and the attachment.
    m_acPaste = new QAction(themed("edit-paste", QStyle::SP_ArrowDown), QStringLiteral("Paste"), this);
    m_acPaste->setShortcut(QKeySequence::Paste);
    m_acCut = new QAction(themed("edit-cut", QStyle::SP_DialogDiscardButton), QStringLiteral("Cut"), this);
    m_acCut->setShortcut(QKeySequence::Cut);
    m_acCopy = new QAction(themed("edit-copy", QStyle::SP_FileDialogDetailedView), QStringLiteral("Copy"), this);
    m_acCopy->setShortcut(QKeySequence::Copy);
    m_acSelectAll = new QAction(themed("edit-select-all", QStyle::SP_FileDialogListView), QStringLiteral("Select all"), this);
    m_acSelectAll->setShortcut(QKeySequence::SelectAll);
    m_acUndo = new QAction(themed("edit-undo", QStyle::SP_ArrowBack), QStringLiteral("Undo"), this);
    m_acUndo->setShortcut(QKeySequence::Undo);
    m_acAddAttachment = new QAction(themed("mail-attachment", QStyle::SP_FileIcon), QStringLiteral("Add attachment"), this);
    m_acCut->setEnabled(false);
    m_acCopy->setEnabled(false);
    m_acUndo->setEnabled(false);

    auto *ribbon = new QTabWidget(central);
    auto *page = new QWidget(ribbon);
    auto *pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(ribbonGroup(QStringLiteral("Clipboard"),
                                      {ribbonButton(m_acPaste, page), ribbonButton(m_acCut, page), ribbonButton(m_acCopy, page),
                                       ribbonButton(m_acSelectAll, page)},
                                      page));
    auto *bold = new QToolButton(page);
    bold->setText(QStringLiteral("B"));
    QFont boldFont = bold->font();
    boldFont.setBold(true);
    bold->setFont(boldFont);
    auto *fontName = new QFontComboBox(page);
    auto *fontSize = new QComboBox(page);
    fontSize->addItem(QString::number(m_editor->font().pointSize()));
    for (QWidget *widget : QList<QWidget *>{bold, fontName, fontSize})
        widget->setEnabled(false);
    pageLayout->addWidget(ribbonGroup(QStringLiteral("Font"), {fontName, fontSize, bold}, page));
    pageLayout->addWidget(ribbonGroup(QStringLiteral("Attachment"), {ribbonButton(m_acAddAttachment, page)}, page));
    pageLayout->addStretch(1);
    ribbon->addTab(page, QStringLiteral("Message"));
    auto *undo = new QToolButton(ribbon);
    undo->setDefaultAction(m_acUndo);
    undo->setAutoRaise(true);
    ribbon->setCornerWidget(undo, Qt::TopLeftCorner);
    ribbon->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(ribbon);

    // Send beside the addresses, as mail programs have it.
    auto *header = new QHBoxLayout;
    m_btnSend = new QPushButton(themed("mail-send", QStyle::SP_CommandLink), QStringLiteral("&Send"), central);
    m_btnSend->setMinimumSize(80, 64);
    m_btnSend->setIconSize(QSize(24, 24));
    m_acSend = new QAction(QStringLiteral("&Send"), this);
    connect(m_btnSend, &QPushButton::clicked, m_acSend, &QAction::trigger);
    header->addWidget(m_btnSend, 0, Qt::AlignTop);
    auto *fields = new QGridLayout;
    m_recipients = new QPlainTextEdit(central);
    m_recipients->setReadOnly(true);
    m_recipients->setFixedHeight(m_recipients->fontMetrics().lineSpacing() * 2 + 12);
    m_recipients->setTabChangesFocus(true);
    m_subject = new QLineEdit(central);
    fields->addWidget(new QLabel(QStringLiteral("To:"), central), 0, 0, Qt::AlignTop);
    fields->addWidget(m_recipients, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Subject:"), central), 1, 0);
    fields->addWidget(m_subject, 1, 1);
    header->addLayout(fields, 1);
    layout->addLayout(header);

    m_attachmentPanel = new QGroupBox(QStringLiteral("Attachments"), central);
    auto *attachmentLayout = new QHBoxLayout(m_attachmentPanel);
    auto *icon = new QLabel(m_attachmentPanel);
    icon->setPixmap(style()->standardIcon(QStyle::SP_FileIcon).pixmap(16, 16));
    m_attachmentText = new QLabel(m_attachmentPanel);
    attachmentLayout->addWidget(icon);
    attachmentLayout->addWidget(m_attachmentText, 1);
    m_attachmentPanel->hide();
    layout->addWidget(m_attachmentPanel);
    layout->addWidget(m_editor, 1);

    m_lineStatus = new QLabel(this);
    m_rowStatus = new QLabel(this);
    statusBar()->addWidget(m_lineStatus);
    statusBar()->addWidget(m_rowStatus);

    m_acClose = new QAction(this);
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acClose->setShortcutContext(Qt::WindowShortcut);
    addAction(m_acClose);

    connect(m_acPaste, &QAction::triggered, m_editor, &QPlainTextEdit::paste);
    connect(m_acCut, &QAction::triggered, m_editor, &QPlainTextEdit::cut);
    connect(m_acCopy, &QAction::triggered, m_editor, &QPlainTextEdit::copy);
    connect(m_acSelectAll, &QAction::triggered, m_editor, &QPlainTextEdit::selectAll);
    connect(m_acUndo, &QAction::triggered, m_editor, &QPlainTextEdit::undo);
    connect(m_editor, &QPlainTextEdit::copyAvailable, m_acCut, &QAction::setEnabled);
    connect(m_editor, &QPlainTextEdit::copyAvailable, m_acCopy, &QAction::setEnabled);
    connect(m_editor, &QPlainTextEdit::undoAvailable, m_acUndo, &QAction::setEnabled);
    connect(m_editor, &QPlainTextEdit::cursorPositionChanged, this, [this] { SelectionChange(); });
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] { SelectionChange(); });
    connect(m_acAddAttachment, &QAction::triggered, this, [this] { AddAttachment(); });
    connect(m_acSend, &QAction::triggered, this, [this] { SendExecute(); });
    connect(m_acClose, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    // Without a message there is nothing to send: typed text is not thrown away behind a Send.
    m_acSend->setEnabled(m_message != nullptr);
    m_btnSend->setEnabled(m_message != nullptr);
    m_acAddAttachment->setEnabled(m_message != nullptr);
    SelectionChange();
}

void TfEmail::InitializeForm()
{
    try {
        if (!m_message)
            throw std::runtime_error("No message object set");
        m_subject->setText(m_message->Subject());
        m_editor->setPlainText(m_message->Body());
        m_recipients->setPlainText(m_message->RecipientsAsText(TCDOAddressKind::To));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("InitializeForm"), QString::fromUtf8(e.what()));
    }
}

void TfEmail::showEvent(QShowEvent *event)
{
    TfStyleForm::showEvent(event);
    if (m_subject->text().isEmpty())
        m_subject->setFocus();
    else
        m_editor->setFocus();
}

void TfEmail::SelectionChange()
{
    try {
        const QTextCursor cursor = m_editor->textCursor();
        m_lineStatus->setText(TComposerStatus::LineText(cursor.blockNumber() + 1));
        m_rowStatus->setText(TComposerStatus::RowText(cursor.positionInBlock() + 1));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("SelectionChange"), QString::fromUtf8(e.what()));
    }
}

void TfEmail::AddAttachment()
{
    try {
        const QDate today = QDate::currentDate();
        auto setting = [this](const QString &key, const QString &fallback) {
            return m_settings ? m_settings->GetUserSetting(key, fallback) : fallback;
        };
        TfAttachment dialog(TAttachmentPeriod::Read(setting, today), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        m_period = dialog.Period();
        m_attachment = true;
        m_acAddAttachment->setEnabled(false);
        m_attachmentText->setText(QStringLiteral("%1  (%2 - %3)")
                                      .arg(TCDOClient::AttachmentName, QLocale::system().toString(m_period.From, QLocale::ShortFormat),
                                           QLocale::system().toString(m_period.To, QLocale::ShortFormat)));
        m_attachmentPanel->show();
        if (m_settings) {
            m_settings->SetUserSetting(TAttachmentPeriod::StartKey, TAttachmentPeriod::DateText(m_period.From));
            m_settings->SetUserSetting(TAttachmentPeriod::EndKey, TAttachmentPeriod::DateText(m_period.To));
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("AddAttachment"), QString::fromUtf8(e.what()));
    }
}

void TfEmail::SendExecute()
{
    if (!m_message)
        return;
    m_message->SetSubject(m_subject->text());
    m_message->SetBody(m_editor->toPlainText());
    SetModalResult(TModalResult::Ok);
}
