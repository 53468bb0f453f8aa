#include "client/ufSelectServer.h"

#include "client/uDMClient.h"
#include "client/uWinSockUtils.h"

#include "foundation/QuorvaLogFile.h"
#include "ui/uHTMLHelp.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTextOK = 200;
constexpr int kTextCancel = 201;
constexpr int kTextHelp = 202;
constexpr int kTextCaption = 2021;
constexpr int kTextGroup = 2022;
constexpr int kTextDescription = 2023;
constexpr int kTextServerColumn = 2024;
constexpr int kTextVersionColumn = 2025;
constexpr int kTextAlways = 2026;
const QString kUnresolvedText = QStringLiteral("Unable to resolve network name.");

} // namespace

TfSelectServer::TfSelectServer(QWidget *parent)
    : TfDlgPopUp(parent), m_lblDescription(new QLabel(grpBox())), m_lvServers(new QTreeWidget(grpBox()))
{
    FormCreate();
    m_lblDescription->setWordWrap(true);
    m_lvServers->setColumnCount(2);
    m_lvServers->setRootIsDecorated(false);
    m_lvServers->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lvServers->setUniformRowHeights(true);
    m_lvServers->header()->setStretchLastSection(false);
    m_lvServers->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_lvServers->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_lvServers->viewport()->installEventFilter(this);
    auto *layout = new QVBoxLayout(grpBox());
    layout->addWidget(m_lblDescription);
    layout->addWidget(m_lvServers, 1);
    connect(m_lvServers, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (item && item->isSelected())
            btnOK()->click();
    });
    connect(this, &TfDlgPopUp::helpRequested, this, [] { TconHTMLHelp::ShowTopic(QStringLiteral("Login_Dialog")); });
    resize(460, 300);
}

void TfSelectServer::InitForm(const TDMClient &client)
{
    btnOK()->setText(client.GetText(kTextOK));
    btnCancel()->setText(client.GetText(kTextCancel));
    btnHelp()->setText(client.GetText(kTextHelp));
    setWindowTitle(client.GetText(kTextCaption));
    grpBox()->setTitle(client.GetText(kTextGroup));
    m_lblDescription->setText(client.GetText(kTextDescription));
    m_lvServers->setHeaderLabels({client.GetText(kTextServerColumn), client.GetText(kTextVersionColumn)});
    chkShow()->setText(client.GetText(kTextAlways));
}

void TfSelectServer::SetServers(QList<TDiscoveredServer> *servers, const QString &preferredURL)
{
    m_servers = servers;
    m_lvServers->clear();
    if (!servers)
        return;
    for (int i = 0; i < servers->size(); ++i) {
        auto *item = new QTreeWidgetItem(m_lvServers, {servers->at(i).Text, servers->at(i).Record.Text});
        item->setData(0, Qt::UserRole, i);
    }
    QString wanted = preferredURL;
    const qsizetype bin = wanted.indexOf(QLatin1String("/BIN"), 0, Qt::CaseInsensitive);
    if (bin >= 0)
        wanted.truncate(bin);
    QTreeWidgetItem *chosen = m_lvServers->topLevelItemCount() > 0 ? m_lvServers->topLevelItem(0) : nullptr;
    for (int i = 0; !wanted.isEmpty() && i < m_lvServers->topLevelItemCount(); ++i) {
        if (m_lvServers->topLevelItem(i)->text(0).startsWith(wanted, Qt::CaseInsensitive)) {
            chosen = m_lvServers->topLevelItem(i);
            break;
        }
    }
    if (chosen) {
        m_lvServers->setCurrentItem(chosen);
        m_lvServers->scrollToItem(chosen);
    }
}

int TfSelectServer::ChosenIndex() const
{
    const QList<QTreeWidgetItem *> selected = m_lvServers->selectedItems();
    if (selected.isEmpty())
        return m_lvServers->topLevelItemCount() > 0 ? 0 : -1;
    return selected.first()->data(0, Qt::UserRole).toInt();
}

QString TfSelectServer::ToolTipFor(int row)
{
    if (!m_servers || row < 0 || row >= m_servers->size())
        return {};
    TFieldID &record = (*m_servers)[row].Record;
    if (record.Extra.isEmpty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        record.Extra = TWinSockUtils::GetHostNameFromURL((*m_servers)[row].Text);
        QApplication::restoreOverrideCursor();
    }
    return record.Extra == TWinSockUtils::Unresolved ? kUnresolvedText : record.Extra;
}

void TfSelectServer::showEvent(QShowEvent *event)
{
    TfDlgPopUp::showEvent(event);
    try {
        if (m_lvServers->selectedItems().isEmpty() && m_lvServers->topLevelItemCount() > 0) {
            m_lvServers->setCurrentItem(m_lvServers->topLevelItem(0));
            m_lvServers->scrollToItem(m_lvServers->topLevelItem(0));
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("FormShow"), QString::fromUtf8(e.what()));
    }
}

bool TfSelectServer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lvServers->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (QTreeWidgetItem *item = m_lvServers->itemAt(help->pos()))
            QToolTip::showText(help->globalPos(), ToolTipFor(item->data(0, Qt::UserRole).toInt()), m_lvServers);
        else
            QToolTip::hideText();
        return true;
    }
    return TfDlgPopUp::eventFilter(watched, event);
}
