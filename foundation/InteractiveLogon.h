// The secret behind the automatic (Windows-account) log-on. When a user logs on with a
// password and asks for the automatic log-on, client and server both derive this secret from
// that password, the user name and the account, exactly as typed; the server keeps only a
// hash of it and the client keeps the secret, which it later sends as the password of an
// automatic log-on. docs/logon.md gives the derivation byte for byte.
#pragma once

#include "foundation/FoundationExport.h"

#include <QString>

// 64 lower-case hex digits. A slow hash (argon2id, 19 MiB, two passes): about as costly as
// checking a password. Throws std::runtime_error when the memory cannot be had.
FOUNDATION_EXPORT QString DeriveInteractiveLogonSecret(const QString &password, const QString &userName,
                                                       const QString &account);
