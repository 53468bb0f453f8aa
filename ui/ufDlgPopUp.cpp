#include "ui/ufDlgPopUp.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QKeyEvent>
#include <QVBoxLayout>

TfDlgPopUp::TfDlgPopUp(QWidget *parent)
    : QDialog(parent)
    , m_grpBox(new QGroupBox(this))
    , m_chkShow(new QCheckBox(QStringLiteral("#"), this))
    , m_btnOK(new QPushButton(QStringLiteral("#OK"), this))
    , m_btnCancel(new QPushButton(QStringLiteral("#Cancel"), this))
    , m_btnHelp(new QPushButton(QStringLiteral("#Help"), this))
    , m_buttons(new QVBoxLayout)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    m_btnOK->setDefault(true);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnHelp, &QPushButton::clicked, this, &TfDlgPopUp::helpRequested);

    m_buttons->addWidget(m_btnOK);
    m_buttons->addWidget(m_btnCancel);
    m_buttons->addWidget(m_btnHelp);
    m_buttons->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_grpBox, 1);
    top->addLayout(m_buttons);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addWidget(m_chkShow);
}

void TfDlgPopUp::keyPressEvent(QKeyEvent *event)
{
    // Whatever control has the focus, Escape is the Cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_btnCancel->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
