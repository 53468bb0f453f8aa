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
    // What is typed, read as people type it: a host or an address without "http://" takes it,
    // and a port typed after the host wins over the port field. False when it names no server.
    static bool ReadAddress(const QString &typedServer, const QString &typedPort, QString &server, QString &port);
    // "http://" and the host, and the port, as read; as typed when they name no server.
    QString Server() const;
    QString Port() const;
    bool AlwaysUse() const;

    QLineEdit *edServer() const { return m_edServer; }
    QLineEdit *edPort() const { return m_edPort; }
    QPushButton *btnProbe() const { return m_btnProbe; }

    // Stays open, saying what form is expected, while the address names no server.
    void accept() override;

private:
    void btnProbeClick();
    bool Read(QString &server, QString &port);

    QLabel *m_lblDescription;
    QLabel *m_lblServer;
    QLabel *m_lblPort;
    QLineEdit *m_edServer;
    QLineEdit *m_edPort;
    QPushButton *m_btnProbe;
    Probe m_probe;
    QString m_expectedForm;
};
