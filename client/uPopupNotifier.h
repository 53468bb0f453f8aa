// The host's popup notices (IPopupNotifier) through one popup component, so that notices stack
// while several are open. A click on a notice's text hands its tag to the host's own handler;
// the tag is never given to the desktop to open as an address.
#pragma once

#include "client/HostComponents.h"
#include "client/uMSNPopUp.h"

class TPopupNotifier : public IPopupNotifier
{
public:
    TPopupNotifier();

    void ShowPopup(const TPopupNotice &notice, std::function<void(const QString &tag)> onClick) override;

    TMSNPopUp &Component() { return m_popup; }

private:
    TMSNPopUp m_popup;
};
