#include "plugins/contacts/hcRvContactsController.h"

#include "plugins/contacts/uContactsViewFactory.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGridExport.h"
#include "plugins/contacts/ufContactDialog.h"
#include "plugins/contacts/ufFamilyDlg.h"
#include "plugins/contacts/ufImportWizard.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uResourceHandler.h"
#include "ui/uHTMLHelp.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include "ui/GridLayout.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QTableView>
#include <QUrl>

using namespace Quorva;

namespace {

const QStringList kViews = {QStringLiteral("plgContacts"), QStringLiteral("plgFamilies"), QStringLiteral("plgGroups")};
constexpr int kNavBarImageSize = 32;

struct ExportTexts
{
    int Title;
    int Filter;
};

// The save dialog's title and filter by kind.
ExportTexts ExportTextsOf(TGridExportKind kind)
{
    switch (kind) {
    case TGridExportKind::Excel: return {10001, 10002};
    case TGridExportKind::Text: return {10010, 10011};
    case TGridExportKind::Html: return {10015, 10016};
    case TGridExportKind::Xml: return {10005, 10006};
    }
    return {0, 0};
}

void DrawPerson(QPainter &p, const QPointF &centre, double size, const QColor &colour)
{
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(centre.x(), centre.y() - size * 0.3), size * 0.18, size * 0.18);
    QPainterPath body;
    body.addRoundedRect(QRectF(centre.x() - size * 0.3, centre.y() - size * 0.08, size * 0.6, size * 0.5), size * 0.2, size * 0.2);
    p.drawPath(body);
}

// The navigation-bar pictures: one person, a family of two, a group of three.
QPixmap NavBarImage(int index)
{
    QPixmap image(kNavBarImageSize, kNavBarImageSize);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = kNavBarImageSize;
    if (index == 0) {
        DrawPerson(p, QPointF(s / 2, s / 2 + 2), s * 0.9, QColor(0x2e, 0x6d, 0xb4));
    } else if (index == 1) {
        DrawPerson(p, QPointF(s * 0.34, s / 2 + 2), s * 0.7, QColor(0x2e, 0x6d, 0xb4));
        DrawPerson(p, QPointF(s * 0.7, s / 2 + 5), s * 0.55, QColor(0xd0, 0x6a, 0x2a));
    } else {
        DrawPerson(p, QPointF(s * 0.25, s / 2 + 3), s * 0.5, QColor(0x3f, 0x9b, 0x4f));
        DrawPerson(p, QPointF(s * 0.75, s / 2 + 3), s * 0.5, QColor(0x3f, 0x9b, 0x4f));
        DrawPerson(p, QPointF(s * 0.5, s / 2 + 1), s * 0.6, QColor(0x2e, 0x6d, 0xb4));
    }
    return image;
}

// The tool-bar pictures in the order the views use: 0 new, 1 edit, 2 delete, 3 refresh,
// 4 print, 5 preview, 6 find, 7 e-mail, 8 export, 9 import, 10 help.
QList<QIcon> ToolbarIcons()
{
    QStyle *style = QApplication::style();
    const QStyle::StandardPixmap pixmaps[] = {
        QStyle::SP_FileIcon,        QStyle::SP_FileDialogDetailedView, QStyle::SP_TrashIcon,
        QStyle::SP_BrowserReload,   QStyle::SP_DialogSaveButton,       QStyle::SP_FileDialogContentsView,
        QStyle::SP_FileDialogStart, QStyle::SP_DirLinkIcon,            QStyle::SP_DriveFDIcon,
        QStyle::SP_DialogOpenButton, QStyle::SP_DialogHelpButton};
    QList<QIcon> icons;
    for (const QStyle::StandardPixmap pixmap : pixmaps)
        icons << style->standardIcon(pixmap);
    return icons;
}

} // namespace

TRvContactsController::TRvContactsController()
    : THYModuleController(QStringLiteral("RvContacts.Library"), QStringLiteral("Contacts, families and groups"))
{
    for (const QString &name : kViews)
        RegisterPlugin(name, name, [this, name] { return CreateContactsView(*this, name); });
    ChooseExportFile = [](const QString &title, const QString &filter) {
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, QString(), filter);
    };
}

TRvContactsController::~TRvContactsController() = default;

bool TRvContactsController::queryInterface(const QUuid &id, void **object)
{
    return QorQueryInterface<IHYModuleController, INavBarPluginCtrl>(this, id, object);
}

void TRvContactsController::OnCreate()
{
    m_data = std::make_unique<TDAContacts>(*this);
    m_data->RunContactDialog = [this](const QString &key, bool isNew) {
        TfContactDlg dialog(*m_data, *this, QApplication::activeWindow());
        dialog.Load(key, isNew);
        return dialog.ShowModal();
    };
    m_data->RunFamilyDialog = [this](int mode) {
        TfFamilyDlg dialog(*m_data, *this, QApplication::activeWindow());
        dialog.Prepare(mode);
        LoadGridLayout(QStringLiteral("dlgFamilyMembers"), dialog.Members()->horizontalHeader());
        const TModalResult result = dialog.ShowModal();
        SaveGridLayout(QStringLiteral("dlgFamilyMembers"), dialog.Members()->horizontalHeader());
        return result;
    };
    RunImport = [this](QWidget *parent) { ShowImportWizard(*this, parent); };
    InitializeController();
}

void TRvContactsController::OnSetHost(IHYHost *host)
{
    if (!host) {
        if (m_data)
            m_data->ClearConnection();
        return;
    }
    if (auto connection = host_cast<IROHostConnection>(host); connection && m_data)
        m_data->SetConnection(connection->GetChannel(), connection->GetMessage());
    if (auto mail = host_cast<IEmailHost>(host))
        m_mailAvailable = mail->IsMailAvailable();
}

void TRvContactsController::OnDestroy()
{
    if (m_data)
        m_data->ClearConnection();
    m_texts.reset();
    m_data.reset();
    m_initialised = false;
}

void TRvContactsController::InitializeController()
{
    if (m_initialised)
        return;
    m_initialised = true;
    auto texts = std::make_unique<TVOResourceHandler>();
    try {
        texts->LoadResourceFile(QorModuleLanguageFile());
        m_texts = std::move(texts);
    } catch (const std::exception &e) {
        // The host is not set yet while the module is being created: the line goes straight
        // into the session log the host and its modules share.
        const QString message = QString::fromUtf8(e.what());
        if (Host())
            WriteLog(QorLogLevel::Severe, {QStringLiteral("InitializeController")}, message);
        else
            AddToLog(llSevere, ModuleText, QStringLiteral("InitializeController"), message);
    }
}

void TRvContactsController::GetCaption(const QString &pluginName, QString &caption)
{
    const int index = int(kViews.indexOf(pluginName));
    if (index >= 0)
        caption = GetText(QList<int>{1000, 5000, 6000}[index]);
}

QPixmap TRvContactsController::GetBitmap(const QString &pluginName)
{
    if (pluginName == kViews[0])
        return NavBarImage(0);
    if (pluginName == kViews[1])
        return NavBarImage(1);
    return NavBarImage(2);
}

QString TRvContactsController::GetText(int number) const
{
    return m_texts ? m_texts->GetString(number) : QString();
}

QString TRvContactsController::GetHTML(int number) const
{
    return m_texts ? m_texts->GetHTML(number) : QString();
}

void TRvContactsController::WriteLog(quint8 level, const QorLogLocation &location, const QString &message) const
{
    if (auto log = host_cast<IHostLog>(Host()))
        log->WriteLog(level, ModuleText, location.Text, message);
}

TvoUser *TRvContactsController::GetCurrentUser() const
{
    auto users = host_cast<IUserHost>(Host());
    return users ? users->GetCurrentUser() : nullptr;
}

bool TRvContactsController::PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                                          const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                                          std::unique_ptr<TSearchObjectList> &result) const
{
    result.reset();
    auto search = host_cast<ISearchHost>(Host());
    return search && search->PerformSearch(kinds, caption, unused, multiSelect, preselected, excluded, result);
}

void TRvContactsController::ShowReportDlg(const QString &category, const QStringList *selection, int count,
                                          IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                                          const QString &familiesExclusion, const QString &overrideMarker,
                                          const QString &dataSource, const QString &criteria) const
{
    if (auto reports = host_cast<IReportHost>(Host()))
        reports->ShowReportDlg(category, selection, count, criteriaProvider, selectionIndex, familiesExclusion, overrideMarker,
                               dataSource, criteria);
}

void TRvContactsController::LoadGridLayout(const QString &name, QHeaderView *header) const
{
    try {
        auto settings = host_cast<ISettings>(Host());
        if (!settings || !header)
            return;
        RestoreGridLayout(*settings, name, *header);
    } catch (const std::exception &e) {
        QorLogFailure(this, QStringLiteral("LoadGridLayout"), e);
    }
}

void TRvContactsController::SaveGridLayout(const QString &name, QHeaderView *header) const
{
    try {
        auto settings = host_cast<ISettings>(Host());
        if (!settings || !header)
            return;
        const QByteArray stream = header->saveState();
        settings->SaveUserBlob(name, &stream);
    } catch (const std::exception &e) {
        QorLogFailure(this, QStringLiteral("SaveGridLayout"), e);
    }
}

bool TRvContactsController::ExportGrid(quint8 kind, QAbstractItemView *grid) const
{
    try {
        if (!grid || !grid->model() || kind < quint8(TGridExportKind::Excel) || kind > quint8(TGridExportKind::Xml))
            return false;
        const auto exportKind = TGridExportKind(kind);
        const ExportTexts texts = ExportTextsOf(exportKind);
        QString fileName = ChooseExportFile(GetText(texts.Title), GetText(texts.Filter));
        if (fileName.isEmpty())
            return false;
        if (QFileInfo(fileName).suffix().isEmpty())
            fileName += QLatin1Char('.') + GridExportExtension(exportKind);
        ExportGridFile(exportKind, *grid->model(), GridColumns(*grid), fileName);
        return true;
    } catch (const std::exception &e) {
        QorLogFailure(this, QStringLiteral("ExportGrid"), e);
        return false;
    }
}

bool TRvContactsController::OpenWebSite() const
{
    return OpenURL(WebSite);
}

void TRvContactsController::SendSimpleEmail(const QStringList &addresses) const
{
    if (auto mail = host_cast<IEmailHost>(Host()))
        mail->SendSimpleEmail(&addresses);
}

void TRvContactsController::ShowHelp(const QString &topic) const
{
    if (!TconHTMLHelp::ShowTopic(topic))
        WriteLog(QorLogLevel::Warning, {QStringLiteral("ShowHelp")}, QStringLiteral("The help topic %1 cannot be opened").arg(topic));
}

void TRvContactsController::StyleGrid(QAbstractItemView *grid)
{
    if (!grid)
        return;
    grid->setAlternatingRowColors(true);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (auto *table = qobject_cast<QTableView *>(grid)) {
        table->verticalHeader()->hide();
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
        table->horizontalHeader()->setStretchLastSection(true);
        table->horizontalHeader()->setHighlightSections(false);
        table->setWordWrap(false);
        table->setShowGrid(false);
    }
}

QList<QIcon> TRvContactsController::ToolbarImages() const
{
    return ToolbarIcons();
}

QList<QIcon> TRvContactsController::ToolbarDisabledImages() const
{
    QList<QIcon> disabled;
    for (const QIcon &icon : ToolbarIcons()) {
        QIcon grey;
        grey.addPixmap(icon.pixmap(24, 24, QIcon::Disabled));
        disabled << grey;
    }
    return disabled;
}
