// Until the schedule has its pane, it is an empty pane with its tool bar.
#include "plugins/events/plgEventViews.h"
#include "plugins/events/uCalendarView.h"

#include "client/api/ModuleKit.h"
#include "plugins/events/hcRvEventsController.h"

#include <QToolBar>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

class TplgEventView : public THYVisualPlugin<IHYVisualPlugin, INavBarPlugin>
{
public:
    explicit TplgEventView(const QString &name) : THYVisualPlugin(name), m_bar(new QToolBar(this))
    {
        m_bar->hide();
        new QVBoxLayout(this);
    }

    QList<QToolBar *> GetBarManager() override { return {m_bar}; }
    QList<QIcon> GetToolbarImages() override { return {}; }
    QList<QIcon> GetToolbarDisabledImages() override { return {}; }
    void GetStatusText(QString &text) override
    {
        if (TRvEventsController *controller = RvEvents())
            controller->GetCaption(GetPluginName(), text);
    }
    void Activate(QObject *) override {}
    void Deactivate(QObject *) override {}

private:
    QToolBar *m_bar;
};

} // namespace

IHYPlugin *CreateCalendarPlugin()
{
    return static_cast<IHYVisualPlugin *>(new TplgCalendar);
}

IHYPlugin *CreateSchedulePlugin()
{
    return static_cast<IHYVisualPlugin *>(new TplgEventView(TRvEventsController::SchedulePlugin));
}
