#include "plugins/contacts/ufContactDialog.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uDialogCaptions.h"
#include "plugins/contacts/uDateField.h"
#include "plugins/contacts/uDialogPicture.h"
#include "plugins/contacts/uPhoneField.h"
#include "plugins/contacts/ufNameDlg.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTableView>
#include <QTextCharFormat>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

constexpr int KeyRole = Qt::UserRole;

} // namespace

TfContactDlg::TfContactDlg(TDAContacts &contacts, TRvContactsController &controller, QWidget *parent)
    : TfBaseDialog(parent), m_data(contacts), m_controller(controller), m_editor(contacts)
{
    setObjectName(QStringLiteral("TfContactDlg"));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    m_pages = new QTabWidget(central);
    m_pages->setObjectName(QStringLiteral("pc"));
    layout->addWidget(m_pages);
    setCentralWidget(central);

    auto *general = new QWidget;
    auto *functions = new QWidget;
    auto *schedule = new QWidget;
    m_pages->addTab(general, QString());
    m_pages->addTab(functions, QString());
    m_pages->addTab(schedule, QString());
    BuildGeneralPage(general);
    BuildFunctionsPage(functions);
    BuildSchedulePage(schedule);

    m_acClose = new QAction(this);
    m_acClose->setObjectName(QStringLiteral("acClose"));
    m_acExit = new QAction(this);
    m_acExit->setObjectName(QStringLiteral("acExit"));
    m_acExit->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acNew = new QAction(this);
    m_acNew->setObjectName(QStringLiteral("btnNewContactNormal"));
    m_acPrint = new QAction(this);
    m_acPrint->setObjectName(QStringLiteral("acPrint"));
    m_acHelp = new QAction(this);
    m_acHelp->setObjectName(QStringLiteral("acHelp"));
    m_acHelp->setShortcut(QKeySequence(Qt::Key_F1));
    auto *bar = addToolBar(QStringLiteral("main"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_acClose);
    bar->addAction(m_acNew);
    bar->addAction(m_acPrint);
    bar->addAction(m_acHelp);
    bar->addAction(m_acExit);
    m_fileMenu = menuBar()->addMenu(QString());
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    m_fileMenu->addActions({m_acNew, m_acPrint});
    m_fileMenu->addSeparator();
    m_fileMenu->addActions({m_acClose, m_acExit});
    m_helpMenu = menuBar()->addMenu(QString());
    m_helpMenu->setObjectName(QStringLiteral("mnuHelp"));
    m_helpMenu->addAction(m_acHelp);
    // A name or a date still being typed is taken, not dropped; a date that is refused keeps
    // the dialog open.
    const auto finishAndClose = [this] {
        FinishName();
        if (m_born->Commit())
            SetModalResult(TModalResult::Ok);
    };
    connect(m_acClose, &QAction::triggered, this, finishAndClose);
    connect(m_acNew, &QAction::triggered, this, finishAndClose);
    connect(m_acPrint, &QAction::triggered, this, [this] { PrintSchedule(); });
    connect(m_acHelp, &QAction::triggered, this,
            [this] { m_controller.ShowHelp(TContactRules::HelpTopic(m_pages->currentIndex())); });
    connect(m_pages, &QTabWidget::currentChanged, this, [this] { UpdateActions(); });
    connect(m_acExit, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    resize(760, 600);
}

TfContactDlg::~TfContactDlg() = default;

QString TfContactDlg::Text(int number) const
{
    return m_controller.GetText(number);
}

// ---- building ----

void TfContactDlg::BuildGeneralPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    auto *form = new QFormLayout;
    m_fullName = new QLineEdit;
    m_fullName->setObjectName(QStringLiteral("edFullname"));
    auto *nameButton = new QPushButton;
    nameButton->setObjectName(QStringLiteral("btnName"));
    nameButton->setProperty("textNumber", 1315);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(m_fullName);
    nameRow->addWidget(nameButton);
    form->addRow(Caption(m_labels, 1316), nameRow);

    m_street = new QPlainTextEdit;
    m_street->setObjectName(QStringLiteral("mStreet"));
    m_street->setMaximumHeight(56);
    form->addRow(Caption(m_labels, 1267), m_street);
    m_city = new QLineEdit;
    m_city->setObjectName(QStringLiteral("edCity"));
    form->addRow(Caption(m_labels, 1264), m_city);
    // The masks limit what can be typed; a partial value is kept when the field is left.
    m_zip = new QLineEdit;
    m_zip->setObjectName(QStringLiteral("edZip"));
    TakePostcodes(m_zip);
    m_state = new QLineEdit;
    m_state->setObjectName(QStringLiteral("edState"));
    m_state->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-zA-Z][a-zA-Z]")), m_state));
    auto *place = new QHBoxLayout;
    place->addWidget(m_zip);
    place->addWidget(Caption(m_labels, 1266));
    place->addWidget(m_state);
    form->addRow(Caption(m_labels, 1265), place);

    m_phoneChoice = new QComboBox;
    m_phoneChoice->setObjectName(QStringLiteral("btnPhoneSelect"));
    m_phone = new QLineEdit;
    m_phone->setObjectName(QStringLiteral("edPhone"));
    m_phoneField = new TPhoneField(m_phone);
    auto *phoneRow = new QHBoxLayout;
    phoneRow->addWidget(m_phoneChoice);
    phoneRow->addWidget(m_phone);
    form->addRow(QString(), phoneRow);
    m_emailChoice = new QComboBox;
    m_emailChoice->setObjectName(QStringLiteral("btnEmailSelect"));
    m_email = new QLineEdit;
    m_email->setObjectName(QStringLiteral("edEmail"));
    auto *emailRow = new QHBoxLayout;
    emailRow->addWidget(m_emailChoice);
    emailRow->addWidget(m_email);
    form->addRow(QString(), emailRow);
    m_born = new TDateField;
    m_born->Edit()->setObjectName(QStringLiteral("dtDOB"));
    form->addRow(Caption(m_labels, 1324), m_born);
    m_comments = new QPlainTextEdit;
    m_comments->setObjectName(QStringLiteral("mComments"));
    m_comments->setMaximumHeight(70);
    form->addRow(Caption(m_labels, 1323), m_comments);
    m_reminder = new QCheckBox;
    m_reminder->setObjectName(QStringLiteral("chkReminder"));
    m_reminder->setProperty("textNumber", 1340);
    form->addRow(QString(), m_reminder);
    grid->addLayout(form, 0, 0);

    m_picture = new QLabel;
    m_picture->setObjectName(QStringLiteral("imgContact"));
    m_picture->setFixedSize(120, 150);
    m_picture->setFrameShape(QFrame::Box);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setScaledContents(true);
    auto *pictureButton = new QPushButton;
    pictureButton->setObjectName(QStringLiteral("btnPicture"));
    pictureButton->setProperty("textNumber", 1325);
    auto *pictureColumn = new QVBoxLayout;
    pictureColumn->addWidget(m_picture);
    pictureColumn->addWidget(pictureButton);
    pictureColumn->addStretch();
    grid->addLayout(pictureColumn, 0, 1);

    m_options = new QTabWidget;
    m_options->setObjectName(QStringLiteral("pcOptions"));
    auto *availability = new QWidget;
    auto *availabilityLayout = new QGridLayout(availability);
    m_calendar = new QCalendarWidget;
    m_calendar->setObjectName(QStringLiteral("DNAvail"));
    m_days = new QListWidget;
    m_days->setObjectName(QStringLiteral("lstDays"));
    auto *away = new QPushButton;
    away->setObjectName(QStringLiteral("btnUnAvailiable"));
    away->setProperty("textNumber", 1344);
    auto *back = new QPushButton;
    back->setObjectName(QStringLiteral("btnAvailiable"));
    back->setProperty("textNumber", 1343);
    // A click on either leaves the keys with the calendar, so Shift and the arrows go on from the
    // days just marked; Tab still reaches them.
    away->setFocusPolicy(Qt::TabFocus);
    back->setFocusPolicy(Qt::TabFocus);
    availabilityLayout->addWidget(m_calendar, 0, 0, 3, 1);
    availabilityLayout->addWidget(away, 0, 1);
    availabilityLayout->addWidget(back, 1, 1);
    availabilityLayout->addWidget(m_days, 2, 1);
    availabilityLayout->addWidget(Caption(m_labels, 1345), 3, 0, 1, 2);
    m_options->addTab(availability, QString());

    auto *rules = new QWidget;
    auto *rulesLayout = new QGridLayout(rules);
    for (int type = 0; type < TContactRules::RuleTypeCount; ++type) {
        auto *text = new QLineEdit;
        text->setReadOnly(true);
        text->setObjectName(QStringLiteral("vgRule%1").arg(type));
        auto *pick = new QPushButton(QStringLiteral("..."));
        pick->setObjectName(QStringLiteral("btnPickRule%1").arg(type));
        auto *clear = new QPushButton(QStringLiteral("X"));
        clear->setObjectName(QStringLiteral("btnClearRule%1").arg(type));
        rulesLayout->addWidget(Caption(m_labels, 1350 + type), type, 0);
        rulesLayout->addWidget(text, type, 1);
        rulesLayout->addWidget(pick, type, 2);
        rulesLayout->addWidget(clear, type, 3);
        m_rules << text;
        connect(pick, &QPushButton::clicked, this, [this, type] { PickRule(type); });
        connect(clear, &QPushButton::clicked, this, [this, type] { ClearRule(type); });
    }
    rulesLayout->addWidget(Caption(m_labels, 1355), TContactRules::RuleTypeCount, 0, 1, 4);
    rulesLayout->setRowStretch(TContactRules::RuleTypeCount + 1, 1);
    m_options->addTab(rules, QString());
    grid->addWidget(m_options, 1, 0, 1, 2);

    connect(m_fullName, &QLineEdit::textEdited, this, [this] {
        m_editor.NameTyped();
        UpdateActions();
    });
    connect(m_fullName, &QLineEdit::editingFinished, this, [this] { FinishName(); });
    connect(nameButton, &QPushButton::clicked, this, [this] { OpenNameDialog(); });
    connect(m_street, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_busy)
            m_editor.SetField(QStringLiteral("Street"), m_street->toPlainText());
    });
    connect(m_comments, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_busy)
            m_editor.SetField(QStringLiteral("Comments"), m_comments->toPlainText());
    });
    // The value stored is the edit's text unless a getter says otherwise (the phone's mask).
    auto bind = [this](QLineEdit *edit, std::function<QString()> field, bool upper = false, std::function<QString()> value = {}) {
        connect(edit, &QLineEdit::textEdited, this, [this, edit, field, upper, value](const QString &text) {
            try {
                if (upper && text != text.toUpper())
                    edit->setText(text.toUpper());
                m_editor.SetField(field(), value ? value() : edit->text());
            } catch (const std::exception &e) {
                QorLogFailure(&m_controller, QStringLiteral("SetField"), e);
            }
        });
    };
    bind(m_city, [] { return QStringLiteral("city"); });
    bind(m_zip, [] { return QStringLiteral("zip"); });
    bind(m_state, [] { return QStringLiteral("state"); }, true);
    bind(m_phone, [this] { return TContactRules::PhoneField(m_phoneTag); }, false, [this] { return m_phoneField->Value(); });
    bind(m_email, [this] { return TContactRules::EmailField(m_emailTag); });
    connect(m_phoneChoice, &QComboBox::activated, this, [this](int index) { BindPhone(index + 1); });
    connect(m_emailChoice, &QComboBox::activated, this, [this](int index) { BindEmail(index + 1); });
    m_born->Changed = [this](const std::optional<QDate> &date) {
        if (!m_busy)
            m_editor.SetField(QStringLiteral("DateOfBirth"), date ? QVariant(QDateTime(*date, QTime(0, 0))) : QVariant());
    };
    m_born->Refused = [this](const QString &text) {
        ShowMessage(this, QMessageBox::Warning, windowTitle(),
                    Text(1447) + text + QStringLiteral("\n") + Text(1448) +
                        QLocale().toString(QDate(1975, 3, 15), TDateField::DisplayFormat(QLocale())));
        m_born->Edit()->setFocus();
    };
    connect(m_reminder, &QCheckBox::clicked, this, [this](bool on) { m_editor.SetField(QStringLiteral("FlagContact"), on); });
    connect(pictureButton, &QPushButton::clicked, this, [this] { LoadPicture(); });
    new TPictureClick(m_picture, [this] { LoadPicture(); });
    connect(away, &QPushButton::clicked, this, [this] { MarkDay(true); });
    // A click or an arrow key picks one day; with Shift held, every day from the last one picked.
    const auto pick = [this](const QDate &day) {
        if ((QApplication::keyboardModifiers() & Qt::ShiftModifier) && m_anchor.isValid())
            SelectDays(m_anchor, day);
        else
            SelectDays(day, day);
    };
    connect(m_calendar, &QCalendarWidget::selectionChanged, this, [this, pick] { pick(m_calendar->selectedDate()); });
    // A click on the day already shown as picked changes no selection.
    connect(m_calendar, &QCalendarWidget::clicked, this, pick);
    connect(back, &QPushButton::clicked, this, [this] { MarkDay(false); });
}

void TfContactDlg::BuildFunctionsPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    m_functions = new QListWidget;
    m_functions->setObjectName(QStringLiteral("lstChkFunctions"));
    m_liturgies = new QListWidget;
    m_liturgies->setObjectName(QStringLiteral("lstchkLiturgies"));
    m_frequencies = new QListWidget;
    m_frequencies->setObjectName(QStringLiteral("lstChkFrequecy"));
    m_allLiturgies = new QCheckBox;
    m_allLiturgies->setObjectName(QStringLiteral("chkAllLiturgies"));
    m_allLiturgies->setProperty("textNumber", 1370);
    m_allFrequencies = new QCheckBox;
    m_allFrequencies->setObjectName(QStringLiteral("chkAllFrequencies"));
    m_allFrequencies->setProperty("textNumber", 1371);
    m_needed = new QCheckBox;
    m_needed->setObjectName(QStringLiteral("chkNeeded"));
    m_needed->setProperty("textNumber", 1365);
    grid->addWidget(Caption(m_labels, 1357), 0, 0);
    grid->addWidget(Caption(m_labels, 1368), 0, 1);
    grid->addWidget(Caption(m_labels, 1369), 0, 2);
    grid->addWidget(m_functions, 1, 0, 3, 1);
    grid->addWidget(m_allLiturgies, 1, 1);
    grid->addWidget(m_liturgies, 2, 1);
    grid->addWidget(m_allFrequencies, 1, 2);
    grid->addWidget(m_frequencies, 2, 2);
    grid->addWidget(m_needed, 3, 1, 1, 2);
    const std::pair<const char *, QListWidget *> inverts[] = {
        {"btnInverseFunctions", m_functions}, {"btnInverseLiturgy", m_liturgies}, {"btnInverseFrequency", m_frequencies}};
    for (int column = 0; column < 3; ++column) {
        auto *button = new QPushButton;
        button->setObjectName(QLatin1String(inverts[column].first));
        button->setProperty("textNumber", 1376);
        grid->addWidget(button, 4, column, Qt::AlignLeft);
        QListWidget *list = inverts[column].second;
        connect(button, &QPushButton::clicked, this, [this, list] { Invert(list); });
    }

    connect(m_functions, &QListWidget::currentItemChanged, this, [this] { UpdatePreferenceControls(); });
    connect(m_functions, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) { FunctionChanged(item); });
    connect(m_liturgies, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) { LiturgyChanged(item); });
    connect(m_frequencies, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) { FrequencyChanged(item); });
    connect(m_allLiturgies, &QCheckBox::clicked, this, [this](bool on) { AllLiturgiesClicked(on); });
    connect(m_allFrequencies, &QCheckBox::clicked, this, [this](bool on) { AllFrequenciesClicked(on); });
    connect(m_needed, &QCheckBox::clicked, this, [this](bool on) {
        if (m_busy || SelectedFunction().isEmpty())
            return;
        try {
            m_editor.SetCanFillIn(SelectedFunction(), on);
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("chkNeeded"), e);
        }
    });
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (index != 1 || m_functions->currentItem())
            return;
        for (int i = 0; i < m_functions->count(); ++i)
            if (m_functions->item(i)->checkState() == Qt::Checked) {
                m_functions->setCurrentRow(i);
                return;
            }
        if (m_functions->count() > 0)
            m_functions->setCurrentRow(0);
    });
}

void TfContactDlg::BuildSchedulePage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    m_schedule = new QTableView;
    m_schedule->setObjectName(QStringLiteral("grdAtt"));
    m_scheduleModel = new TDATableModel(&m_data.DAMinisterSchedule(), this);
    m_scheduleModel->SetReadOnly(true);
    m_schedule->setModel(m_scheduleModel);
    TRvContactsController::StyleGrid(m_schedule);
    layout->addWidget(m_schedule);
}

void TfContactDlg::SetTexts()
{
    m_pages->setTabText(0, Text(1326));
    m_pages->setTabText(1, Text(1327));
    m_options->setTabText(0, Text(1341));
    m_options->setTabText(1, Text(1342));
    for (QLabel *label : m_labels)
        label->setText(Text(label->property("textNumber").toInt()));
    for (QWidget *widget : findChildren<QWidget *>())
        if (widget->property("textNumber").isValid()) {
            const QString text = Text(widget->property("textNumber").toInt());
            if (auto *button = qobject_cast<QAbstractButton *>(widget))
                button->setText(text);
        }
    m_phoneChoice->clear();
    m_phoneChoice->addItems({Text(1317), Text(1318), Text(1319), Text(1331)});
    m_emailChoice->clear();
    m_emailChoice->addItems({Text(1320), Text(1321), Text(1322)});
    m_acClose->setText(Text(1302));
    m_acExit->setText(Text(203));
    m_acNew->setText(Text(1301));
    m_acPrint->setText(Text(1303));
    m_acHelp->setText(Text(1304));
    m_fileMenu->setTitle(Text(1201));
    m_helpMenu->setTitle(Text(1205));
    m_editor.SetTitleList(Text(1721));
    m_editor.SetSuffixList(Text(1722));
    m_scheduleModel->SetColumns({QStringLiteral("StartDateTime"), QStringLiteral("LiturgyTemplateName"),
                                 QStringLiteral("MinistryFunctionName"), QStringLiteral("MemberNotAttended")});
    m_scheduleModel->SetCaption(QStringLiteral("StartDateTime"), Text(1380));
    m_scheduleModel->SetCaption(QStringLiteral("LiturgyTemplateName"), Text(1381));
    m_scheduleModel->SetCaption(QStringLiteral("MinistryFunctionName"), Text(1382));
    m_scheduleModel->SetCaption(QStringLiteral("MemberNotAttended"), Text(1383));
}

// ---- loading ----

void TfContactDlg::Load(const QString &key, bool isNew)
{
    SetTexts();
    m_editor.SetContact(key);
    m_showNameDialog = false;
    LoadFields();
    const QString name = (m_editor.Field(QStringLiteral("FirstName")).toString() + QLatin1Char(' ') +
                          m_editor.Field(QStringLiteral("LastName")).toString()).trimmed();
    setWindowTitle(isNew ? Text(1301) : Text(1401) + name);
    m_pages->setTabText(2, name + Text(1329));
    if (!isNew) {
        TDACDSDataTable &d = m_data.DAContactDetails();
        SetStatusText(LastChangedText([this](int n) { return Text(n); }, d.AsString(QStringLiteral("Modifiedby")),
                                      d.Value(QStringLiteral("ModifiedDateTime")).toDateTime()));
    }
    RefreshDays();
    RefreshRules();
    FillFunctions();
    m_pages->setCurrentIndex(0);
    m_options->setCurrentIndex(0);
    UpdateActions();
}

void TfContactDlg::LoadFields()
{
    m_busy = true;
    m_fullName->setText(m_editor.FullName());
    m_street->setPlainText(m_editor.Field(QStringLiteral("Street")).toString());
    m_city->setText(m_editor.Field(QStringLiteral("city")).toString());
    m_zip->setText(m_editor.Field(QStringLiteral("zip")).toString());
    m_state->setText(m_editor.Field(QStringLiteral("state")).toString());
    BindPhone(1);
    BindEmail(1);
    const QVariant born = m_editor.Field(QStringLiteral("DateOfBirth"));
    m_born->SetDate(born.isNull() ? std::nullopt : std::optional<QDate>(born.toDateTime().date()));
    m_comments->setPlainText(m_editor.Field(QStringLiteral("Comments")).toString());
    m_reminder->setChecked(m_editor.Field(QStringLiteral("FlagContact")).toBool());
    const QImage picture = QImage::fromData(m_editor.Field(QStringLiteral("ContactPicture")).toByteArray());
    m_picture->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    m_picture->setText(picture.isNull() ? Text(1325) : QString());
    m_busy = false;
}

// ---- names ----

void TfContactDlg::FinishName()
{
    try {
        if (!m_editor.NameChanged())
            return;
        const bool incomplete = m_editor.FinishName(m_fullName->text());
        setWindowTitle(Text(1402) + m_fullName->text());
        m_pages->setTabText(2, m_fullName->text() + Text(1329));
        if (incomplete && m_showNameDialog)
            OpenNameDialog();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("SaveFullname"), e);
    }
}

void TfContactDlg::OpenNameDialog()
{
    try {
        TfNameDlg dialog([this](int n) { return Text(n); }, this);
        dialog.SetLists(Text(1721), Text(1722));
        dialog.SetParts(m_editor.Field(QStringLiteral("Title")).toString(), m_editor.Field(QStringLiteral("FirstName")).toString(),
                        m_editor.Field(QStringLiteral("MiddleName")).toString(), m_editor.Field(QStringLiteral("LastName")).toString(),
                        m_editor.Field(QStringLiteral("Suffix")).toString());
        dialog.chkShow()->setChecked(m_showNameDialog);
        connect(&dialog, &TfDlgPopUp::helpRequested, this,
                [this] { m_controller.ShowHelp(TContactRules::HelpTopic(0)); });
        if (dialog.exec() != QDialog::Accepted)
            return;
        m_showNameDialog = dialog.chkShow()->isChecked();
        m_fullName->setText(m_editor.StoreNameParts(dialog.Title(), dialog.FirstName(), dialog.MiddleName(), dialog.LastName(),
                                                    dialog.Suffix()));
        UpdateActions();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("btnNameClick"), e);
    }
}

void TfContactDlg::BindPhone(int tag)
{
    m_phoneTag = tag;
    m_phoneChoice->setCurrentIndex(tag - 1);
    m_phoneField->SetStored(m_editor.Field(TContactRules::PhoneField(tag)).toString());
}

void TfContactDlg::BindEmail(int tag)
{
    m_emailTag = tag;
    m_emailChoice->setCurrentIndex(tag - 1);
    m_email->setText(m_editor.Field(TContactRules::EmailField(tag)).toString());
}

void TfContactDlg::LoadPicture()
{
    try {
        const auto picture = ChoosePicture ? ChoosePicture() : ChoosePictureAsJpeg(this, Text(1325));
        if (!picture)
            return;
        // Shown only once it is stored in the contact.
        m_editor.SetField(QStringLiteral("ContactPicture"), picture->second);
        m_picture->setPixmap(QPixmap::fromImage(picture->first));
        m_picture->setText(QString());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("imgContactClick"), e);
        ShowMessage(this, QMessageBox::Warning, windowTitle(), Text(1449) + QString::fromUtf8(e.what()));
    }
}

// ---- availability ----

void TfContactDlg::RefreshDays()
{
    try {
        m_calendar->setDateTextFormat(QDate(), QTextCharFormat());
        QTextCharFormat free;
        free.setForeground(Qt::blue);
        QTextCharFormat away;
        away.setForeground(Qt::red);
        away.setFontWeight(QFont::Bold);
        for (int d = 1; d <= 7; ++d)
            m_calendar->setWeekdayTextFormat(Qt::DayOfWeek(d), free);
        m_days->clear();
        for (const QDate &day : m_editor.UnavailableDays()) {
            m_calendar->setDateTextFormat(day, away);
            m_days->addItem(QLocale().toString(day, QLocale::ShortFormat));
        }
        // The days picked together, marked all at once by the buttons.
        for (const QDate &day : m_selectedDays) {
            QTextCharFormat picked = m_calendar->dateTextFormat(day);
            picked.setBackground(palette().color(QPalette::Highlight).lighter(160));
            m_calendar->setDateTextFormat(day, picked);
        }
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("RefreshDataStorage"), e);
    }
}

QList<QDate> TfContactDlg::SelectedDays() const
{
    return m_selectedDays.isEmpty() ? QList<QDate>{m_calendar->selectedDate()} : m_selectedDays;
}

void TfContactDlg::SelectDays(const QDate &from, const QDate &to)
{
    m_anchor = from;
    m_selectedDays.clear();
    const QDate last = qMax(from, to);
    for (QDate day = qMin(from, to); day.isValid() && day <= last; day = day.addDays(1))
        m_selectedDays << day;
    const QSignalBlocker quiet(m_calendar);
    m_calendar->setSelectedDate(to);
    RefreshDays();
}

void TfContactDlg::MarkDay(bool unavailable)
{
    try {
        const QList<QDate> days = SelectedDays();
        if (unavailable)
            m_editor.MarkUnavailable(days);
        else
            m_editor.MarkAvailable(days);
        RefreshDays();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, unavailable ? QStringLiteral("AvailStorageEventInserted") : QStringLiteral("AvailStorageEventDeleted"), e);
    }
}

// ---- rules ----

void TfContactDlg::RefreshRules()
{
    try {
        for (int type = 0; type < TContactRules::RuleTypeCount; ++type)
            m_rules[type]->setText(m_editor.RuleText(type));
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("RefreshServingRule"), e);
    }
}

void TfContactDlg::PickRule(int type)
{
    try {
        TBusyCursor busy;
        const TSearchObjectList members = m_editor.RuleMembers(type);
        const TSearchObjectList self{TDAContacts::ContactSearchItem(m_editor.Key(), QString(), QString(), QString())};
        std::unique_ptr<TSearchObjectList> picked;
        if (!m_controller.PerformSearch(1, Text(6200), 0, true, &members, &self, picked) || !picked)
            return;
        m_editor.SetRule(type, *picked);
        RefreshRules();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("EditRule"), e);
    }
}

void TfContactDlg::ClearRule(int type)
{
    try {
        m_editor.ClearRule(type);
        RefreshRules();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("ClearRule"), e);
    }
}

// ---- functions ----

void TfContactDlg::FillFunctions()
{
    m_busy = true;
    try {
        m_functions->clear();
        TDACDSDataTable &functions = m_data.MinistryFunctions();
        if (!functions.GetActive())
            functions.Open();
        for (int row = 0; row < functions.GetRecordCount(); ++row) {
            const QString key = functions.ValueAt(row, functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"))).toString();
            auto *item = new QListWidgetItem(functions.ValueAt(row, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString());
            item->setData(KeyRole, key);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(m_editor.FunctionChecked(key) ? Qt::Checked : Qt::Unchecked);
            m_functions->addItem(item);
        }
        m_liturgies->clear();
        TDACDSDataTable &locations = m_data.Locations();
        locations.Close();
        locations.Open();
        const bool severalPlaces = locations.GetRecordCount() > 1;
        TDACDSDataTable &liturgies = m_data.LiturgyTemplates();
        liturgies.Close();
        liturgies.Open();
        liturgies.Sort(QStringLiteral("LiturgyIndex"));
        for (int row = 0; row < liturgies.GetRecordCount(); ++row) {
            QString text = liturgies.ValueAt(row, liturgies.FieldIndex(QStringLiteral("LiturgyTemplateName"))).toString();
            const QString place = liturgies.ValueAt(row, liturgies.FieldIndex(QStringLiteral("F_LocationID"))).toString();
            auto *item = new QListWidgetItem;
            for (int l = 0; l < locations.GetRecordCount(); ++l)
                if (locations.ValueAt(l, locations.FieldIndex(QStringLiteral("PK_LocationID"))).toString().compare(place, Qt::CaseInsensitive) == 0) {
                    const QString name = locations.ValueAt(l, locations.FieldIndex(QStringLiteral("LocationName"))).toString();
                    item->setToolTip(Text(1346) + name);
                    if (severalPlaces)
                        text += QStringLiteral(" (") + name + QLatin1Char(')');
                }
            item->setText(text);
            item->setData(KeyRole, liturgies.ValueAt(row, liturgies.FieldIndex(QStringLiteral("PK_LiturgyTemplateID"))));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            m_liturgies->addItem(item);
        }
        m_frequencies->clear();
        TDACDSDataTable &frequencies = m_data.DAServingFrequency();
        if (!frequencies.GetActive())
            frequencies.Open();
        frequencies.Sort(QStringLiteral("ServingFreqencyAsInteger"));
        for (int row = 0; row < frequencies.GetRecordCount(); ++row) {
            auto *item = new QListWidgetItem(frequencies.ValueAt(row, frequencies.FieldIndex(QStringLiteral("ServingFrequencyDescription"))).toString());
            item->setData(KeyRole, frequencies.ValueAt(row, frequencies.FieldIndex(QStringLiteral("PK_ServingFrequencyID"))));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            m_frequencies->addItem(item);
        }
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("FillFunctions"), e);
    }
    m_busy = false;
    UpdatePreferenceControls();
}

QString TfContactDlg::SelectedFunction() const
{
    const QListWidgetItem *item = m_functions->currentItem();
    return item ? item->data(KeyRole).toString() : QString();
}

void TfContactDlg::UpdatePreferenceControls()
{
    const bool wasBusy = m_busy;
    m_busy = true;
    try {
        const QString function = SelectedFunction();
        const bool on = !function.isEmpty() && m_editor.FunctionChecked(function);
        for (QWidget *w : std::initializer_list<QWidget *>{m_liturgies, m_frequencies, m_allLiturgies, m_allFrequencies, m_needed})
            w->setEnabled(on);
        const QStringList liturgies = on ? m_editor.Liturgies(function) : QStringList();
        const QStringList frequencies = on ? m_editor.Frequencies(function) : QStringList();
        for (int i = 0; i < m_liturgies->count(); ++i)
            m_liturgies->item(i)->setCheckState(liturgies.contains(m_liturgies->item(i)->data(KeyRole).toString(), Qt::CaseInsensitive)
                                                    ? Qt::Checked : Qt::Unchecked);
        for (int i = 0; i < m_frequencies->count(); ++i)
            m_frequencies->item(i)->setCheckState(
                frequencies.contains(m_frequencies->item(i)->data(KeyRole).toString(), Qt::CaseInsensitive) ? Qt::Checked : Qt::Unchecked);
        // No chosen liturgy means every liturgy.
        m_allLiturgies->setChecked(on && liturgies.isEmpty());
        m_allFrequencies->setChecked(on && frequencies.isEmpty());
        m_needed->setChecked(on && m_editor.CanFillIn(function));
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("EnableServingControls"), e);
    }
    m_busy = wasBusy;
}

void TfContactDlg::Invert(QListWidget *list)
{
    // The states as they were, since each change may reload the lists that depend on it.
    QList<bool> checked;
    for (int i = 0; i < list->count(); ++i)
        checked << (list->item(i)->checkState() == Qt::Checked);
    for (int i = 0; i < list->count() && i < checked.size(); ++i)
        if (list->item(i)->flags() & Qt::ItemIsEnabled)
            list->item(i)->setCheckState(checked[i] ? Qt::Unchecked : Qt::Checked);
}

void TfContactDlg::FunctionChanged(QListWidgetItem *item)
{
    if (m_busy || !item)
        return;
    try {
        const QString function = item->data(KeyRole).toString();
        if (item->checkState() == Qt::Checked)
            m_editor.CheckFunction(function);
        else
            m_editor.UncheckFunction(function);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, item->checkState() == Qt::Checked ? QStringLiteral("InsertMinistryFunction") : QStringLiteral("RemoveMinistryFunction"), e);
    }
    m_functions->setCurrentItem(item);
    UpdatePreferenceControls();
}

void TfContactDlg::LiturgyChanged(QListWidgetItem *item)
{
    if (m_busy || !item)
        return;
    try {
        m_editor.SetLiturgy(SelectedFunction(), item->data(KeyRole).toString(), item->checkState() == Qt::Checked);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("lstchkLiturgiesClickCheck"), e);
    }
    UpdatePreferenceControls();
}

void TfContactDlg::FrequencyChanged(QListWidgetItem *item)
{
    if (m_busy || !item)
        return;
    try {
        m_editor.SetFrequency(SelectedFunction(), item->data(KeyRole).toString(), item->checkState() == Qt::Checked);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("lstChkFrequecyClickCheck"), e);
    }
    UpdatePreferenceControls();
}

void TfContactDlg::AllLiturgiesClicked(bool checked)
{
    try {
        if (checked)
            m_editor.ChooseAllLiturgies(SelectedFunction());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acEnableLiturgyExecute"), e);
    }
    // Unchecking it alone means nothing; the box shows whether a liturgy is chosen.
    UpdatePreferenceControls();
}

void TfContactDlg::AllFrequenciesClicked(bool checked)
{
    try {
        if (checked)
            m_editor.ChooseAllFrequencies(SelectedFunction());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acEnableFrequencyExecute"), e);
    }
    UpdatePreferenceControls();
}

void TfContactDlg::UpdateActions()
{
    m_acClose->setEnabled(TContactRules::OkEnabled(m_fullName->text()));
    m_acNew->setEnabled(m_acClose->isEnabled());
    m_acPrint->setVisible(TContactRules::PrintVisible(m_pages->currentIndex()));
    m_acPrint->setEnabled(TContactRules::PrintEnabled(m_data.DAMinisterSchedule().GetRecordCount()));
}

// The host's report chooser offers preview and printer for the contact's schedule.
void TfContactDlg::PrintSchedule()
{
    try {
        const QStringList selection = m_editor.ScheduleSelection();
        m_controller.ShowReportDlg(TContactRules::ScheduleReportCategory, &selection, m_data.DAMinisterSchedule().GetRecordCount(),
                                   nullptr, 0, QString(), QString(), QString(), QString());
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acPrintExecute"), e);
    }
}

// ---- closing ----

void TfContactDlg::closeEvent(QCloseEvent *event)
{
    if (m_fullName->hasFocus())
        m_pages->setFocus(); // the name's validation runs first
    FinishName();
    if (ModalResult() != TModalResult::Ok && m_editor.HasChanges()) {
        const QMessageBox::StandardButtons buttons =
            isVisible() ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel : QMessageBox::Yes | QMessageBox::No;
        const QMessageBox::StandardButton answer = Prompt().Ask(this, QMessageBox::Warning, Text(1440), Text(1441), buttons, QMessageBox::Yes);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        // Inside a close the window is not closed a second time; only the result changes.
        SetModalResult(answer == QMessageBox::Yes ? TModalResult::Ok : TModalResult::Cancel);
    }
    TfBaseDialog::closeEvent(event);
}
