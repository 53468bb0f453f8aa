// A window with a status bar and a bar manager (its tool bars): the base of the larger dialogs,
// which write into the first panel of the status bar.
#pragma once

#include "ui/uStyleForm.h"

class QLabel;
class QStatusBar;

class UI_EXPORT TfBaseDialog : public TfStyleForm
{
    Q_OBJECT
public:
    explicit TfBaseDialog(QWidget *parent = nullptr);

    QStatusBar *statusbar() const;
    // The first panel of the status bar.
    void SetStatusText(const QString &text);
    QString StatusText() const;

private:
    QLabel *m_firstPanel;
};
