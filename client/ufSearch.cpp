#include "client/ufSearch.h"

#include "client/uDAQuorva.h"
#include "client/uDMClient.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/QuorvaLogFile.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kSender = QStringLiteral("Quorva");
constexpr int kPopupHeight = 300;
constexpr int kFunctionIdRole = Qt::UserRole + 1;
const QList<int> kKinds = {SearchKind::Contacts, SearchKind::Families, SearchKind::Groups};

QString errorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// The wait cursor for one handler, whatever way it ends.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// A grid that says so when it has no rows.
class TEmptyTextGrid : public QTableView
{
public:
    using QTableView::QTableView;
    void SetEmptyText(const QString &text)
    {
        m_emptyText = text;
        viewport()->update();
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QTableView::paintEvent(event);
        if (model() && model()->rowCount() == 0 && !m_emptyText.isEmpty()) {
            QPainter painter(viewport());
            painter.setPen(palette().color(QPalette::PlaceholderText));
            painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                             m_emptyText);
        }
    }

private:
    QString m_emptyText;
};

TEmptyTextGrid *newGrid(QWidget *parent)
{
    auto *grid = new TEmptyTextGrid(parent);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setAlternatingRowColors(true);
    return grid;
}

} // namespace

TfSearch::TfSearch(TextSource texts, TDACDSDataTable &search, TDACDSDataTable &functions, QWidget *parent)
    : TfBaseDialog(parent)
    , m_texts(std::move(texts))
    , m_search(search)
    , m_functions(functions)
{
    resize(640, 560);
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);

    // Tool bar: the dialog's buttons and the kinds.
    QToolBar *bar = addToolBar(QStringLiteral("Search"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(32, 32));
    m_acOK = bar->addAction(style()->standardIcon(QStyle::SP_DialogOkButton), QString());
    m_acClose = bar->addAction(style()->standardIcon(QStyle::SP_DialogCancelButton), QString());
    m_acHelp = bar->addAction(style()->standardIcon(QStyle::SP_DialogHelpButton), QString());
    bar->addSeparator();
    const QStyle::StandardPixmap kindIcons[3] = {QStyle::SP_FileDialogContentsView, QStyle::SP_DirHomeIcon,
                                                  QStyle::SP_FileDialogListView};
    for (int i = 0; i < 3; ++i) {
        m_acKinds[i] = bar->addAction(style()->standardIcon(kindIcons[i]), QString());
        m_acKinds[i]->setCheckable(true);
        m_acKinds[i]->setEnabled(false);
    }
    // The form previews keys: Escape closes from any control.
    m_acClose->setShortcut(QKeySequence(Qt::Key_Escape));
    m_acClose->setShortcutContext(Qt::WindowShortcut);

    auto *lookRow = new QHBoxLayout;
    m_lblLook = new QLabel(central);
    m_cboLookFor = new QComboBox(central);
    lookRow->addWidget(m_lblLook);
    lookRow->addWidget(m_cboLookFor, 1);
    layout->addLayout(lookRow);

    // One criteria panel per kind; only the current kind's is shown.
    auto *criteriaRow = new QHBoxLayout;
    auto *panels = new QVBoxLayout;
    const auto *validator = new QRegularExpressionValidator(TSearchRules::CriterionPattern(), this);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QGroupBox(central);
        auto *grid = new QGridLayout(m_panels[i]);
        m_lblField[i] = new QLabel(m_panels[i]);
        m_cboFields[i] = new QComboBox(m_panels[i]);
        m_lblText[i] = new QLabel(m_panels[i]);
        m_edText[i] = new QLineEdit(m_panels[i]);
        m_edText[i]->setValidator(validator);
        grid->addWidget(m_lblField[i], 0, 0);
        grid->addWidget(m_cboFields[i], 0, 1);
        grid->addWidget(m_lblText[i], 1, 0);
        grid->addWidget(m_edText[i], 1, 1);
        grid->setColumnStretch(1, 1);
        panels->addWidget(m_panels[i]);
        connect(m_edText[i], &QLineEdit::textChanged, this, [this] { UpdateActions(); });
        // Enter searches; the key goes no further.
        connect(m_edText[i], &QLineEdit::returnPressed, this, [this] {
            if (m_acSearch->isEnabled())
                m_acSearch->trigger();
        });
    }
    // The function filter of contacts: a drop-down check list under a read-only edit.
    m_lblFunctions = new QLabel(m_panels[0]);
    auto *functionsRow = new QHBoxLayout;
    m_cxPopFunctions = new QLineEdit(m_panels[0]);
    m_cxPopFunctions->setReadOnly(true);
    m_btnFunctions = new QToolButton(m_panels[0]);
    m_btnFunctions->setArrowType(Qt::DownArrow);
    functionsRow->addWidget(m_cxPopFunctions, 1);
    functionsRow->addWidget(m_btnFunctions);
    auto *contactGrid = qobject_cast<QGridLayout *>(m_panels[0]->layout());
    contactGrid->addWidget(m_lblFunctions, 2, 0);
    contactGrid->addLayout(functionsRow, 2, 1);
    m_functionsPopup = new QFrame(this, Qt::Popup);
    m_functionsPopup->setFrameShape(QFrame::StyledPanel);
    m_chkFunctions = new QListWidget(m_functionsPopup);
    auto *popupLayout = new QVBoxLayout(m_functionsPopup);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    popupLayout->addWidget(m_chkFunctions);
    m_functionsPopup->installEventFilter(this);
    connect(m_btnFunctions, &QToolButton::clicked, this, [this] { ShowFunctionsPopup(); });
    m_cxPopFunctions->installEventFilter(this);

    criteriaRow->addLayout(panels, 1);
    m_acSearch = new QAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QString(), this);
    m_btnSearch = new QToolButton(central);
    m_btnSearch->setDefaultAction(m_acSearch);
    m_btnSearch->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto *searchColumn = new QVBoxLayout;
    searchColumn->addWidget(m_btnSearch);
    searchColumn->addStretch(1);
    criteriaRow->addLayout(searchColumn);
    layout->addLayout(criteriaRow);

    auto *maxRow = new QHBoxLayout;
    m_lblMaxRecords = new QLabel(central);
    m_msMaxRecords = new QLineEdit(QString::number(TSearchRules::DefaultMaxRecords), central);
    m_msMaxRecords->setValidator(new QRegularExpressionValidator(TSearchRules::MaxRecordsPattern(), this));
    m_msMaxRecords->setMaximumWidth(80);
    maxRow->addWidget(m_lblMaxRecords);
    maxRow->addWidget(m_msMaxRecords);
    maxRow->addStretch(1);
    layout->addLayout(maxRow);

    // Results and, in multi selection, the members beside them.
    m_lblResult = new QLabel(central);
    layout->addWidget(m_lblResult);
    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_grdSearch = newGrid(m_splitter);
    m_resultModel = new TDATableModel(&m_search, this);
    m_resultModel->SetReadOnly(true);
    m_grdSearch->setModel(m_resultModel);
    m_grdSearch->installEventFilter(this);
    m_memberArea = new QWidget(m_splitter);
    auto *memberLayout = new QVBoxLayout(m_memberArea);
    memberLayout->setContentsMargins(0, 0, 0, 0);
    auto *memberButtons = new QHBoxLayout;
    m_acAddmember = new QAction(style()->standardIcon(QStyle::SP_ArrowRight), QString(), this);
    m_acRemovemember = new QAction(style()->standardIcon(QStyle::SP_ArrowLeft), QString(), this);
    for (QAction *action : {m_acAddmember, m_acRemovemember}) {
        auto *button = new QToolButton(m_memberArea);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        memberButtons->addWidget(button);
    }
    memberButtons->addStretch(1);
    memberLayout->addLayout(memberButtons);
    m_grdMembers = newGrid(m_memberArea);
    m_members = new TSearchMemberModel(this);
    m_grdMembers->setModel(m_members);
    memberLayout->addWidget(m_grdMembers, 1);
    m_splitter->addWidget(m_grdSearch);
    m_splitter->addWidget(m_memberArea);
    layout->addWidget(m_splitter, 1);

    connect(m_acSearch, &QAction::triggered, this, [this] { acSearchExecute(); });
    connect(m_acOK, &QAction::triggered, this, [this] { acOKExecute(); });
    connect(m_acClose, &QAction::triggered, this, [this] { SetModalResult(TModalResult::Cancel); });
    connect(m_acAddmember, &QAction::triggered, this, [this] { acAddmemberExecute(); });
    connect(m_acRemovemember, &QAction::triggered, this, [this] { acRemovememberExecute(); });
    for (int i = 0; i < 3; ++i)
        connect(m_acKinds[i], &QAction::triggered, this, [this, i](bool checked) {
            if (!checked) {
                m_acKinds[i]->setChecked(m_kind == kKinds[i]);
                return;
            }
            for (int e = 0; e < m_lookFor.size(); ++e)
                if (m_lookFor[e].Kind == kKinds[i])
                    ChooseLookFor(e);
        });
    connect(m_cboLookFor, &QComboBox::activated, this, [this](int index) { ChooseLookFor(index); });
    connect(m_grdSearch, &QTableView::doubleClicked, this, [this] {
        if (m_multi)
            m_acAddmember->trigger();
        else if (m_acOK->isEnabled())
            m_acOK->trigger();
    });
    connect(m_grdMembers, &QTableView::doubleClicked, this, [this] {
        if (m_acRemovemember->isEnabled())
            m_acRemovemember->trigger();
    });
    connect(m_grdSearch->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        UpdateCount();
        UpdateActions();
    });
    connect(m_grdSearch->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && m_search.GetActive())
                    m_resultModel->SetCurrentRow(current.row());
            });
    connect(m_grdMembers->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
    connect(m_members, &QAbstractItemModel::rowsInserted, this, [this] { UpdateActions(); });
    connect(m_members, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
    connect(m_members, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    UpdateActions();
}

TfSearch::~TfSearch()
{
    // The table is the host's and outlives the dialog; its rows are not kept for the next one.
    m_search.Close();
}

void TfSearch::Log(const QString &context, const QString &message) const
{
    AddToLog(llSevere, kSender, context, message);
}

int TfSearch::KindIndex(int kind)
{
    return int(kKinds.indexOf(kind));
}

QWidget *TfSearch::CriteriaPanel(int kind) const
{
    const int i = KindIndex(kind);
    return i >= 0 ? m_panels[i] : nullptr;
}

QAction *TfSearch::KindAction(int kind) const
{
    const int i = KindIndex(kind);
    return i >= 0 ? m_acKinds[i] : nullptr;
}

void TfSearch::SetCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void TfSearch::SetOfferedKinds(int mask)
{
    m_mask = mask;
    m_lookFor = TSearchRules::LookForEntries(mask);
    m_cboLookFor->clear();
    for (const TSearchItemObject &entry : m_lookFor)
        m_cboLookFor->addItem(Text(TSearchRules::KindCaptionText(entry.Kind)));
    for (int i = 0; i < 3; ++i)
        m_acKinds[i]->setEnabled((mask & kKinds[i]) != 0);
    if (!m_lookFor.isEmpty())
        ChooseLookFor(0);
}

void TfSearch::ChooseLookFor(int index)
{
    if (index < 0 || index >= m_lookFor.size())
        return;
    m_cboLookFor->setCurrentIndex(index);
    SetUpKind(m_lookFor[index].Kind);
}

void TfSearch::SetUpKind(int kind)
{
    m_kind = kind;
    m_members->SetKind(kind);
    m_members->SetColumnCaption(m_members->NameColumn(), Text(2590));
    m_search.Close();
    m_found = 0;
    BuildResultColumns();
    if (windowTitle().isEmpty())
        setWindowTitle(Text(TSearchRules::KindDialogCaptionText(kind)));
    for (int i = 0; i < 3; ++i) {
        m_panels[i]->setVisible(kKinds[i] == kind);
        m_acKinds[i]->setChecked(kKinds[i] == kind);
    }
    for (int column = 0; column < m_members->columnCount(); ++column)
        m_grdMembers->setColumnHidden(column, column != m_members->NameColumn());
    UpdateCount();
    UpdateActions();
}

void TfSearch::BuildResultColumns()
{
    const QStringList columns = TSearchRules::ResultColumns(m_kind);
    m_resultModel->SetColumns(columns);
    m_resultModel->SetCaption(columns.last(), Text(2590));
    for (int column = 0; column < columns.size(); ++column)
        m_grdSearch->setColumnHidden(column, column != columns.size() - 1);
}

void TfSearch::Localizeform(bool multi)
{
    try {
        m_multi = multi;
        setWindowTitle(Text(2593));
        m_acOK->setText(Text(200));
        m_acClose->setText(Text(201));
        m_acHelp->setText(Text(202));
        m_lblLook->setText(Text(2501));
        for (int i = 0; i < 3; ++i) {
            m_panels[i]->setTitle(Text(2502));
            m_lblField[i]->setText(Text(2580));
            m_lblText[i]->setText(Text(2581));
            m_acKinds[i]->setText(Text(TSearchRules::KindCaptionText(kKinds[i])));
        }
        m_lblResult->setText(Text(2591));
        m_lblMaxRecords->setText(Text(2592));
        m_acAddmember->setText(Text(1201));
        m_acRemovemember->setText(Text(1202));
        m_members->SetColumnCaption(0, Text(1203));
        m_lblFunctions->setText(Text(2583));
        m_cxPopFunctions->setPlaceholderText(Text(2582));
        static_cast<TEmptyTextGrid *>(m_grdSearch)->SetEmptyText(Text(2586));
        SetStatusText(Text(2585));

        const auto mode = multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
        m_grdSearch->setSelectionMode(mode);
        m_grdMembers->setSelectionMode(mode);
        m_memberArea->setVisible(multi);
        m_acAddmember->setVisible(multi);
        m_acRemovemember->setVisible(multi);

        FillFieldLists();
        FillFunctions();
        UpdateActions();
    } catch (const std::exception &e) {
        Log(QStringLiteral("Localizeform"), errorText(e));
    }
}

void TfSearch::FillFieldLists()
{
    for (int i = 0; i < 3; ++i) {
        m_cboFields[i]->clear();
        for (const TSearchField &field : TSearchRules::CriterionFields(kKinds[i]))
            m_cboFields[i]->addItem(Text(field.CaptionText), field.Column);
        m_cboFields[i]->setCurrentIndex(TSearchRules::DefaultCriterionField(kKinds[i]));
    }
}

void TfSearch::FillFunctions()
{
    m_chkFunctions->clear();
    if (!m_functions.GetActive())
        m_functions.Open();
    const int id = m_functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"));
    const int name = m_functions.FieldIndex(QStringLiteral("MinistryFunctionName"));
    for (int row = 0; row < m_functions.GetRecordCount(); ++row) {
        auto *item = new QListWidgetItem(m_functions.ValueAt(row, name).toString(), m_chkFunctions);
        item->setData(kFunctionIdRole, m_functions.ValueAt(row, id).toString());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

QStringList TfSearch::CheckedFunctionIds() const
{
    QStringList ids;
    for (int i = 0; i < m_chkFunctions->count(); ++i)
        if (m_chkFunctions->item(i)->checkState() == Qt::Checked)
            ids << m_chkFunctions->item(i)->data(kFunctionIdRole).toString();
    return ids;
}

void TfSearch::ShowFunctionsPopup()
{
    m_functionsPopup->resize(qMax(m_cxPopFunctions->width() + m_btnFunctions->width(), 200), kPopupHeight);
    m_functionsPopup->move(m_cxPopFunctions->mapToGlobal(QPoint(0, m_cxPopFunctions->height())));
    m_functionsPopup->show();
    m_chkFunctions->setFocus();
}

void TfSearch::CloseFunctionsPopup()
{
    m_functionsPopup->hide();
}

bool TfSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_functionsPopup && event->type() == QEvent::Hide) {
        QStringList captions;
        for (int i = 0; i < m_chkFunctions->count(); ++i)
            if (m_chkFunctions->item(i)->checkState() == Qt::Checked)
                captions << m_chkFunctions->item(i)->text();
        m_cxPopFunctions->setText(TSearchRules::FunctionsText(captions));
    } else if (watched == m_cxPopFunctions && event->type() == QEvent::MouseButtonPress) {
        ShowFunctionsPopup();
        return true;
    } else if (watched == m_grdSearch && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_acOK->isEnabled()) {
            m_acOK->trigger();
            return true;
        }
    }
    return TfBaseDialog::eventFilter(watched, event);
}

void TfSearch::showEvent(QShowEvent *event)
{
    TfBaseDialog::showEvent(event);
    m_cboLookFor->setEnabled(m_lookFor.size() > 1);
    const int i = KindIndex(m_kind);
    if (i >= 0)
        m_edText[i]->setFocus();
}

void TfSearch::acSearchExecute()
{
    WaitCursor wait;
    try {
        const int i = KindIndex(m_kind);
        if (i < 0)
            return;
        RunSearch(TSearchRules::Compose(m_kind, m_cboFields[i]->currentData().toString(), m_edText[i]->text(),
                                        m_kind == SearchKind::Contacts ? CheckedFunctionIds() : QStringList()));
    } catch (const std::exception &e) {
        Log(QStringLiteral("acSearchExecute"), errorText(e));
    }
}

void TfSearch::RunSearch(const QString &query)
{
    try {
        m_found = 0;
        m_search.Close();
        m_search.ParamByName(QStringLiteral("AMaxRecords")).Value = TSearchRules::MaxRecords(m_msMaxRecords->text());
        m_search.ParamByName(QStringLiteral("ASearchQuery")).Value = query;
        m_search.Open();
        BuildResultColumns();
        m_search.Sort(TSearchRules::ResultColumns(m_kind).last());
        m_found = m_search.GetRecordCount();
        if (m_found > 0) {
            m_search.First();
            if (!m_multi && !m_preselected.isEmpty())
                LocatePreselected();
            const int row = m_search.GetRecNo();
            m_grdSearch->selectionModel()->setCurrentIndex(m_resultModel->index(row, m_resultModel->columnCount() - 1),
                                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_grdSearch->setFocus();
        }
    } catch (const std::exception &e) {
        Log(QStringLiteral("PreformSearch>"), errorText(e));
    }
    UpdateCount();
    UpdateActions();
}

void TfSearch::LocatePreselected()
{
    const QString field = m_preselected.first().Text;
    if (m_search.FieldIndex(field) >= 0)
        m_search.Locate(field, m_preselected.first().Object.Caption);
}

QList<int> TfSearch::SelectedResultRows() const
{
    QList<int> rows;
    if (!m_search.GetActive())
        return rows;
    for (const QModelIndex &index : m_grdSearch->selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

void TfSearch::acOKExecute()
{
    if (!m_acOK->isEnabled())
        return;
    if (!m_multi) {
        const QList<int> rows = SelectedResultRows();
        if (!rows.isEmpty())
            m_resultModel->SetCurrentRow(rows.first());
    }
    SetModalResult(TModalResult::Ok);
}

void TfSearch::acAddmemberExecute()
{
    try {
        QList<int> rows;
        for (const QModelIndex &index : m_grdSearch->selectionModel()->selectedRows())
            rows << index.row();
        m_grdMembers->setUpdatesEnabled(false);
        m_grdSearch->setUpdatesEnabled(false);
        const QStringList columns = TSearchRules::ResultColumns(m_kind);
        auto value = [this](int row, const QString &field) { return m_search.ValueAt(row, m_search.FieldIndex(field)); };
        for (int row : rows) {
            TSearchMember member;
            member.ID = value(row, columns.first()).toString();
            member.Kind = m_kind;
            member.Name = value(row, columns.last()).toString();
            if (m_kind == SearchKind::Contacts) {
                member.Flag = value(row, QStringLiteral("FlagContact")).toBool();
                member.FirstName = value(row, QStringLiteral("FirstName")).toString();
                member.LastName = value(row, QStringLiteral("LastName")).toString();
            }
            m_members->Add(member, m_excluded);
        }
    } catch (const std::exception &e) {
        Log(QStringLiteral("acAddmemberExecute"), errorText(e));
    }
    m_grdSearch->setUpdatesEnabled(true);
    m_grdMembers->setUpdatesEnabled(true);
    UpdateActions();
}

void TfSearch::acRemovememberExecute()
{
    try {
        QList<int> rows;
        for (const QModelIndex &index : m_grdMembers->selectionModel()->selectedRows())
            rows << index.row();
        m_grdMembers->setUpdatesEnabled(false);
        m_members->Remove(rows);
    } catch (const std::exception &e) {
        Log(QStringLiteral("acRemovememberExecute"), errorText(e));
    }
    m_grdMembers->setUpdatesEnabled(true);
    UpdateActions();
}

void TfSearch::PreparePreSelectedData(const TSearchObjectList *preselected)
{
    try {
        m_preselected = preselected ? *preselected : TSearchObjectList();
        if (m_multi)
            for (const TSearchMember &member : TSearchResult::MembersFrom(m_kind, m_preselected))
                m_members->Add(member, {});
        else if (!m_preselected.isEmpty() && m_search.GetActive())
            LocatePreselected();
    } catch (const std::exception &e) {
        Log(QStringLiteral("PreparePreSelectedData"), errorText(e));
    }
}

void TfSearch::SetExclusionList(const TSearchObjectList *excluded)
{
    m_excluded.clear();
    if (!excluded)
        return;
    for (const TSearchListItem &item : *excluded)
        m_excluded << (item.Text.isEmpty() ? item.Object.Caption : item.Text);
}

void TfSearch::UpdateActions()
{
    const int i = KindIndex(m_kind);
    m_acSearch->setEnabled(i >= 0 && TSearchRules::SearchEnabled(m_mask, m_kind, m_edText[i]->text()));
    const int selected = int(SelectedResultRows().size());
    m_acOK->setEnabled(TSearchRules::OkEnabled(m_multi, selected, m_members->Count()));
    m_acAddmember->setEnabled(selected > 0);
    m_acRemovemember->setEnabled(m_grdMembers->selectionModel()->hasSelection());
}

void TfSearch::UpdateCount()
{
    SetStatusText(TSearchRules::CountText(m_multi, Text(2587), Text(2584), m_found, int(SelectedResultRows().size())));
}

TSearchObjectList TfSearch::Result() const
{
    if (m_multi)
        return TSearchResult::FromMembers(m_kind, m_members->Members());
    if (!m_search.GetActive() || m_search.Eof())
        return {};
    const QStringList columns = TSearchRules::ResultColumns(m_kind);
    const bool flag = m_kind == SearchKind::Contacts && m_search.Value(QStringLiteral("FlagContact")).toBool();
    return TSearchResult::FromRow(m_kind, m_search.AsString(columns.first()), m_search.AsString(columns.last()), flag);
}

// --- the host's operation ---------------------------------------------------------------------

bool TSearchDialogHost::PerformSearch(int kinds, const QString &caption, int, bool multiSelect,
                                      const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                                      std::unique_ptr<TSearchObjectList> &result)
{
    result.reset();
    TDAQuorva *data = m_client.DAQuorva();
    if (!data)
        throw std::runtime_error("The data access module is not ready");
    QWidget *owner = m_client.MainWindow() ? m_client.MainWindow()->Widget() : nullptr;
    TfSearch dialog([this](int number) { return m_client.GetText(number); }, data->DASearch(), data->DAMinistryFunctions(),
                    owner);
    dialog.SetCaption(caption);
    dialog.SetOfferedKinds(kinds);
    dialog.Localizeform(multiSelect);
    dialog.PreparePreSelectedData(preselected);
    dialog.SetExclusionList(excluded);
    // The host waits with the hourglass; the user works in the dialog with the usual pointer.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const TModalResult answer = dialog.ShowModal();
    QApplication::restoreOverrideCursor();
    if (answer != TModalResult::Ok)
        return false;
    result = std::make_unique<TSearchObjectList>(dialog.Result());
    return true;
}
