#include "client/HostComponentFactory.h"

#include "client/PlaceholderComponents.h"
#include "client/uDMClient.h"
#include "client/uReportChooser.h"

#include <QApplication>

std::unique_ptr<IQuorvaMainWindow> THostComponentFactory::CreateMainWindow()
{
    return std::make_unique<TfMainPlaceholder>();
}

void THostComponentFactory::InstallComponents(TDMClient &client)
{
    client.SetServerConnector(std::make_unique<TPreferredServerConnector>(client));
    client.SetReportChooser(std::make_unique<TReportChooser>(client));
}

void THostComponentFactory::RunMessageLoop(IQuorvaMainWindow &window)
{
    window.Widget()->show();
    QApplication::exec();
}
