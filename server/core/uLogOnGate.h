// Who may call which service: the gate the data module installs into its dispatcher, and the
// rules about users it rests on, which the services share.
#pragma once

#include "remoting/ROServer.h"

#include <functional>
#include <memory>

class IDAConnection;

// Bits of the level value an administrator holds, all of them.
constexpr int kAdministratorRights = 0x7FFFFFFF;
// True when the level value holds every one of those bits.
bool IsAdministrator(int level);

// Number of log-on names in tblUsers.
int CountUsers(IDAConnection &connection);

// Every service but the log-on and probe services refuses a session nobody logged on in,
// except while no user exists (the initial set-up). connect gives a connection for counting users.
ROSessionCheck MakeLogOnGate(std::function<std::unique_ptr<IDAConnection>()> connect);
