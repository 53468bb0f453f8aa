#include "client/HostComponentFactory.h"

#include "client/uDMClient.h"
#include "client/uLogOn.h"
#include "client/uPopupNotifier.h"
#include "client/uQorCDOMail.h"
#include "client/uReportChooser.h"
#include "client/uServerConnector.h"
#include "client/ufMain.h"
#include "client/ufSearch.h"
#include "client/ufServerProgress.h"

#include <QApplication>

std::unique_ptr<IQuorvaMainWindow> THostComponentFactory::CreateMainWindow()
{
    return std::make_unique<TfMain>();
}

void THostComponentFactory::InstallComponents(TDMClient &client)
{
    client.SetServerConnector(std::make_unique<TServerConnector>(client));
    client.SetLogOnSteps(std::make_unique<TLogOnSteps>(client));
    client.SetSearchDialog(std::make_unique<TSearchDialogHost>(client));
    client.SetMailComposer(std::make_unique<TMailComposerHost>(client));
    client.SetReportChooser(std::make_unique<TReportChooser>(client));
    client.SetPopupNotifier(std::make_unique<TPopupNotifier>());
    client.SetServerProgressFactory(std::make_unique<TServerProgressFactory>(client));
}

void THostComponentFactory::RunMessageLoop(IQuorvaMainWindow &window)
{
    window.Widget()->show();
    QApplication::exec();
}
