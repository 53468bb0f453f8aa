// The self-update's progress window: borderless, centred, a group box "Updating Kestrova"
// with a centred label over a progress bar. Programs with windows hand it to TDMUpdater.
#pragma once

#include "updating/uDMUpdater.h"

#include <QWidget>

class QLabel;
class QProgressBar;

class TfUpdater : public QWidget, public IUpdaterProgress
{
    Q_OBJECT
public:
    explicit TfUpdater(QWidget *parent = nullptr);

    void Show() override;
    void Hide() override;
    void SetProgress(int position, const QString &text) override;
    void SetMax(int maximum) override;

    QString LabelText() const;
    int Position() const;
    int Maximum() const;

private:
    QLabel *m_label;
    QProgressBar *m_bar;
};
