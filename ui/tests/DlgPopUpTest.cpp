// The small dialog: Escape in any of its controls is Cancel; OK is the default button.
#include "ui/ufDlgPopUp.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

void pressEscapeIn(QWidget *target)
{
    QTimer::singleShot(0, target, [target] {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
    });
}

} // namespace

TEST(DlgPopUp, EscapeInsideAnEditPressesCancel)
{
    TfDlgPopUp dialog;
    auto *edit = new QLineEdit(dialog.grpBox());
    (new QVBoxLayout(dialog.grpBox()))->addWidget(edit);
    int cancelled = 0;
    QObject::connect(dialog.btnCancel(), &QPushButton::clicked, [&] { ++cancelled; });
    pressEscapeIn(edit);
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(cancelled, 1);
}

TEST(DlgPopUp, OkIsTheDefaultButtonAndAccepts)
{
    TfDlgPopUp dialog;
    EXPECT_TRUE(dialog.btnOK()->isDefault());
    QTimer::singleShot(0, dialog.btnOK(), &QPushButton::click);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}
