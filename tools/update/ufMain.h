// Update's window: a picture, the description, the status line and the progress bar. Shown,
// it waits two seconds and then runs the update once; when the run is over it closes.
#pragma once

#include "tools/update/UpdateRun.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class TDM;

class TfMain : public QWidget, public IUpdateView
{
    Q_OBJECT
public:
    TfMain(TDM &dm, const QString &folder, const QString &currentVersion, const QStringList &commandLine,
           QWidget *parent = nullptr);

    void SetBusy(bool busy) override;
    void SetStatus(const QString &text) override;
    void SetBar(int position) override;
    void SetBarMaximum(int maximum) override;
    void ProcessMessages() override;
    void SetRefreshing(bool on) override;
    void Installed(const QString &version) override;
    void ShowError(const QString &text, const QString &caption) override;
    void ShowMessage(const QString &text, const QString &caption) override;

    QLabel *DescriptionLabel() const { return m_lblDescription; }
    QLabel *StatusLabel() const { return m_lblProgress; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ActionTick();
    void FitHeight();

    TUpdateRun m_run;
    QStringList m_commandLine;
    QLabel *m_lblDescription;
    QLabel *m_lblProgress;
    QProgressBar *m_pb;
    QTimer m_tmrAction;
    QTimer m_tmrRefresh;
    bool m_started = false;
};
