#include "client/HostComponentFactory.h"

#include "client/uDMClient.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufMain.h"

#include <QApplication>

std::unique_ptr<IQuorvaMainWindow> THostComponentFactory::CreateMainWindow()
{
    return std::make_unique<TfMain>();
}

void THostComponentFactory::InstallComponents(TDMClient &client)
{
    client.SetServerConnector(std::make_unique<TServerConnector>(client));
    client.SetLogOnSteps(std::make_unique<TLogOnSteps>(client));
}

void THostComponentFactory::RunMessageLoop(IQuorvaMainWindow &window)
{
    window.Widget()->show();
    QApplication::exec();
}
