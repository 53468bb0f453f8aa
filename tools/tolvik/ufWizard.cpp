#include "tools/tolvik/ufWizard.h"

#include "tools/tolvik/TolvikTexts.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

using TolvikTexts::GetText;

namespace {

QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

TfWizard::TfWizard(const QString &taskFile, const QString &toolFolder, const QString &version,
                   SupportToolDelivery &delivery, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      m_wizard(*this, taskFile, toolFolder, version, delivery)
{
    setWindowTitle(GetText(100));
    auto *outer = new QVBoxLayout(this);
    auto *body = new QHBoxLayout;
    outer->addLayout(body, 1);

    auto *imagePanel = new QVBoxLayout;
    auto *image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(64, 64));
    imagePanel->addWidget(image);
    imagePanel->addStretch(1);
    imagePanel->addWidget(new QLabel(TolvikTexts::Format(205, {version}), this));
    body->addLayout(imagePanel);

    m_pages = new QStackedWidget(this);
    for (QWidget *page : {WelcomePage(), ProgressPage(), OutputPage(), SenderPage(), CommentsPage(), DonePage()})
        m_pages->addWidget(page);
    body->addWidget(m_pages, 1);

    auto *bar = new QHBoxLayout;
    m_viewReport = new QPushButton(GetText(214), this);
    m_cancel = new QPushButton(GetText(200), this);
    m_previous = new QPushButton(GetText(202), this);
    m_next = new QPushButton(GetText(201), this);
    m_finish = new QPushButton(GetText(203), this);
    bar->addWidget(m_viewReport);
    bar->addStretch(1);
    for (QPushButton *button : {m_cancel, m_previous, m_next, m_finish}) {
        button->setAutoDefault(false);
        bar->addWidget(button);
    }
    outer->addLayout(bar);
    connect(m_viewReport, &QPushButton::clicked, this, [this] { m_wizard.ViewReportClick(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_previous, &QPushButton::clicked, this, [this] { m_wizard.PrevClick(); });
    connect(m_next, &QPushButton::clicked, this, [this] { m_wizard.NextClick(); });
    connect(m_finish, &QPushButton::clicked, this, [this] { m_wizard.FinishExecute(); });
    setFixedSize(600, 400);
}

QWidget *TfWizard::WelcomePage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *title = wrapped(GetText(101), page);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addWidget(wrapped(GetText(102), page), 1);
    return page;
}

QWidget *TfWizard::ProgressPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(GetText(107), page));
    layout->addSpacing(12);
    layout->addWidget(new QLabel(GetText(230), page));
    m_taskLabel = new QLabel(page);
    m_actionLabel = new QLabel(page);
    m_progress = new QProgressBar(page);
    m_progress->setValue(0);
    layout->addWidget(m_taskLabel);
    layout->addWidget(m_actionLabel);
    layout->addWidget(m_progress);
    layout->addStretch(1);
    return page;
}

QWidget *TfWizard::OutputPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_outputText = wrapped(QString(), page);
    layout->addWidget(m_outputText);
    auto *group = new QGroupBox(GetText(104), page);
    auto *choices = new QVBoxLayout(group);
    m_online = new QRadioButton(GetText(112), group);
    m_file = new QRadioButton(GetText(106), group);
    m_online->setChecked(true);
    choices->addWidget(m_online);
    choices->addWidget(m_file);
    auto *buttons = new QButtonGroup(page);
    buttons->addButton(m_online, TQorSupportWizard::OnlineDelivery);
    buttons->addButton(m_file, TQorSupportWizard::XmlFile);
    connect(buttons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_wizard.SetOutputChoice(id);
    });
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}

QWidget *TfWizard::SenderPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(GetText(510), page));
    auto *group = new QGroupBox(GetText(511), page);
    auto *form = new QFormLayout(group);
    m_name = new QLineEdit(group);
    m_organization = new QLineEdit(group);
    m_email = new QLineEdit(group);
    const std::pair<int, QLineEdit *> fields[] = {{503, m_name}, {504, m_organization}, {505, m_email}};
    for (const auto &[text, edit] : fields) {
        auto *label = new QLabel(GetText(text), group);
        label->setBuddy(edit);
        form->addRow(label, edit);
    }
    m_remember = new QCheckBox(GetText(512), group);
    m_remember->setChecked(true);
    form->addRow(m_remember);
    layout->addWidget(group);
    layout->addStretch(1);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString &text) { m_wizard.SetSenderName(text); });
    connect(m_organization, &QLineEdit::textChanged, this, [this](const QString &text) { m_wizard.SetOrganization(text); });
    connect(m_email, &QLineEdit::textChanged, this, [this](const QString &text) { m_wizard.SetEmail(text); });
    connect(m_remember, &QCheckBox::toggled, this, [this](bool on) { m_wizard.SetRemember(on); });
    return page;
}

QWidget *TfWizard::CommentsPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(GetText(310), page));
    m_comments = new QPlainTextEdit(page);
    layout->addWidget(m_comments, 1);
    connect(m_comments, &QPlainTextEdit::textChanged, this, [this] { m_wizard.SetComments(m_comments->toPlainText()); });
    return page;
}

QWidget *TfWizard::DonePage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_doneText = wrapped(GetText(211), page);
    layout->addWidget(m_doneText, 1);
    return page;
}

int TfWizard::Execute()
{
    m_wizard.Start();
    return exec();
}

void TfWizard::ShowPage(int page)
{
    m_pages->setCurrentIndex(page);
}

void TfWizard::SetButtons(const TWizardButtons &buttons)
{
    m_next->setEnabled(buttons.Next);
    m_finish->setEnabled(buttons.Finish);
    m_previous->setEnabled(buttons.Previous);
    m_cancel->setEnabled(buttons.Cancel);
    m_viewReport->setVisible(buttons.ViewReport);
}

void TfWizard::SetFinishCaption(const QString &caption)
{
    m_finish->setText(caption);
}

void TfWizard::SetOutputText(const QString &text)
{
    m_outputText->setText(text);
}

void TfWizard::SetDoneText(const QString &text)
{
    m_doneText->setText(text);
}

void TfWizard::SetTaskLabel(const QString &text)
{
    m_taskLabel->setText(text);
}

void TfWizard::SetActionLabel(const QString &text)
{
    m_actionLabel->setText(text);
}

void TfWizard::SetProgressMaximum(int maximum)
{
    m_progress->setMaximum(maximum);
}

void TfWizard::SetProgressPosition(int position)
{
    m_progress->setValue(std::min(position, m_progress->maximum()));
}

void TfWizard::ShowSender(const TSenderDetails &details)
{
    m_name->setText(details.Name);
    m_organization->setText(details.Organization);
    m_email->setText(details.Email);
    m_remember->setChecked(details.Remember);
}

void TfWizard::FocusName()
{
    m_name->setFocus();
}

void TfWizard::FocusComments()
{
    m_comments->setFocus();
}

void TfWizard::SetBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfWizard::ProcessMessages()
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfWizard::ShowMessage(const QString &text, const QString &caption, TMessageKind kind)
{
    const QMessageBox::Icon icon = kind == TMessageKind::Error     ? QMessageBox::Critical
                                 : kind == TMessageKind::Warning   ? QMessageBox::Warning
                                                                   : QMessageBox::Information;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void TfWizard::ShowReport(const QString &xml, const QString &caption)
{
    QDialog viewer(this);
    viewer.setWindowTitle(caption);
    auto *layout = new QVBoxLayout(&viewer);
    auto *text = new QPlainTextEdit(xml, &viewer);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text);
    auto *close = new QPushButton(GetText(210), &viewer);
    connect(close, &QPushButton::clicked, &viewer, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    viewer.resize(640, 480);
    viewer.exec();
}

void TfWizard::Close()
{
    accept();
}
