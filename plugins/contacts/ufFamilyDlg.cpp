#include "plugins/contacts/ufFamilyDlg.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactsViewRules.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uDialogCaptions.h"
#include "plugins/contacts/uDialogPicture.h"
#include "plugins/contacts/uPhoneField.h"

#include "dataaccess/TDACDSDataTable.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Quorva;

TfFamilyDlg::TfFamilyDlg(TDAContacts &contacts, TRvContactsController &controller, QWidget *parent)
    : TfBaseDialog(parent), m_data(contacts), m_controller(controller), m_editor(contacts)
{
    setObjectName(QStringLiteral("TfFamilyDlg"));
    auto *central = new QWidget(this);
    auto *columns = new QHBoxLayout(central);
    auto *form = new QFormLayout;
    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("edFullName"));
    form->addRow(Caption(m_labels, 5012), m_name);
    m_street = new QPlainTextEdit;
    m_street->setObjectName(QStringLiteral("mStreet"));
    m_street->setMaximumHeight(56);
    form->addRow(Caption(m_labels, 1267), m_street);
    m_city = new QLineEdit;
    m_city->setObjectName(QStringLiteral("edCity"));
    form->addRow(Caption(m_labels, 1264), m_city);
    m_state = new QLineEdit;
    m_state->setObjectName(QStringLiteral("edState"));
    m_state->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-zA-Z][a-zA-Z]")), m_state));
    form->addRow(Caption(m_labels, 1266), m_state);
    m_zip = new QLineEdit;
    m_zip->setObjectName(QStringLiteral("edZip"));
    TakePostcodes(m_zip);
    form->addRow(Caption(m_labels, 1265), m_zip);
    m_phoneChoice = new QComboBox;
    m_phoneChoice->setObjectName(QStringLiteral("btnPhoneSelect"));
    m_phone = new QLineEdit;
    m_phone->setObjectName(QStringLiteral("edPhone"));
    m_phoneField = new TPhoneField(m_phone);
    form->addRow(m_phoneChoice, m_phone);
    m_emailChoice = new QComboBox;
    m_emailChoice->setObjectName(QStringLiteral("btnEmailSelect"));
    m_email = new QLineEdit;
    m_email->setObjectName(QStringLiteral("edEmail"));
    form->addRow(m_emailChoice, m_email);
    m_comments = new QPlainTextEdit;
    m_comments->setObjectName(QStringLiteral("mComments"));
    form->addRow(Caption(m_labels, 1323), m_comments);
    columns->addLayout(form, 1);

    auto *right = new QVBoxLayout;
    m_picture = new QLabel;
    m_picture->setObjectName(QStringLiteral("imgContact"));
    m_picture->setFixedSize(120, 120);
    m_picture->setFrameShape(QFrame::Box);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setScaledContents(true);
    auto *pictureButton = new QPushButton;
    pictureButton->setProperty("textNumber", 1325);
    right->addWidget(m_picture);
    right->addWidget(pictureButton);
    m_members = new QTableView;
    m_members->setObjectName(QStringLiteral("grdTblView"));
    m_model = new TDATableModel(&m_data.DAContactList(), this);
    m_model->SetReadOnly(true);
    m_members->setModel(m_model);
    TRvContactsController::StyleGrid(m_members);
    m_members->setSelectionMode(QAbstractItemView::ExtendedSelection);
    right->addWidget(m_members, 1);
    columns->addLayout(right, 2);
    setCentralWidget(central);

    auto action = [this](const char *name) {
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    m_acClose = action("acClose");
    m_acExit = action("acExit");
    m_acExit->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acAddmember = action("acAddmember");
    m_acRemoveMember = action("acRemoveMember");
    m_acCopy = action("acCopy");
    m_acEditContact = action("acEditContact");
    m_acHelp = action("acHelp");
    m_acHelp->setShortcut(QKeySequence(Qt::Key_F1));
    m_acPrint = action("acPrint");
    m_acPrint->setShortcut(QKeySequence::Print);
    auto *bar = addToolBar(QStringLiteral("main"));
    bar->setMovable(false);
    for (QAction *a : {m_acClose, m_acExit, m_acAddmember, m_acRemoveMember, m_acCopy, m_acEditContact, m_acPrint, m_acHelp})
        bar->addAction(a);
    connect(m_acPrint, &QAction::triggered, this, [this] { Print(); });
    connect(m_acHelp, &QAction::triggered, this, [this] { m_controller.ShowHelp(TFamilyRules::HelpTopic); });

    connect(m_acClose, &QAction::triggered, this, [this] {
        try {
            m_editor.SetField(QStringLiteral("FamilyName"), m_name->text());
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("acCloseExecute"), e);
            return;
        }
        SetModalResult(TModalResult::Ok);
    });
    connect(m_acExit, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    connect(m_acAddmember, &QAction::triggered, this, [this] { AddMembers(); });
    connect(m_acRemoveMember, &QAction::triggered, this, [this] {
        try {
            const QModelIndex current = m_members->currentIndex();
            if (current.isValid())
                m_data.DAContactList().SetRecNo(current.row());
            m_editor.RemoveCurrentMember();
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("acRemoveMemberExecute"), e);
        }
        UpdateActions();
    });
    connect(m_acCopy, &QAction::triggered, this, [this] {
        try {
            const QModelIndex current = m_members->currentIndex();
            if (current.isValid())
                m_data.DAContactList().SetRecNo(current.row());
            m_editor.CopyAddressFromCurrentMember();
            LoadFields();
        } catch (const std::exception &e) {
            QorLogFailure(&m_controller, QStringLiteral("acCopyExecute"), e);
        }
    });
    connect(m_acEditContact, &QAction::triggered, this, [this] { EditMember(); });
    connect(m_members, &QTableView::doubleClicked, this, [this] {
        if (m_acEditContact->isEnabled())
            EditMember();
    });
    connect(m_members->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_editor.SetField(QStringLiteral("FamilyName"), text);
        UpdateActions();
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
    bind(m_city, [] { return QStringLiteral("FamilyCity"); });
    bind(m_state, [] { return QStringLiteral("FamilyState"); }, true);
    bind(m_zip, [] { return QStringLiteral("FamilyZip"); });
    bind(m_phone, [this] { return m_phoneTag == 2 ? QStringLiteral("FamilyPhone2") : QStringLiteral("FamilyPhone1"); }, false,
         [this] { return m_phoneField->Value(); });
    bind(m_email, [this] { return m_emailTag == 2 ? QStringLiteral("FamilyEmail2") : QStringLiteral("FamilyEmail1"); });
    connect(m_street, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            m_editor.SetField(QStringLiteral("FamilyStreet"), m_street->toPlainText());
    });
    connect(m_comments, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            m_editor.SetField(QStringLiteral("FamilyComments"), m_comments->toPlainText());
    });
    connect(m_phoneChoice, &QComboBox::activated, this, [this](int index) { BindPhone(index + 1); });
    connect(m_emailChoice, &QComboBox::activated, this, [this](int index) { BindEmail(index + 1); });
    connect(pictureButton, &QPushButton::clicked, this, [this] { LoadPicture(); });
    new TPictureClick(m_picture, [this] { LoadPicture(); });
    resize(820, 480);
}

TfFamilyDlg::~TfFamilyDlg() = default;

QString TfFamilyDlg::Text(int number) const
{
    return m_controller.GetText(number);
}

void TfFamilyDlg::Prepare(int mode)
{
    m_mode = mode;
    setWindowTitle(Text(mode != 0 ? 5010 : 5011));
    for (QLabel *label : m_labels)
        label->setText(Text(label->property("textNumber").toInt()));
    for (QPushButton *button : findChildren<QPushButton *>())
        if (button->property("textNumber").isValid())
            button->setText(Text(button->property("textNumber").toInt()));
    m_phoneChoice->addItems({Text(1317), Text(1318)});
    m_emailChoice->addItems({Text(1320), Text(1321)});
    m_acExit->setText(Text(203));
    m_acClose->setText(Text(1302));
    m_acAddmember->setText(Text(1110));
    m_acRemoveMember->setText(Text(1111));
    m_acCopy->setText(Text(1113));
    m_acEditContact->setText(Text(1450));
    m_acHelp->setText(Text(202));
    m_acPrint->setText(Text(1303));
    m_model->SetColumns({QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("Street"), QStringLiteral("Zip"),
                         QStringLiteral("City"), QStringLiteral("State")});
    m_model->SetCaption(QStringLiteral("FirstName"), Text(1252));
    m_model->SetCaption(QStringLiteral("LastName"), Text(1254));
    m_model->SetCaption(QStringLiteral("Street"), Text(1255));
    m_model->SetCaption(QStringLiteral("Zip"), Text(1270));
    m_model->SetCaption(QStringLiteral("City"), Text(1268));
    m_model->SetCaption(QStringLiteral("State"), Text(1269));
    m_data.DAContactList().Sort(QStringLiteral("LastName"));
    // A new family shows its stamps too: who made it and when.
    SetStatusText(LastChangedText([this](int n) { return Text(n); }, m_editor.Field(QStringLiteral("Modifiedby")).toString(),
                                  m_editor.Field(QStringLiteral("ModifiedDateTime")).toDateTime()));
    LoadFields();
    m_name->setFocus();
    UpdateActions();
}

void TfFamilyDlg::LoadFields()
{
    m_loading = true;
    m_name->setText(m_editor.Field(QStringLiteral("FamilyName")).toString());
    m_street->setPlainText(m_editor.Field(QStringLiteral("FamilyStreet")).toString());
    m_city->setText(m_editor.Field(QStringLiteral("FamilyCity")).toString());
    m_state->setText(m_editor.Field(QStringLiteral("FamilyState")).toString());
    m_zip->setText(m_editor.Field(QStringLiteral("FamilyZip")).toString());
    BindPhone(m_phoneTag);
    BindEmail(m_emailTag);
    m_comments->setPlainText(m_editor.Field(QStringLiteral("FamilyComments")).toString());
    const QImage picture = QImage::fromData(m_editor.Field(QStringLiteral("FamilyPicture")).toByteArray());
    m_picture->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    m_picture->setText(picture.isNull() ? Text(1325) : QString());
    m_loading = false;
}

void TfFamilyDlg::BindPhone(int tag)
{
    m_phoneTag = tag;
    m_phoneChoice->setCurrentIndex(tag - 1);
    m_phoneField->SetStored(m_editor.Field(tag == 2 ? QStringLiteral("FamilyPhone2") : QStringLiteral("FamilyPhone1")).toString());
}

void TfFamilyDlg::BindEmail(int tag)
{
    m_emailTag = tag;
    m_emailChoice->setCurrentIndex(tag - 1);
    m_email->setText(m_editor.Field(tag == 2 ? QStringLiteral("FamilyEmail2") : QStringLiteral("FamilyEmail1")).toString());
}

void TfFamilyDlg::AddMembers()
{
    try {
        const TSearchObjectList members = m_editor.Members();
        std::unique_ptr<TSearchObjectList> picked;
        if (!m_controller.PerformSearch(1, Text(2200), 0, true, &members, nullptr, picked) || !picked)
            return;
        m_editor.SetMembers(*picked);
        if (m_model->rowCount() > 0)
            m_members->setCurrentIndex(m_model->index(0, 0));
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acAddmemberExecute"), e);
    }
    UpdateActions();
}

void TfFamilyDlg::EditMember()
{
    try {
        const QModelIndex current = m_members->currentIndex();
        if (!current.isValid())
            return;
        m_data.DAContactList().SetRecNo(current.row());
        TBusyCursor busy;
        m_data.EditContact();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acEditContactExecute"), e);
    }
}

void TfFamilyDlg::LoadPicture()
{
    try {
        const auto picture = ChoosePictureAsJpeg(this, Text(1325));
        if (!picture)
            return;
        m_editor.SetField(QStringLiteral("FamilyPicture"), picture->second);
        LoadFields();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("imgContactClick"), e);
        ShowMessage(this, QMessageBox::Warning, windowTitle(), Text(1449) + QString::fromUtf8(e.what()));
    }
}

void TfFamilyDlg::Print()
{
    try {
        // The report reads the family as the server has it.
        const QStringList selection = ContactsViewRules::SelectionConditions(QStringLiteral("PK_FamilyID"), {m_editor.Key()});
        m_controller.ShowReportDlg(TFamilyRules::ReportCategory, &selection, 1, nullptr, 0, {}, {}, {}, {});
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acPrintExecute"), e);
    }
}

void TfFamilyDlg::UpdateActions()
{
    const bool named = TFamilyRules::OkEnabled(m_name->text());
    const int selected = m_members->selectionModel() ? int(m_members->selectionModel()->selectedRows().size()) : 0;
    m_acClose->setEnabled(named);
    m_acAddmember->setEnabled(named);
    m_acRemoveMember->setEnabled(selected > 0);
    m_acCopy->setEnabled(selected > 0);
    m_acEditContact->setEnabled(selected == 1 && m_mode == 1);
    // A new family is printed once it is saved: until then the server has nothing of it.
    m_acPrint->setEnabled(m_mode == 1);
}

void TfFamilyDlg::closeEvent(QCloseEvent *event)
{
    if (ModalResult() != TModalResult::Ok && m_editor.NeedsCloseQuestion(m_name->text())) {
        const QMessageBox::StandardButton answer = Prompt().Ask(this, QMessageBox::Warning, Text(1440), Text(1441),
                                                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        // Inside a close the window is not closed a second time; only the result changes.
        SetModalResult(answer == QMessageBox::Yes ? TModalResult::Ok : TModalResult::Cancel);
    }
    TfBaseDialog::closeEvent(event);
}
