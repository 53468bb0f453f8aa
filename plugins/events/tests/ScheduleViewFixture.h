// The schedule view against a real data server holding a generated parish, one server and
// database for the program: the suite's view, module and stand-in host, and what its tests share.
#pragma once

#include "plugins/events/tests/EventsServerSuite.h"
#include "plugins/events/tests/TimeOnlyEditor.h"
#include "plugins/events/uCalendarView.h"
#include "plugins/events/uEventEditorRules.h"
#include "plugins/events/uEventsCommon.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uGroupedRows.h"
#include "plugins/events/uScheduleRules.h"
#include "plugins/events/uScheduleView.h"
#include "plugins/events/ufAutoScheduleStart.h"

#include "testsupport/GeneratedParish.h"
#include "remoting/ROHTTPChannel.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"
#include "ui/PromptService.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace schedule_view_test {

inline const QString kEveningMass = QStringLiteral("{70000000-0000-0000-0000-000000000004}");

// The host's runner, as the progress window runs it: the server's scheduling, waited for.
inline bool RunScheduling(const TStandInHost &host, const TStandInHost::TRun &run)
{
    const auto lines = [](const QStringList &ids) { return ids.isEmpty() ? QString() : ids.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"); };
    return CoEventsService::Create(host.Message, host.Channel)->RunAutoSchedule(run.From, run.To, lines(run.TemplateIds), lines(run.FunctionIds));
}

template <class Window> void WhenShown(std::function<void(Window *)> action)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<Window *>(w); window && window->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(window);
                return;
            }
    });
    timer->start(10);
}

inline bool WaitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The menu's action of that caption; fails the test when there is none.
inline void FindAction(const QMenu &menu, const QString &caption, QAction *&found)
{
    found = nullptr;
    for (QAction *action : menu.actions())
        if (action->text() == caption)
            found = action;
    ASSERT_NE(found, nullptr) << caption.toStdString();
}

inline TSearchListItem Contact(int number)
{
    TSearchListItem item;
    item.Object.Caption = QStringLiteral("{C%1-0000-4000-8000-000000000000}").arg(number, 7, 10, QLatin1Char('0'));
    item.Object.Value = 1;
    item.Object.TypeID = TSearchObject::ContactType;
    item.Object.Text1 = QStringLiteral("Person Number %1").arg(number);
    item.Text = item.Object.Caption;
    return item;
}

class ScheduleView : public EventsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        StartSuite([] {
            GenerateParish(server->db, TParishShape{60, 2, false});
            // The template the calendar's new liturgies take.
            Sql(QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) "
                               "  VALUES ('{10000000-0000-0000-0000-000000000001}', 'St. Mary', 0);"
                               "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID, LiturgyIndex) "
                               "  VALUES ('%1', 'Evening Mass', '{10000000-0000-0000-0000-000000000001}', 0);")
                    .arg(kEveningMass));
        });
        if (host)
            host->OnRun = [](const TStandInHost::TRun &run) { runSucceeded = RunScheduling(*host, run); };
    }
    static void TearDownTestSuite() { StopSuite(); }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        host->Log.clear();
        // Each test starts on an ungrouped grid, as a new session without a kept period.
        host->Settings.remove(TplgSchedule::EventsGridGroup);
        RvEvents()->ViewsLeft = {};
        OpenView();
    }
    // Leaves the view shown (storing its layout) and opens a new one, as the host does on the
    // next visit.
    void OpenView()
    {
        if (view) {
            view->Deactivate(nullptr);
            view->release();
        }
        view = new TplgSchedule;
        view->resize(1000, 700);
        view->show();
        view->Activate(nullptr);
    }
    void TearDown() override
    {
        if (!view)
            return;
        view->Deactivate(nullptr);
        view->release();
        view = nullptr;
    }

    // The n-th event of the open period, in start order.
    static QString EventInPeriod(int n)
    {
        return Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime >= '%1' ORDER BY StartDateTime, PK_EventID "
                                     "LIMIT 1 OFFSET %2")
                          .arg(GeneratedParishStart().toString(Qt::ISODate))
                          .arg(n));
    }
    TDACDSDataTable &Events() { return module->Data().tbl_DAEventList1; }
    TDACDSDataTable &Functions() { return module->Data().tbl_DAScheduledMinistryFunctions1; }

    // A click on the event's row.
    void SelectEvent(const QString &eventId)
    {
        int row = -1;
        for (int i = 0; i < Events().GetRecordCount() && row < 0; ++i)
            if (Events().ValueAt(i, Events().FieldIndex(QStringLiteral("PK_EventID"))).toString() == eventId)
                row = i;
        ASSERT_GE(row, 0) << eventId.toStdString();
        view->grdView()->selectRow(row);
        ASSERT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
    }
    // The first function row without a member; its key.
    QString SelectOpenFunction()
    {
        for (int i = 0; i < Functions().GetRecordCount(); ++i)
            if (Functions().ValueAt(i, Functions().FieldIndex(QStringLiteral("F_MinistryMemberID"))).toString().isEmpty()) {
                view->cxGrdView()->selectRow(i);
                return Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
            }
        return {};
    }
    static inline bool runSucceeded = false;
    TplgSchedule *view = nullptr;
};

} // namespace schedule_view_test
