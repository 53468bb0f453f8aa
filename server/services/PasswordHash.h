// Stored passwords: argon2id hashes in libsodium's string form. Verifications are costly in
// memory, so at most four run at a time; further callers wait their turn.
#pragma once

#include <QString>

// The hash to store for a password. Throws std::runtime_error when memory runs out.
QString HashPassword(const QString &password);
// True when the stored value is a hash this module makes.
bool IsPasswordHash(const QString &stored);
// An empty stored value (or NULL) matches only the empty password. A stored value that is not
// a hash is an older clear text and matches only the same text exactly.
bool VerifyPassword(const QString &stored, const QString &password);

// The hash to store for the automatic log-on that a password log-on with this password, name
// and account asks for: the derived secret (foundation/InteractiveLogon.h), hashed as a
// password is. The derivation takes one of the four slots too.
QString HashInteractiveLogonSecret(const QString &password, const QString &userName, const QString &account);
// True only for a stored hash that the secret matches; an empty stored value matches nothing.
bool VerifyInteractiveLogonSecret(const QString &stored, const QString &secret);
