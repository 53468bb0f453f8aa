// The server's class factories: one per service, each making a new service object per request.
#pragma once

// Registers the factories in the order the server constructs them; idempotent.
void RegisterServerServices();
void UnregisterServerServices();
