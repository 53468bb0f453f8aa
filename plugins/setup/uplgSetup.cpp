#include "plugins/setup/uplgSetup.h"

#include "plugins/setup/hcRvSetupController.h"
#include "plugins/setup/uDASetup.h"

#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "ui/PromptService.h"
#include "ui/uStyleForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

using namespace Quorva;
using namespace SetupRules;

namespace {

constexpr int kIdRole = Qt::UserRole;           // the node's key
constexpr int kSecondRole = Qt::UserRole + 1;   // a link's function, a liturgy's location
constexpr int kCountRole = Qt::UserRole + 2;    // a link's count
constexpr int kRights = 0x7FFFFFFF;
const QSize kWizardSize(700, 580);

const QString kLocationID = QStringLiteral("PK_LocationID");
const QString kLocationName = QStringLiteral("LocationName");
const QString kLiturgyID = QStringLiteral("PK_LiturgyTemplateID");
const QString kLiturgyName = QStringLiteral("LiturgyTemplateName");
const QString kTemplateID = QStringLiteral("PK_MinistryTemplateID");
const QString kTemplateName = QStringLiteral("MinistryTemplateName");
const QString kFunctionID = QStringLiteral("PK_MinistryFunctionID");
const QString kFunctionName = QStringLiteral("MinistryFunctionName");
const QString kLinkID = QStringLiteral("PK_LinkID");
const QString kLinkTemplate = QStringLiteral("F_MinistryTemplateID");
const QString kLinkFunction = QStringLiteral("F_MinistryFunctionID");
const QString kLinkCount = QStringLiteral("MinistryFunctionCount");

void EditCurrent(TDACDSDataTable &t)
{
    if (!t.IsEditing())
        t.Edit();
}

void FilterOn(TDACDSDataTable &t, const QString &field, const QString &value)
{
    t.SetFilter([field, value](const TDACDSDataTable::TDARecord &r) { return r.Value(field).toString() == value; });
}

// Every row's key and one more field, in table order, without leaving the cursor moved.
QList<QPair<QString, QString>> Rows(const TDACDSDataTable &t, const QString &keyField, const QString &field)
{
    QList<QPair<QString, QString>> rows;
    const int key = t.FieldIndex(keyField);
    const int other = t.FieldIndex(field);
    for (int i = 0; i < t.GetRecordCount(); ++i)
        rows << qMakePair(t.ValueAt(i, key).toString(), t.ValueAt(i, other).toString());
    return rows;
}

// The key of the first row whose name is empty; empty when every row has a name.
QString FirstUnnamedKey(const TDACDSDataTable &t, const QString &keyField, const QString &nameField)
{
    const QList<QPair<QString, QString>> rows = Rows(t, keyField, nameField);
    QStringList names;
    for (const auto &row : rows)
        names << row.second;
    const int unnamed = FirstUnnamed(names);
    return unnamed < 0 ? QString() : rows[unnamed].first;
}

void DeleteShown(TDACDSDataTable &t)
{
    while (t.GetRecordCount() > 0) {
        t.First();
        t.Delete();
    }
}

// The template tree takes functions dragged from the function list.
class TTemplateTree : public QTreeWidget
{
public:
    std::function<void(QTreeWidgetItem *target, QTreeWidgetItem *function)> Dropped;
    QTreeWidget *Source = nullptr;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { Accept(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { Accept(event); }
    void dropEvent(QDropEvent *event) override
    {
        QTreeWidgetItem *target = itemAt(event->position().toPoint());
        if (event->source() == Source && target && Source->currentItem() && Dropped) {
            event->acceptProposedAction();
            Dropped(target, Source->currentItem());
        } else {
            event->ignore();
        }
    }

private:
    void Accept(QDropEvent *event)
    {
        if (event->source() == Source)
            event->acceptProposedAction();
        else
            event->ignore();
    }
};

QPushButton *Button(const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    return button;
}

template <class W> W *Named(const QString &name, QWidget *parent)
{
    auto *widget = new W(parent);
    widget->setObjectName(name);
    return widget;
}

} // namespace

IHYPlugin *CreateInitialSetupPlugin()
{
    return new TplgInitialSetup;
}

TplgInitialSetup::TplgInitialSetup() : THYVisualPlugin(TRvSetupController::SetupPlugin)
{
    setObjectName(QStringLiteral("plgInitialSetup"));
    m_step = 1;
    BuildPages();
}

TDASetup &TplgInitialSetup::Data() const
{
    TRvSetupController *controller = RvSetup();
    if (!controller || !controller->DataModule())
        throw std::runtime_error("The set-up module is not loaded");
    return *controller->DataModule();
}

QString TplgInitialSetup::Text(int number, bool emptyIfMissing) const
{
    TRvSetupController *controller = RvSetup();
    return controller ? controller->Text(number, emptyIfMissing) : QString::number(number);
}

void TplgInitialSetup::BuildPages()
{
    setMinimumSize(kWizardSize);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 8);
    m_pages = Named<QStackedWidget>(QStringLiteral("pnlPages"), this);
    outer->addWidget(m_pages, 1);

    auto page = [this](int index) {
        auto *panel = Named<QWidget>(QStringLiteral("pnlStep%1").arg(index + 1), m_pages);
        auto *layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        m_images[index] = Named<QLabel>(QStringLiteral("imgStep%1").arg(index + 1), panel);
        m_images[index]->setScaledContents(true);
        m_images[index]->setFixedHeight(110);
        layout->addWidget(m_images[index]);
        auto *body = new QWidget(panel);
        layout->addWidget(body, 1);
        m_pages->addWidget(panel);
        return body;
    };

    // Page 1: the account.
    {
        QWidget *body = page(0);
        auto *form = new QGridLayout(body);
        form->setContentsMargins(24, 16, 24, 8);
        form->setVerticalSpacing(10);
        m_lblUserName = Named<QLabel>(QStringLiteral("lblUserName"), body);
        m_lblPassword1 = Named<QLabel>(QStringLiteral("lblPassword1"), body);
        m_lblPassword2 = Named<QLabel>(QStringLiteral("lblPassword2"), body);
        m_edUserName = Named<QLineEdit>(QStringLiteral("edUserName"), body);
        m_edUserName->setValidator(new QRegularExpressionValidator(UserNameMask(), m_edUserName));
        m_edPassword1 = Named<QLineEdit>(QStringLiteral("edPassword1"), body);
        m_edPassword1->setValidator(new QRegularExpressionValidator(PasswordMask(), m_edPassword1));
        m_edPassword1->setEchoMode(QLineEdit::Password);
        m_edPassword2 = Named<QLineEdit>(QStringLiteral("edPassword2"), body);
        m_edPassword2->setEchoMode(QLineEdit::Password);
        m_lblExplanation = Named<QLabel>(QStringLiteral("lblExplanation"), body);
        // Why Next waits, under the fields that hold it back.
        m_lblNextHint = Named<QLabel>(QStringLiteral("lblNextHint"), body);
        m_lblNextHint->setWordWrap(true);
        m_lblNextHint->setStyleSheet(QStringLiteral("color: #b00020;"));
        m_lblExplanation->setWordWrap(true);
        m_chkWindowsLogon = Named<QCheckBox>(QStringLiteral("chkWindowsLogon"), body);
        m_chkWindowsLogon->setChecked(true);
        form->addWidget(m_lblUserName, 0, 0);
        form->addWidget(m_edUserName, 0, 1);
        form->addWidget(m_lblPassword1, 1, 0);
        form->addWidget(m_edPassword1, 1, 1);
        form->addWidget(m_lblPassword2, 2, 0);
        form->addWidget(m_edPassword2, 2, 1);
        form->setRowMinimumHeight(3, 12);
        form->addWidget(m_lblNextHint, 3, 1);
        form->addWidget(m_lblExplanation, 4, 0, 1, 2);
        form->addWidget(m_chkWindowsLogon, 5, 0, 1, 2);
        form->setColumnStretch(1, 1);
        form->setRowStretch(6, 1);
        for (QLineEdit *edit : {m_edUserName, m_edPassword1, m_edPassword2})
            connect(edit, &QLineEdit::textChanged, this, [this] { UpdateActions(); });
    }

    // Page 2: the locations.
    {
        QWidget *body = page(1);
        auto *grid = new QGridLayout(body);
        grid->setContentsMargins(16, 12, 16, 8);
        m_lblLocations = Named<QLabel>(QStringLiteral("lblLocations"), body);
        m_lstLocations = Named<QListWidget>(QStringLiteral("lstLocations"), body);
        m_btnAddLocation = Button(QStringLiteral("btnAddLocation"), body);
        m_btnRemoveLocation = Button(QStringLiteral("btnRemoveLocation"), body);
        auto *fields = new QFormLayout;
        const QStringList names = {QStringLiteral("lblLocationName"), QStringLiteral("lblLocationAddress"),
                                   QStringLiteral("lblLocationPhone1"), QStringLiteral("lblLocationFax"),
                                   QStringLiteral("lblLocationEMail"), QStringLiteral("lblLocationWeb")};
        for (int i = 0; i < 6; ++i)
            m_lblLocationFields[i] = Named<QLabel>(names[i], body);
        m_edLocationName = Named<QLineEdit>(QStringLiteral("edLocationName"), body);
        m_edLocationName->setMaxLength(75);
        m_memLocationAddress = Named<QPlainTextEdit>(QStringLiteral("memLocationAddress"), body);
        m_memLocationAddress->setMaximumHeight(70);
        m_edPhone1 = Named<QLineEdit>(QStringLiteral("edLocationPhone1"), body);
        m_edFax = Named<QLineEdit>(QStringLiteral("edLocationFax"), body);
        m_edEMail = Named<QLineEdit>(QStringLiteral("edLocationEMail"), body);
        m_edWeb = Named<QLineEdit>(QStringLiteral("edLocationWeb"), body);
        fields->addRow(m_lblLocationFields[0], m_edLocationName);
        fields->addRow(m_lblLocationFields[1], m_memLocationAddress);
        fields->addRow(m_lblLocationFields[2], m_edPhone1);
        fields->addRow(m_lblLocationFields[3], m_edFax);
        fields->addRow(m_lblLocationFields[4], m_edEMail);
        fields->addRow(m_lblLocationFields[5], m_edWeb);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(m_btnAddLocation);
        buttons->addWidget(m_btnRemoveLocation);
        buttons->addStretch();
        grid->addWidget(m_lblLocations, 0, 0);
        grid->addWidget(m_lstLocations, 1, 0);
        grid->addLayout(buttons, 2, 0);
        grid->addLayout(fields, 1, 1, 2, 1);
        grid->setColumnStretch(0, 2);
        grid->setColumnStretch(1, 3);
        connect(m_lstLocations, &QListWidget::itemClicked, this, [this] { LocationListClick(); });
        connect(m_lstLocations, &QListWidget::currentRowChanged, this, [this] {
            if (!m_filling)
                LocationListClick();
        });
        connect(m_btnAddLocation, &QPushButton::clicked, this, [this] { acAddLocationExecute(); });
        connect(m_btnRemoveLocation, &QPushButton::clicked, this, [this] { acRemoveLocationExecute(); });
        connect(m_edLocationName, &QLineEdit::textEdited, this, [this](const QString &text) {
            LocationEdited(kLocationName, text);
            if (QListWidgetItem *item = m_lstLocations->currentItem())
                item->setText(text);
        });
        connect(m_memLocationAddress, &QPlainTextEdit::textChanged, this,
                [this] { LocationEdited(QStringLiteral("LocationAddress"), m_memLocationAddress->toPlainText()); });
        const QList<QPair<QLineEdit *, QString>> bound = {{m_edPhone1, QStringLiteral("LocationPhone1")},
                                                          {m_edFax, QStringLiteral("LocationFax")},
                                                          {m_edEMail, QStringLiteral("LocationEMail")},
                                                          {m_edWeb, QStringLiteral("LocationWeb")}};
        for (const auto &[edit, field] : bound) {
            const QString name = field;
            connect(edit, &QLineEdit::textEdited, this, [this, name](const QString &text) { LocationEdited(name, text); });
        }
    }

    // Page 3: the liturgies.
    {
        QWidget *body = page(2);
        auto *grid = new QGridLayout(body);
        grid->setContentsMargins(16, 12, 16, 8);
        m_lblLiturgies = Named<QLabel>(QStringLiteral("lblLiturgies"), body);
        m_tvLiturgies = Named<QTreeWidget>(QStringLiteral("tvLiturgies"), body);
        m_tvLiturgies->setHeaderHidden(true);
        m_tvLiturgies->setRootIsDecorated(false);
        m_lblLiturgyName = Named<QLabel>(QStringLiteral("lblLiturgyName"), body);
        m_lblLiturgyLocation = Named<QLabel>(QStringLiteral("lblLiturgyLocation"), body);
        m_lblLiturgyComments = Named<QLabel>(QStringLiteral("lblLiturgyComments"), body);
        m_edLiturgyName = Named<QLineEdit>(QStringLiteral("edLiturgyName"), body);
        m_edLiturgyName->setMaxLength(75);
        m_cbLocation = Named<QComboBox>(QStringLiteral("cbLocation"), body);
        m_memLiturgyComments = Named<QPlainTextEdit>(QStringLiteral("memLiturgyComments"), body);
        m_btnAddLiturgy = Button(QStringLiteral("btnAddLiturgy"), body);
        m_btnRemoveLiturgy = Button(QStringLiteral("btnRemoveLiturgy"), body);
        auto *fields = new QFormLayout;
        fields->addRow(m_lblLiturgyName, m_edLiturgyName);
        fields->addRow(m_lblLiturgyLocation, m_cbLocation);
        fields->addRow(m_lblLiturgyComments, m_memLiturgyComments);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(m_btnAddLiturgy);
        buttons->addWidget(m_btnRemoveLiturgy);
        buttons->addStretch();
        grid->addWidget(m_lblLiturgies, 0, 0);
        grid->addWidget(m_tvLiturgies, 1, 0);
        grid->addLayout(buttons, 2, 0);
        grid->addLayout(fields, 1, 1, 2, 1);
        grid->setColumnStretch(0, 1);
        grid->setColumnStretch(1, 1);
        connect(m_tvLiturgies, &QTreeWidget::currentItemChanged, this, [this] {
            if (!m_addingLiturgy && !m_filling)
                LiturgySelected();
            UpdateActions();
        });
        connect(m_edLiturgyName, &QLineEdit::textEdited, this, [this] { LiturgyEdited(); });
        connect(m_cbLocation, &QComboBox::activated, this, [this] { LiturgyEdited(); });
        connect(m_memLiturgyComments, &QPlainTextEdit::textChanged, this, [this] {
            if (m_filling)
                return;
            try {
                TDACDSDataTable &t = Data().LiturgyTemplates;
                if (!m_tvLiturgies->currentItem() || t.GetRecordCount() == 0)
                    return;
                EditCurrent(t);
                t.SetValue(QStringLiteral("LiturgyTemplateComments"), m_memLiturgyComments->toPlainText());
            } catch (const std::exception &e) {
                QorLogFailure(RvSetup(), QStringLiteral("LiturgyTemplateComments"), e);
            }
        });
        connect(m_btnAddLiturgy, &QPushButton::clicked, this, [this] { acAddLiturgyExecute(); });
        connect(m_btnRemoveLiturgy, &QPushButton::clicked, this, [this] { acRemoveLiturgyExecute(); });
    }

    // Page 4: functions and templates.
    {
        QWidget *body = page(3);
        auto *grid = new QGridLayout(body);
        grid->setContentsMargins(16, 12, 16, 8);
        m_lblTemplates = Named<QLabel>(QStringLiteral("lblTemplates"), body);
        m_lblFunctions = Named<QLabel>(QStringLiteral("lblFunctions"), body);
        auto *templates = new TTemplateTree;
        templates->setParent(body);
        templates->setObjectName(QStringLiteral("tvTemplates"));
        m_tvTemplates = templates;
        m_tvFunctions = Named<QTreeWidget>(QStringLiteral("tvFunctions"), body);
        for (QTreeWidget *tree : {m_tvTemplates, m_tvFunctions}) {
            tree->setHeaderHidden(true);
            tree->setEditTriggers(QAbstractItemView::EditKeyPressed);
        }
        m_tvFunctions->setRootIsDecorated(false);
        m_tvFunctions->setDragEnabled(true);
        m_tvFunctions->setDragDropMode(QAbstractItemView::DragOnly);
        m_tvTemplates->setAcceptDrops(true);
        m_tvTemplates->setDragDropMode(QAbstractItemView::DropOnly);
        templates->Source = m_tvFunctions;
        templates->Dropped = [this](QTreeWidgetItem *target, QTreeWidgetItem *function) {
            try {
                AddFunctionToTemplate(target, function);
            } catch (const std::exception &e) {
                QorLogFailure(RvSetup(), QStringLiteral("tvMinistriesDragDrop"), e);
            }
            UpdateActions();
        };
        m_btnAddFunction = Button(QStringLiteral("btnAddFunctionToTemplate"), body);
        m_btnRemoveFunction = Button(QStringLiteral("btnRemoveFunctionFromTemplate"), body);
        m_btnNewFunction = Button(QStringLiteral("btnNewFunction"), body);
        m_btnDeleteFunction = Button(QStringLiteral("btnDeleteFunction"), body);
        m_btnAddTemplate = Button(QStringLiteral("btnAddTemplate"), body);
        m_btnRemoveTemplate = Button(QStringLiteral("btnRemoveTemplate"), body);
        m_btnAddFunction->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
        m_btnRemoveFunction->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
        auto *middle = new QVBoxLayout;
        middle->addStretch();
        middle->addWidget(m_btnAddFunction);
        middle->addWidget(m_btnRemoveFunction);
        middle->addStretch();
        auto *templateButtons = new QHBoxLayout;
        templateButtons->addWidget(m_btnAddTemplate);
        templateButtons->addWidget(m_btnRemoveTemplate);
        templateButtons->addStretch();
        auto *functionButtons = new QHBoxLayout;
        functionButtons->addWidget(m_btnNewFunction);
        functionButtons->addWidget(m_btnDeleteFunction);
        functionButtons->addStretch();
        grid->addWidget(m_lblTemplates, 0, 0);
        grid->addWidget(m_lblFunctions, 0, 2);
        grid->addWidget(m_tvTemplates, 1, 0);
        grid->addLayout(middle, 1, 1);
        grid->addWidget(m_tvFunctions, 1, 2);
        grid->addLayout(templateButtons, 2, 0);
        grid->addLayout(functionButtons, 2, 2);
        grid->setColumnStretch(0, 1);
        grid->setColumnStretch(2, 1);
        connect(m_tvTemplates, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
        connect(m_tvFunctions, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
        connect(m_tvTemplates, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) { TemplateItemChanged(item); });
        connect(m_tvFunctions, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) { FunctionItemChanged(item); });
        connect(m_tvTemplates, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
            if (item && item->parent()) {
                try {
                    RemoveMinistryFunction(item);
                } catch (const std::exception &e) {
                    QorLogFailure(RvSetup(), QStringLiteral("RemoveMinistryFunction"), e);
                }
                UpdateActions();
            }
        });
        connect(m_tvFunctions, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
            try {
                AddFunctionToTemplate(m_tvTemplates->currentItem(), item);
            } catch (const std::exception &e) {
                QorLogFailure(RvSetup(), QStringLiteral("tvFunctionsDblClick"), e);
            }
            UpdateActions();
        });
        connect(m_btnAddFunction, &QPushButton::clicked, this, [this] { acAddFunctionToTemplateExecute(); });
        connect(m_btnRemoveFunction, &QPushButton::clicked, this, [this] { acRemoveFunctionFromTemplateExecute(); });
        connect(m_btnNewFunction, &QPushButton::clicked, this, [this] { acNewFunctionExecute(); });
        connect(m_btnDeleteFunction, &QPushButton::clicked, this, [this] { acDeleteFunctionExecute(); });
        connect(m_btnAddTemplate, &QPushButton::clicked, this, [this] { acAddTemplateExecute(); });
        connect(m_btnRemoveTemplate, &QPushButton::clicked, this, [this] { acRemoveTemplateExecute(); });
    }

    // The navigation row.
    auto *row = new QHBoxLayout;
    row->setContentsMargins(12, 0, 12, 0);
    m_btnCancel = Button(QStringLiteral("btnCancel"), this);
    m_btnCancel->setShortcut(QKeySequence(Qt::Key_Escape));
    m_btnPrevious = Button(QStringLiteral("btnPrevious"), this);
    m_btnNext = Button(QStringLiteral("btnNext"), this);
    m_btnNext->setDefault(true);
    m_btnFinish = Button(QStringLiteral("btnFinish"), this);
    row->addWidget(m_btnCancel);
    row->addStretch();
    row->addWidget(m_btnPrevious);
    row->addWidget(m_btnNext);
    row->addWidget(m_btnFinish);
    outer->addLayout(row);
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { acCancelExecute(); });
    connect(m_btnPrevious, &QPushButton::clicked, this, [this] { acPreviousExecute(); });
    connect(m_btnNext, &QPushButton::clicked, this, [this] { acNextExecute(); });
    connect(m_btnFinish, &QPushButton::clicked, this, [this] { acFinishExecute(); });
    UpdateActions();
}

void TplgInitialSetup::ShowParented(QWidget *parent)
{
    THYVisualPlugin::ShowParented(parent);
    // The host's window is smaller than the wizard: it grows and stays centred on its screen.
    QWidget *host = window();
    if (host == this)
        return;
    if (!windowTitle().isEmpty())
        host->setWindowTitle(windowTitle());
    host->resize(host->size().expandedTo(kWizardSize));
    if (QScreen *screen = host->screen())
        host->move(screen->availableGeometry().center() - host->rect().center());
}

void TplgInitialSetup::Prepare()
{
    try {
        m_resultCode = 2;
        TRvSetupController *controller = RvSetup();
        if (!controller)
            throw std::runtime_error("The set-up module is not loaded");
        controller->LoadLanguage();
        LoadPictures();
        SetCaptions();
        m_edUserName->setText(m_userName.isEmpty() ? TvoSysInfo::GetUserName() : m_userName);
        m_edPassword1->clear();
        m_edPassword2->clear();
        TDASetup &setup = Data();
        setup.Locations.Open();
        setup.LiturgyTemplates.Open();
        setup.MinistryTemplates.Open();
        setup.LnkMinistryTemplateToMinistryFunction.Open();
        setup.MinistryFunctions.Open();
        FillFunctionList();
        if (setup.Locations.GetRecordCount() == 0)
            acAddLocationExecute();
        doStep();
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("InitializeSetupForm"), e);
    }
}

void TplgInitialSetup::LoadPictures()
{
    const TVOResourceHandler *texts = RvSetup() ? RvSetup()->LanguageModule() : nullptr;
    if (!texts)
        return;
    for (int page = 1; page <= 4; ++page) {
        const QImage image = GetImage(*texts, PageImage(page));
        if (!image.isNull())
            m_images[page - 1]->setPixmap(QPixmap::fromImage(image));
    }
}

void TplgInitialSetup::SetCaptions()
{
    setWindowTitle(Text(1000));
    if (window() != this)
        window()->setWindowTitle(Text(1000));
    m_btnCancel->setText(Text(201));
    m_btnPrevious->setText(Text(204));
    m_btnNext->setText(Text(203));
    m_btnFinish->setText(Text(205));
    m_lblUserName->setText(Text(1003));
    m_lblPassword1->setText(Text(1004));
    m_lblPassword2->setText(Text(1005));
    m_lblExplanation->setText(Text(1007));
    m_chkWindowsLogon->setText(Text(1008));
    m_lblLocations->setText(Text(1020));
    m_btnAddLocation->setText(Text(1021));
    m_btnRemoveLocation->setText(Text(1022));
    for (int i = 0; i < 6; ++i)
        m_lblLocationFields[i]->setText(Text(1023 + i));
    m_lblLiturgies->setText(Text(1507));
    m_lblLiturgyName->setText(Text(1023));
    m_lblLiturgyLocation->setText(Text(1506));
    m_lblLiturgyComments->setText(Text(1508));
    m_btnAddLiturgy->setText(Text(1021));
    m_btnRemoveLiturgy->setText(Text(1022));
    m_lblTemplates->setText(Text(1051));
    m_lblFunctions->setText(Text(1052));
    m_btnAddFunction->setToolTip(Text(1053));
    m_btnRemoveFunction->setToolTip(Text(1054));
    m_btnNewFunction->setText(Text(1055));
    m_btnDeleteFunction->setText(Text(1056));
    m_btnAddTemplate->setText(Text(1021));
    m_btnRemoveTemplate->setText(Text(1022));
}

SetupRules::TWizardState TplgInitialSetup::State() const
{
    TWizardState state;
    state.Step = m_step;
    state.UserName = m_edUserName->text();
    state.Password1 = m_edPassword1->text();
    state.Password2 = m_edPassword2->text();
    state.LocationItems = m_lstLocations->count();
    state.LiturgyNodes = m_tvLiturgies->topLevelItemCount();
    for (int i = 0; i < m_tvTemplates->topLevelItemCount() && !state.TemplateHoldsFunction; ++i)
        state.TemplateHoldsFunction = m_tvTemplates->topLevelItem(i)->childCount() > 0;
    return state;
}

void TplgInitialSetup::UpdateActions()
{
    const TWizardState state = State();
    m_btnNext->setEnabled(NextEnabled(state));
    const int hint = NextHint(state);
    m_lblNextHint->setText(hint ? Text(hint) : QString());
    m_lblNextHint->setVisible(hint != 0);
    m_btnPrevious->setEnabled(PreviousEnabled(state));
    m_btnFinish->setEnabled(FinishEnabled(state));
    m_btnRemoveLocation->setEnabled(m_lstLocations->currentItem() != nullptr);
    m_btnRemoveLiturgy->setEnabled(m_tvLiturgies->currentItem() != nullptr);
    QTreeWidgetItem *node = m_tvTemplates->currentItem();
    m_btnAddFunction->setEnabled(node && m_tvFunctions->currentItem());
    m_btnRemoveFunction->setEnabled(node && node->parent());
    m_btnRemoveTemplate->setEnabled(node && !node->parent());
    m_btnDeleteFunction->setEnabled(m_tvFunctions->currentItem() != nullptr);
}

void TplgInitialSetup::acNextExecute()
{
    if (!NextEnabled(State()) || !NamesGiven())
        return;
    ++m_step;
    doStep();
}

bool TplgInitialSetup::NamesGiven()
{
    try {
        TDASetup &setup = Data();
        if (m_step == 2) {
            setup.Locations.PostIfEditing();
            const QString unnamed = FirstUnnamedKey(setup.Locations, kLocationID, kLocationName);
            if (unnamed.isEmpty())
                return true;
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1221));
            for (int i = 0; i < m_lstLocations->count(); ++i)
                if (m_lstLocations->item(i)->data(kIdRole).toString() == unnamed)
                    m_lstLocations->setCurrentRow(i);
            LocationListClick();
            FocusName(m_edLocationName);
            return false;
        }
        if (m_step == 3) {
            setup.LiturgyTemplates.PostIfEditing();
            const QString unnamed = FirstUnnamedKey(setup.LiturgyTemplates, kLiturgyID, kLiturgyName);
            if (unnamed.isEmpty())
                return true;
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1222));
            for (int i = 0; i < m_tvLiturgies->topLevelItemCount(); ++i)
                if (m_tvLiturgies->topLevelItem(i)->data(0, kIdRole).toString() == unnamed)
                    m_tvLiturgies->setCurrentItem(m_tvLiturgies->topLevelItem(i));
            FocusName(m_edLiturgyName);
            return false;
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("acNextExecute"), e);
        return false;
    }
    return true;
}

void TplgInitialSetup::acPreviousExecute()
{
    if (!PreviousEnabled(State()))
        return;
    --m_step;
    doStep();
}

void TplgInitialSetup::acCancelExecute()
{
    if (auto *form = qobject_cast<TfStyleForm *>(window()))
        form->SetModalResult(TModalResult::Cancel);
    else if (window() != this)
        window()->close();
}

void TplgInitialSetup::doStep()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_pages->setCurrentIndex(m_step - 1);
        switch (m_step) {
        case 1:
            m_edUserName->setFocus();
            break;
        case 2:
            FillLocationList();
            LocationListClick();
            if (m_edLocationName->isVisible())
                FocusName(m_edLocationName);
            break;
        case 3:
            PrepareLiturgyTab();
            QApplication::processEvents();
            if (m_tvLiturgies->topLevelItemCount() > 0)
                m_tvLiturgies->setCurrentItem(m_tvLiturgies->topLevelItem(0));
            m_tvLiturgies->setFocus();
            break;
        default:
            PrepareMinistryTab();
            QApplication::processEvents();
            if (m_tvTemplates->topLevelItemCount() > 0)
                m_tvTemplates->setCurrentItem(m_tvTemplates->topLevelItem(0));
            m_tvTemplates->setFocus();
            if (m_tvFunctions->topLevelItemCount() > 0)
                m_tvFunctions->scrollToItem(m_tvFunctions->topLevelItem(0));
            break;
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("doStep"), e);
    }
    UpdateActions();
    QApplication::restoreOverrideCursor();
}

void TplgInitialSetup::FocusName(QLineEdit *edit)
{
    edit->setFocus();
    edit->selectAll();
}

// ---- page 2 ------------------------------------------------------------------------------------

void TplgInitialSetup::FillLocationList()
{
    try {
        TDACDSDataTable &t = Data().Locations;
        t.PostIfEditing();
        // After a removal the cursor may stand past the last row: then the first is current.
        const QString current = t.Eof() ? QString() : t.AsString(kLocationID);
        m_filling = true;
        m_lstLocations->clear();
        int select = -1;
        for (const auto &[id, name] : Rows(t, kLocationID, kLocationName)) {
            auto *item = new QListWidgetItem(name, m_lstLocations);
            item->setData(kIdRole, id);
            if (id == current)
                select = m_lstLocations->count() - 1;
        }
        if (select < 0 || !t.Locate(kLocationID, current)) {
            t.First();
            select = m_lstLocations->count() > 0 ? 0 : -1;
        }
        m_lstLocations->setCurrentRow(select);
        m_filling = false;
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("HYVisualPluginShow"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::LocationListClick()
{
    try {
        TDACDSDataTable &t = Data().Locations;
        if (t.GetState() == TDATableState::dsEdit)
            t.Post();
        if (m_lstLocations->count() == 0)
            return;
        if (m_lstLocations->currentRow() < 0) {
            m_filling = true;
            m_lstLocations->setCurrentRow(0);
            m_filling = false;
        }
        t.Locate(kLocationID, m_lstLocations->currentItem()->data(kIdRole));
        ShowLocation();
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("lbLocationsClick"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::ShowLocation()
{
    const TDACDSDataTable &t = Data().Locations;
    m_filling = true;
    m_edLocationName->setText(t.AsString(kLocationName));
    m_memLocationAddress->setPlainText(t.AsString(QStringLiteral("LocationAddress")));
    m_edPhone1->setText(t.AsString(QStringLiteral("LocationPhone1")));
    m_edFax->setText(t.AsString(QStringLiteral("LocationFax")));
    m_edEMail->setText(t.AsString(QStringLiteral("LocationEMail")));
    m_edWeb->setText(t.AsString(QStringLiteral("LocationWeb")));
    m_filling = false;
}

void TplgInitialSetup::LocationEdited(const QString &field, const QString &value)
{
    if (m_filling)
        return;
    try {
        TDACDSDataTable &t = Data().Locations;
        if (!m_lstLocations->currentItem() || t.GetRecordCount() == 0)
            return;
        EditCurrent(t);
        t.SetValue(field, value);
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), field, e);
    }
}

void TplgInitialSetup::acAddLocationExecute()
{
    try {
        TDACDSDataTable &t = Data().Locations;
        t.PostIfEditing();
        t.Insert();
        t.SetValue(kLocationName, NewLocationName(Text(1506), m_lstLocations->count()));
        t.Post();
        FillLocationList();
        ShowLocation();
        FocusName(m_edLocationName);
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("acAddLocationExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::acRemoveLocationExecute()
{
    try {
        QListWidgetItem *item = m_lstLocations->currentItem();
        if (!item)
            return;
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1202), Text(1201), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) != QMessageBox::Yes)
            return;
        TDACDSDataTable &t = Data().Locations;
        if (t.IsEditing())
            t.Cancel();
        const QString id = item->data(kIdRole).toString();
        RemoveLiturgyFromLocation(id);
        if (t.Locate(kLocationID, id))
            t.Delete();
        FillLocationList();
        if (m_lstLocations->count() == 0)
            acAddLocationExecute(); // there is always one location
        else
            LocationListClick();
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveLocationExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::RemoveLiturgyFromLocation(const QString &locationId)
{
    try {
        TDACDSDataTable &t = Data().LiturgyTemplates;
        t.PostIfEditing();
        FilterOn(t, QStringLiteral("F_LocationID"), locationId);
        DeleteShown(t);
        t.ClearFilter();
    } catch (const std::exception &e) {
        Data().LiturgyTemplates.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("RemoveLiturgyFromLocation"), e);
    }
}

// ---- page 3 ------------------------------------------------------------------------------------

void TplgInitialSetup::FillLocationBox()
{
    m_cbLocation->clear();
    for (const auto &[id, name] : Rows(Data().Locations, kLocationID, kLocationName))
        m_cbLocation->addItem(name, id);
}

void TplgInitialSetup::PrepareLiturgyTab()
{
    m_filling = true;
    try {
        TDASetup &setup = Data();
        setup.LiturgyTemplates.PostIfEditing();
        FillLocationBox();
        m_tvLiturgies->clear();
        for (const auto &[locationId, locationName] : Rows(setup.Locations, kLocationID, kLocationName)) {
            FilterOn(setup.LiturgyTemplates, QStringLiteral("F_LocationID"), locationId);
            for (const auto &[id, name] : Rows(setup.LiturgyTemplates, kLiturgyID, kLiturgyName)) {
                auto *node = new QTreeWidgetItem(m_tvLiturgies, {LiturgyNodeText(name, locationName)});
                node->setData(0, kIdRole, id);
                node->setData(0, kSecondRole, locationId);
            }
        }
        setup.LiturgyTemplates.ClearFilter();
    } catch (const std::exception &e) {
        Data().LiturgyTemplates.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("PrepareLiturgyTab"), e);
    }
    m_filling = false;
}

void TplgInitialSetup::LiturgySelected()
{
    try {
        TDACDSDataTable &t = Data().LiturgyTemplates;
        t.PostIfEditing();
        QTreeWidgetItem *node = m_tvLiturgies->currentItem();
        if (!node || !t.Locate(kLiturgyID, node->data(0, kIdRole)))
            return;
        m_filling = true;
        m_edLiturgyName->setText(t.AsString(kLiturgyName));
        m_cbLocation->setCurrentIndex(m_cbLocation->findData(t.AsString(QStringLiteral("F_LocationID"))));
        m_memLiturgyComments->setPlainText(t.AsString(QStringLiteral("LiturgyTemplateComments")));
        m_filling = false;
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("tvLiturgiesChange"), e);
    }
}

void TplgInitialSetup::LiturgyEdited()
{
    if (m_filling)
        return;
    try {
        TDACDSDataTable &t = Data().LiturgyTemplates;
        QTreeWidgetItem *node = m_tvLiturgies->currentItem();
        if (!node || t.GetRecordCount() == 0)
            return;
        EditCurrent(t);
        t.SetValue(kLiturgyName, m_edLiturgyName->text());
        if (m_cbLocation->currentIndex() >= 0) {
            t.SetValue(QStringLiteral("F_LocationID"), m_cbLocation->currentData());
            node->setData(0, kSecondRole, m_cbLocation->currentData());
        }
        node->setText(0, LiturgyNodeText(m_edLiturgyName->text(), m_cbLocation->currentText()));
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("edLiturgyNameChange"), e);
    }
}

void TplgInitialSetup::acAddLiturgyExecute()
{
    try {
        TDASetup &setup = Data();
        setup.Locations.PostIfEditing();
        setup.LiturgyTemplates.PostIfEditing();
        // A liturgy belongs to the current location, else to the first there is.
        if (setup.Locations.Eof())
            setup.Locations.First();
        if (setup.Locations.Eof()) {
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1225));
            return;
        }
        const QString locationId = setup.Locations.AsString(kLocationID);
        m_addingLiturgy = true;
        TDACDSDataTable &t = setup.LiturgyTemplates;
        t.Insert();
        t.SetValue(QStringLiteral("F_LocationID"), locationId);
        t.SetValue(kLiturgyName, Text(1509, true));
        const QString id = t.AsString(kLiturgyID);
        t.Post();
        t.Locate(kLiturgyID, id);
        auto *node = new QTreeWidgetItem(m_tvLiturgies);
        node->setData(0, kIdRole, id);
        node->setData(0, kSecondRole, locationId);
        m_tvLiturgies->setCurrentItem(node);
        m_addingLiturgy = false;
        m_filling = true;
        m_edLiturgyName->setText(t.AsString(kLiturgyName));
        m_cbLocation->setCurrentIndex(m_cbLocation->findData(locationId));
        m_memLiturgyComments->clear();
        m_filling = false;
        node->setText(0, LiturgyNodeText(m_edLiturgyName->text(), m_cbLocation->currentText()));
        FocusName(m_edLiturgyName);
    } catch (const std::exception &e) {
        m_addingLiturgy = false;
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("acAddLiturgyExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::acRemoveLiturgyExecute()
{
    try {
        QTreeWidgetItem *node = m_tvLiturgies->currentItem();
        if (!node)
            return;
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1212), Text(1211), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) != QMessageBox::Yes)
            return;
        TDACDSDataTable &t = Data().LiturgyTemplates;
        t.PostIfEditing();
        if (t.Locate(kLiturgyID, node->data(0, kIdRole)))
            t.Delete();
        delete node;
        LiturgySelected();
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveLiturgyExecute"), e);
    }
    UpdateActions();
}

// ---- page 4 ------------------------------------------------------------------------------------

QString TplgInitialSetup::FunctionName(const QString &functionId)
{
    for (const auto &[id, name] : Rows(Data().MinistryFunctions, kFunctionID, kFunctionName))
        if (id == functionId)
            return name;
    return {};
}

QTreeWidgetItem *TplgInitialSetup::TemplateOf(QTreeWidgetItem *node)
{
    return node && node->parent() ? node->parent() : node;
}

void TplgInitialSetup::FillFunctionList()
{
    m_filling = true;
    TDACDSDataTable &t = Data().MinistryFunctions;
    t.ClearFilter();
    m_tvFunctions->clear();
    for (const auto &[id, name] : Rows(t, kFunctionID, kFunctionName)) {
        auto *node = new QTreeWidgetItem(m_tvFunctions, {name});
        node->setData(0, kIdRole, id);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
    }
    m_filling = false;
}

void TplgInitialSetup::PrepareMinistryTab()
{
    m_filling = true;
    TDASetup &setup = Data();
    try {
        m_tvTemplates->clear();
        if (!setup.MinistryTemplates.GetActive())
            setup.MinistryTemplates.Open();
        setup.MinistryTemplates.PostIfEditing();
        setup.LnkMinistryTemplateToMinistryFunction.PostIfEditing();
        TDACDSDataTable &links = setup.LnkMinistryTemplateToMinistryFunction;
        for (const auto &[templateId, templateName] : Rows(setup.MinistryTemplates, kTemplateID, kTemplateName)) {
            auto *node = new QTreeWidgetItem(m_tvTemplates, {templateName});
            node->setData(0, kIdRole, templateId);
            node->setFlags(node->flags() | Qt::ItemIsEditable);
            FilterOn(links, kLinkTemplate, templateId);
            const int linkId = links.FieldIndex(kLinkID);
            const int functionId = links.FieldIndex(kLinkFunction);
            const int count = links.FieldIndex(kLinkCount);
            for (int i = 0; i < links.GetRecordCount(); ++i) {
                const QString function = links.ValueAt(i, functionId).toString();
                if (!Data().MinistryFunctions.Locate(kFunctionID, function))
                    continue;
                const int n = links.ValueAt(i, count).toInt();
                auto *child = new QTreeWidgetItem(node, {LinkNodeText(FunctionName(function), n)});
                child->setData(0, kIdRole, links.ValueAt(i, linkId));
                child->setData(0, kSecondRole, function);
                child->setData(0, kCountRole, n);
            }
            node->setExpanded(true);
        }
        links.ClearFilter();
    } catch (const std::exception &e) {
        setup.LnkMinistryTemplateToMinistryFunction.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("PrepareMinistryTab"), e);
    }
    m_filling = false;
}

void TplgInitialSetup::acAddTemplateExecute()
{
    try {
        TDACDSDataTable &t = Data().MinistryTemplates;
        t.PostIfEditing();
        t.Insert();
        t.SetValue(kTemplateName, Text(1510, true));
        const QString id = t.AsString(kTemplateID);
        t.Post();
        m_filling = true;
        auto *node = new QTreeWidgetItem(m_tvTemplates, {Text(1510, true)});
        node->setData(0, kIdRole, id);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        m_filling = false;
        m_tvTemplates->setCurrentItem(node);
        m_tvTemplates->setFocus();
        m_tvTemplates->editItem(node);
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("acAddTemplateExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::TemplateItemChanged(QTreeWidgetItem *item)
{
    if (m_filling || !item || item->parent())
        return;
    try {
        TDACDSDataTable &t = Data().MinistryTemplates; // UpdateTemplateCaption
        t.PostIfEditing();
        if (!t.Locate(kTemplateID, item->data(0, kIdRole)))
            return;
        // An empty name is refused: the template keeps, and shows, the name it has.
        if (item->text(0).trimmed().isEmpty()) {
            m_filling = true;
            item->setText(0, t.AsString(kTemplateName));
            m_filling = false;
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1223).arg(t.AsString(kTemplateName)));
            return;
        }
        t.Edit();
        t.SetValue(kTemplateName, item->text(0));
        t.Post();
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("UpdateTemplateCaption"), e);
    }
}

void TplgInitialSetup::acRemoveTemplateExecute()
{
    try {
        QTreeWidgetItem *node = m_tvTemplates->currentItem();
        if (!node || node->parent())
            return;
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1215), Text(1214), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::No) != QMessageBox::Yes)
            return;
        TDASetup &setup = Data();
        const QString id = node->data(0, kIdRole).toString();
        TDACDSDataTable &links = setup.LnkMinistryTemplateToMinistryFunction;
        links.PostIfEditing();
        FilterOn(links, kLinkTemplate, id);
        DeleteShown(links);
        links.ClearFilter();
        setup.MinistryTemplates.PostIfEditing();
        if (setup.MinistryTemplates.Locate(kTemplateID, id))
            setup.MinistryTemplates.Delete();
        delete node;
    } catch (const std::exception &e) {
        Data().LnkMinistryTemplateToMinistryFunction.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveTemplateExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::AddFunctionToTemplate(QTreeWidgetItem *templateNode, QTreeWidgetItem *functionNode)
{
    templateNode = TemplateOf(templateNode);
    if (!templateNode || !functionNode)
        return;
    TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
    links.PostIfEditing();
    const QString functionId = functionNode->data(0, kIdRole).toString();
    const TemplateLinks::TTemplateLink link =
        TemplateLinks::AddFunctionToTemplate(links, templateNode->data(0, kIdRole).toString(), functionId);
    if (link.Inserted) {
        auto *child = new QTreeWidgetItem(templateNode, {LinkNodeText(functionNode->text(0), 1)});
        child->setData(0, kIdRole, link.LinkID);
        child->setData(0, kSecondRole, functionId);
        child->setData(0, kCountRole, 1);
        templateNode->setExpanded(true);
        m_tvTemplates->setCurrentItem(child);
    }
    for (int i = 0; i < templateNode->childCount(); ++i) {
        QTreeWidgetItem *child = templateNode->child(i);
        if (child->data(0, kIdRole).toString() == link.LinkID) {
            child->setData(0, kCountRole, link.Count);
            child->setText(0, LinkNodeText(functionNode->text(0), link.Count));
            m_tvTemplates->setCurrentItem(child);
        }
    }
}

void TplgInitialSetup::acAddFunctionToTemplateExecute()
{
    try {
        AddFunctionToTemplate(m_tvTemplates->currentItem(), m_tvFunctions->currentItem());
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("tvFunctionsDblClick"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::RemoveMinistryFunction(QTreeWidgetItem *linkNode)
{
    if (!linkNode || !linkNode->parent())
        return;
    TDACDSDataTable &links = Data().LnkMinistryTemplateToMinistryFunction;
    links.PostIfEditing();
    const std::optional<TemplateLinks::TTemplateLink> link =
        TemplateLinks::RemoveFunctionFromTemplate(links, linkNode->data(0, kIdRole).toString());
    if (!link)
        return;
    if (link->LinkID.isEmpty()) {
        delete linkNode;
        return;
    }
    linkNode->setData(0, kCountRole, link->Count);
    linkNode->setText(0, LinkNodeText(FunctionName(linkNode->data(0, kSecondRole).toString()), link->Count));
}

void TplgInitialSetup::acRemoveFunctionFromTemplateExecute()
{
    try {
        RemoveMinistryFunction(m_tvTemplates->currentItem());
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("RemoveMinistryFunction"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::acNewFunctionExecute()
{
    try {
        if (QApplication::focusWidget() && m_tvFunctions->viewport()->isAncestorOf(QApplication::focusWidget()))
            return; // a name is being edited
        TDACDSDataTable &t = Data().MinistryFunctions;
        t.PostIfEditing();
        t.Insert();
        t.SetValue(kFunctionName, Text(1203));
        const QString id = t.AsString(kFunctionID);
        t.Post();
        m_filling = true;
        auto *node = new QTreeWidgetItem(m_tvFunctions, {Text(1203)});
        node->setData(0, kIdRole, id);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        m_filling = false;
        m_tvFunctions->setCurrentItem(node);
        m_tvFunctions->setFocus();
        m_tvFunctions->editItem(node);
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveMinistryFunctionExecute"), e);
    }
    UpdateActions();
}

void TplgInitialSetup::FunctionItemChanged(QTreeWidgetItem *item)
{
    if (m_filling || !item)
        return;
    try {
        const QString name = item->text(0);
        TDACDSDataTable &t = Data().MinistryFunctions; // UpdateFunctionCaption
        t.PostIfEditing();
        const QString id = item->data(0, kIdRole).toString();
        if (!t.Locate(kFunctionID, id))
            return;
        // An empty name is refused: the function keeps, and shows, the name it has.
        if (name.trimmed().isEmpty()) {
            m_filling = true;
            item->setText(0, t.AsString(kFunctionName));
            m_filling = false;
            ShowMessage(this, QMessageBox::Warning, Text(1220), Text(1224).arg(t.AsString(kFunctionName)));
            return;
        }
        t.Edit();
        t.SetValue(kFunctionName, name);
        t.Post();
        m_filling = true;
        for (int i = 0; i < m_tvTemplates->topLevelItemCount(); ++i) {
            QTreeWidgetItem *node = m_tvTemplates->topLevelItem(i);
            for (int j = 0; j < node->childCount(); ++j)
                if (node->child(j)->data(0, kSecondRole).toString() == id)
                    node->child(j)->setText(0, LinkNodeText(name, node->child(j)->data(0, kCountRole).toInt()));
        }
        m_filling = false;
    } catch (const std::exception &e) {
        m_filling = false;
        QorLogFailure(RvSetup(), QStringLiteral("UpdateFunctionCaption"), e);
    }
}

void TplgInitialSetup::acDeleteFunctionExecute()
{
    try {
        QTreeWidgetItem *node = m_tvFunctions->currentItem();
        if (!node)
            return;
        TDASetup &setup = Data();
        const QString id = node->data(0, kIdRole).toString();
        TDACDSDataTable &links = setup.LnkMinistryTemplateToMinistryFunction;
        links.PostIfEditing();
        setup.MinistryFunctions.PostIfEditing();
        links.ClearFilter();
        if (!setup.MinistryFunctions.Locate(kFunctionID, id))
            return;
        // A function no template uses goes as well: deleting it is what the user asked for.
        if (Prompt().Ask(this, QMessageBox::Warning, Text(1217), Text(1216), QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::Yes) != QMessageBox::Yes)
            return;
        for (int i = m_tvTemplates->topLevelItemCount() - 1; i >= 0; --i) {
            QTreeWidgetItem *templateNode = m_tvTemplates->topLevelItem(i);
            for (int j = templateNode->childCount() - 1; j >= 0; --j)
                if (templateNode->child(j)->data(0, kSecondRole).toString() == id)
                    delete templateNode->child(j);
        }
        FilterOn(links, kLinkFunction, id);
        DeleteShown(links);
        links.ClearFilter();
        if (setup.MinistryFunctions.Locate(kFunctionID, id))
            setup.MinistryFunctions.Delete();
        delete node;
    } catch (const std::exception &e) {
        Data().LnkMinistryTemplateToMinistryFunction.ClearFilter();
        QorLogFailure(RvSetup(), QStringLiteral("acRemoveMinistryFunctionExecute"), e);
    }
    UpdateActions();
}

// ---- Finish ------------------------------------------------------------------------------------

void TplgInitialSetup::acFinishExecute()
{
    if (!FinishEnabled(State()))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        TDASetup &setup = Data();
        // The content goes first, functions and templates before the links that name them: the
        // server serves this session, which nobody logged on in, only while no user exists.
        setup.ApplyContent();
        const QString userName = m_edUserName->text();
        const QString password = m_edPassword1->text();
        const bool windowsLogon = m_chkWindowsLogon->isChecked();
        if (!setup.AccountStored()) {
            m_userId = setup.PutAccount(userName, password, windowsLogon, TvoSysInfo::GetUserName());
            setup.ApplyAccount();
        }
        m_userName = userName;
        m_password = password;
        m_rights = kRights;
        m_useWindowsLogon = windowsLogon;
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, userName, QStringLiteral("Last known user"));
        if (windowsLogon)
            TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("Yes"), QStringLiteral("Use Windows logon"));
        setup.CloseAll();
        if (m_finishDelay > 0) {
            QEventLoop wait;
            QTimer::singleShot(m_finishDelay, &wait, &QEventLoop::quit);
            wait.exec(QEventLoop::ExcludeUserInputEvents);
        }
        m_resultCode = 1;
        QApplication::restoreOverrideCursor();
        if (window() != this)
            window()->close();
        return;
    } catch (const std::exception &e) {
        QorLogFailure(RvSetup(), QStringLiteral("acFinishExecute"), e);
    }
    QApplication::restoreOverrideCursor();
}
