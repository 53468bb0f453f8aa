// Who may call which service: the gate the data module installs into its dispatcher, and the
// rules about users it rests on, which the services share.
#pragma once

#include "remoting/ROServer.h"

#include <functional>
#include <memory>

class IDAConnection;

// A user's level value is a mask of rights; a mask is held when the level has all its bits.
// Bits of the level value an administrator holds, all of them (the settings' mask).
constexpr int kAdministratorRights = 0x7FFFFFFF;
// Bit 0: changing persons, families and groups.
constexpr int kEditorRights = 0x1;
bool HoldsRights(int level, int mask);
// True when the level value holds every one of the administrator's bits.
bool IsAdministrator(int level);

// Number of log-on names in tblUsers.
int CountUsers(IDAConnection &connection);

// Every service but the log-on and probe services refuses a session nobody logged on in,
// except while no user exists (the initial set-up). connect gives a connection for counting users.
ROSessionCheck MakeLogOnGate(std::function<std::unique_ptr<IDAConnection>()> connect);
