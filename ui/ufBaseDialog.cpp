#include "ui/ufBaseDialog.h"

#include <QLabel>
#include <QStatusBar>

TfBaseDialog::TfBaseDialog(QWidget *parent) : TfStyleForm(parent), m_firstPanel(new QLabel(this))
{
    statusBar()->addWidget(m_firstPanel, 1);
    // The bar manager takes no customising: tool bars stay where the dialog put them.
    setContextMenuPolicy(Qt::NoContextMenu);
}

QStatusBar *TfBaseDialog::statusbar() const
{
    return statusBar();
}

void TfBaseDialog::SetStatusText(const QString &text)
{
    m_firstPanel->setText(text);
}

QString TfBaseDialog::StatusText() const
{
    return m_firstPanel->text();
}
