#include "client/HostComponentFactory.h"

#include "client/PlaceholderComponents.h"
#include "client/uDMClient.h"
#include "client/uQorCDOMail.h"
#include "client/ufSearch.h"

#include <QApplication>

std::unique_ptr<IQuorvaMainWindow> THostComponentFactory::CreateMainWindow()
{
    return std::make_unique<TfMainPlaceholder>();
}

void THostComponentFactory::InstallComponents(TDMClient &client)
{
    client.SetServerConnector(std::make_unique<TPreferredServerConnector>(client));
    client.SetSearchDialog(std::make_unique<TSearchDialogHost>(client));
    client.SetMailComposer(std::make_unique<TMailComposerHost>(client));
}

void THostComponentFactory::RunMessageLoop(IQuorvaMainWindow &window)
{
    window.Widget()->show();
    QApplication::exec();
}
