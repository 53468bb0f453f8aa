// The address of a server typed by hand: "http://" and the host, and the port (digits only),
// with a button that probes the address and says whether a server answered.
#pragma once

#include "ui/ufDlgPopUp.h"

#include <functional>

class QLabel;
class QLineEdit;
class TDMClient;

class TfDlgServerAddress : public TfDlgPopUp
{
    Q_OBJECT
public:
    // Answers true when a server answered at the URL.
    using Probe = std::function<bool(const QString &url)>;

    explicit TfDlgServerAddress(QWidget *parent = nullptr);

    // Captions from the host's language texts.
    void InitForm(const TDMClient &client);
    void SetProbe(Probe probe) { m_probe = std::move(probe); }
    void SetAddress(const QString &server, const QString &port);
    QString Server() const;
    QString Port() const;
    bool AlwaysUse() const;

    QLineEdit *edServer() const { return m_edServer; }
    QLineEdit *edPort() const { return m_edPort; }
    QPushButton *btnProbe() const { return m_btnProbe; }

private:
    void btnProbeClick();

    QLabel *m_lblDescription;
    QLabel *m_lblServer;
    QLabel *m_lblPort;
    QLineEdit *m_edServer;
    QLineEdit *m_edPort;
    QPushButton *m_btnProbe;
    Probe m_probe;
};
