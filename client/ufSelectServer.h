// The list of the servers discovery found, to choose the one to work with: one row per server
// (its address and version), the preferred server preselected, a check box to keep using it.
// A row's tooltip names the server's host, looked up once and kept with the server.
#pragma once

#include "ui/ufDlgPopUp.h"

#include <QList>

class QLabel;
class QTreeWidget;
class TDMClient;
struct TDiscoveredServer;

class TfSelectServer : public TfDlgPopUp
{
    Q_OBJECT
public:
    explicit TfSelectServer(QWidget *parent = nullptr);

    // Captions from the host's language texts.
    void InitForm(const TDMClient &client);
    // One row per server, in the list's order; the row whose address begins the preferred URL
    // (without "/BIN") is selected, else the first. The list must outlive the dialog.
    void SetServers(QList<TDiscoveredServer> *servers, const QString &preferredURL);
    // The chosen row; -1 when the list is empty.
    int ChosenIndex() const;
    // The tooltip of a row: the host name, resolved the first time it is asked for.
    QString ToolTipFor(int row);

    QTreeWidget *lvServers() const { return m_lvServers; }
    QLabel *lblDescription() const { return m_lblDescription; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_lblDescription;
    QTreeWidget *m_lvServers;
    QList<TDiscoveredServer> *m_servers = nullptr;
};
