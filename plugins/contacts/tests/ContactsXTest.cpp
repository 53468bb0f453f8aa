// The contact dialog and the import wizard as a user works them: on a private X server without a
// window manager, with mouse clicks and keys sent through the X server (xdotool), against one
// real server for the program. A picture of the screen per step stays under the build tree.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/ufContactDialog.h"
#include "plugins/contacts/ufImportWizard.h"

#include "testsupport/StandInHost.h"
#include "testsupport/QtPrinters.h"
#include "plugins/contacts/tests/ContactsServerSuite.h"
#include "testsupport/TestFiles.h"
#include "testsupport/Wait.h"
#include "testsupport/XServer.h"

#include "ui/PromptService.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace std::chrono_literals;

namespace {

// Longer than any answer of the widgets to a click or a key takes.
constexpr auto kLimit = 5s;

QPoint Middle(QWidget *widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

class ContactsX : public ContactsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        StartSuite();
    }
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        ASSERT_NE(XServer::Instance(), nullptr);
        ConnectAdministrator(host);
        controller.ModuleCreate();
        controller.SetHost(&host);
    }
    void TearDown() override
    {
        controller.SetHost(nullptr);
        controller.ModuleDestroy();
    }

    const XServer &X() const { return *XServer::Instance(); }
    // The window as the screen shows it, once it shows what the widgets hold.
    void Picture(QWidget *window, const QString &what) { EXPECT_TRUE(pictures.TakeOf(window, what)) << what.toStdString(); }
    QString Scalar(const QString &sql) { return server->db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }

    TStandInHost host{THostPart::Reports};
    TRvContactsController controller;
    TestPictures pictures;
};

// A click on 15 December and two Right arrows show the 17th as picked: "Not available" marks
// the 17th, and the keys stay with the days, so Shift+Right twice adds the 18th and 19th; Left
// and "Available again" free the 18th.
// A date of birth typed with a two-digit year is the latest such year that is not to come.
TEST_F(ContactsX, TheAvailabilityButtonsMarkTheDaysPickedWithKeysAndATwoDigitYearIsRecent)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    controller.Data().DAContactList().Open();
    controller.Data().RunContactDialog = [&](const QString &contact, bool isNew) {
        TfContactDlg dialog(controller.Data(), controller);
        dialog.Load(contact, isNew);
        EXPECT_TRUE(XServer::ShowActive(&dialog));
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("edFullname"));
        auto *born = dialog.findChild<QLineEdit *>(QStringLiteral("dtDOB"));
        auto *calendar = dialog.findChild<QCalendarWidget *>(QStringLiteral("DNAvail"));
        auto *days = calendar->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview"));
        auto *away = dialog.findChild<QPushButton *>(QStringLiteral("btnUnAvailiable"));
        auto *back = dialog.findChild<QPushButton *>(QStringLiteral("btnAvailiable"));
        auto *marked = dialog.findChild<QListWidget *>(QStringLiteral("lstDays"));
        QWidget *ok = dialog.findChild<QToolBar *>()->widgetForAction(dialog.acClose());
        const auto typeInto = [&](QLineEdit *edit, const QString &text) {
            EXPECT_TRUE(X().Click(Middle(edit)));
            EXPECT_TRUE(WaitFor([&] { return edit->hasFocus(); }, kLimit)) << edit->objectName().toStdString();
            EXPECT_TRUE(X().Key(QStringLiteral("ctrl+a")));
            EXPECT_TRUE(X().Type(text));
            EXPECT_TRUE(WaitFor([&] { return edit->text() == text; }, kLimit)) << edit->text().toStdString();
        };
        typeInto(name, QStringLiteral("Kay Keyed"));
        typeInto(born, QStringLiteral("3/15/05"));

        calendar->setCurrentPage(2027, 12);
        QPoint fifteenth;
        for (int row = 1; row < days->model()->rowCount(); ++row)
            for (int column = 1; column < days->model()->columnCount(); ++column)
                if (days->model()->index(row, column).data().toInt() == 15) // only once on a month's page
                    fifteenth = days->viewport()->mapToGlobal(days->visualRect(days->model()->index(row, column)).center());
        const auto picked = [&](const QList<QDate> &expected) { return WaitFor([&] { return dialog.SelectedDays() == expected; }, kLimit); };
        // The days the list beside the calendar shows as marked, by their day of December.
        const auto shownAway = [&](const QList<int> &expected) {
            const auto shown = [&] {
                QList<int> listed;
                for (int i = 0; i < marked->count(); ++i)
                    listed << QLocale().toDate(marked->item(i)->text(), QLocale::ShortFormat).day();
                return listed;
            };
            const bool done = WaitFor([&] { return shown() == expected; }, kLimit);
            EXPECT_EQ(shown(), expected);
            return done;
        };
        EXPECT_TRUE(X().Click(fifteenth));
        EXPECT_TRUE(picked({QDate(2027, 12, 15)}));
        EXPECT_TRUE(X().Key(QStringLiteral("Right")));
        EXPECT_TRUE(X().Key(QStringLiteral("Right")));
        EXPECT_TRUE(picked({QDate(2027, 12, 17)})) << "two Right arrows from the 15th";
        EXPECT_EQ(calendar->selectedDate(), QDate(2027, 12, 17));
        Picture(&dialog, QStringLiteral("17th-picked-by-keys"));
        EXPECT_TRUE(X().Click(Middle(away)));
        EXPECT_TRUE(shownAway({17}));
        Picture(&dialog, QStringLiteral("17th-marked"));
        // The keys go on where they were: the click on the button leaves them with the days.
        EXPECT_TRUE(days->hasFocus());
        EXPECT_TRUE(X().Key(QStringLiteral("shift+Right")));
        EXPECT_TRUE(X().Key(QStringLiteral("shift+Right")));
        EXPECT_TRUE(picked({QDate(2027, 12, 17), QDate(2027, 12, 18), QDate(2027, 12, 19)})) << "Shift extends from the 17th";
        Picture(&dialog, QStringLiteral("17th-to-19th-picked-by-shift"));
        EXPECT_TRUE(X().Click(Middle(away)));
        EXPECT_TRUE(shownAway({17, 18, 19}));
        EXPECT_TRUE(X().Key(QStringLiteral("Left")));
        EXPECT_TRUE(picked({QDate(2027, 12, 18)}));
        EXPECT_TRUE(X().Click(Middle(back)));
        EXPECT_TRUE(shownAway({17, 19}));
        Picture(&dialog, QStringLiteral("18th-freed"));

        EXPECT_TRUE(X().Click(Middle(ok)));
        EXPECT_TRUE(WaitFor([&] { return dialog.ModalResult() != TModalResult::None; }, kLimit));
        return dialog.ModalResult();
    };
    TScriptedPrompt prompt;
    ASSERT_TRUE(controller.Data().NewContact()) << host.Log.join('\n').toStdString();
    EXPECT_TRUE(prompt.Prompts().isEmpty());
    const QString key = Scalar(QStringLiteral("SELECT PK_ContactID FROM tblContacts WHERE LastName = 'Keyed'"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT string_agg(to_char(UnavailiableDate, 'MM-DD'), ',' ORDER BY UnavailiableDate) "
                                    "FROM tblUnAvailiabillity WHERE F_ContactID = '%1'").arg(key)),
              QStringLiteral("12-17,12-19"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT to_char(DateOfBirth, 'YYYY-MM-DD') FROM tblContacts WHERE PK_ContactID = '%1'").arg(key)),
              QStringLiteral("2005-03-15"));
}

// The file box takes a typed path: Return on a missing file shows a message box, answered with
// a click on its OK, after which the file box holds the keys with the name picked, so the next name
// typed replaces it; Return on a .csv loads its columns.
TEST_F(ContactsX, ATypedFileNameIsCheckedAndAFileThatFitsIsLoaded)
{
    QTemporaryDir files;
    const QString people = QDir(files.path()).filePath(QStringLiteral("people.csv"));
    ASSERT_TRUE(WriteFile(people, "FirstName,LastName,Zip\nAnn,Lee,12345\nBob,Kay,54321\n"));
    TfImport wizard(controller);
    wizard.SetTexts();
    ASSERT_TRUE(XServer::ShowActive(&wizard));
    QLineEdit *box = wizard.btnEdFilename;
    // Every message box shown meanwhile: its text, then a click on its button through X.
    QStringList told;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *message = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!message || !message->isVisible() || message->buttons().isEmpty())
            return;
        answer.stop();
        told << message->text();
        Picture(message, QStringLiteral("told"));
        EXPECT_TRUE(X().Click(Middle(message->buttons().first())));
        answer.start();
    });
    answer.start();
    const auto typePath = [&](const QString &path) {
        EXPECT_TRUE(X().Type(path));
        EXPECT_TRUE(WaitFor([&] { return box->text() == path; }, kLimit)) << box->text().toStdString();
        EXPECT_TRUE(X().Key(QStringLiteral("Return")));
    };
    const QString missing = QDir(files.path()).filePath(QStringLiteral("nobody.csv"));
    EXPECT_TRUE(X().Click(Middle(box)));
    EXPECT_TRUE(WaitFor([&] { return box->hasFocus(); }, kLimit));
    typePath(missing);
    EXPECT_TRUE(WaitFor([&] { return told.size() == 1 && !QApplication::activeModalWidget(); }, kLimit));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("does not exist"))) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains(QDir::toNativeSeparators(missing)));
    EXPECT_FALSE(wizard.acNext->isEnabled());
    // The box hands the keyboard back to the wizard as it closes (no window manager does), so
    // the keys reach the file box wherever the pointer stands.
    EXPECT_TRUE(X().MoveTo(QPoint(1, 1)));
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &wizard; }, kLimit));
    EXPECT_EQ(wizard.focusWidget(), box);
    EXPECT_EQ(box->selectedText(), missing);
    Picture(&wizard, QStringLiteral("missing-file-picked"));

    typePath(people);
    EXPECT_TRUE(WaitFor([&] { return wizard.acNext->isEnabled(); }, kLimit));
    Picture(&wizard, QStringLiteral("csv-loaded"));
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(wizard.cxlvImportFields->topLevelItemCount(), 3);
}

} // namespace
