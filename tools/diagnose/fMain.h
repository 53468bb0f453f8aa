// The server-unreachable window: the address that was tried, why the connection may have
// failed and a link to the FAQ; it closes itself shortly after the link was used.
#pragma once

#include "DiagnoseInfo.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

class TfMain : public QDialog
{
    Q_OBJECT
public:
    explicit TfMain(QWidget *parent = nullptr);

    // Opens an address in the browser (the desktop's opener unless set); tests look instead.
    std::function<bool(const QString &address)> OpenLink;

    void ShowConnectInfo(const TDiagnoseInfo &info);
    // The link was used: open it and close the window a moment later; when nothing opens the
    // page, tell the user its path and stay.
    void LinkClick();
    void CloseTimer();

    QLabel *AddressLabel() const { return m_address; }
    QLabel *AdviceLabel() const { return m_advice; }
    QLabel *LinkLabel() const { return m_link; }
    QTimer *Timer() const { return m_timer; }
    QPushButton *ExitButton() const { return m_exit; }

private:
    QLabel *m_address = nullptr;
    QLabel *m_advice = nullptr;
    QLabel *m_link = nullptr;
    QString m_linkAddress;
    QPushButton *m_exit = nullptr;
    QTimer *m_timer = nullptr;
};
