// Where a program writes its logs and a user's choices. A program folder shared by a computer's
// users cannot be written by them; then each user's files go to that user's own state folder.
#pragma once

#include "foundation/FoundationExport.h"

#include <QString>

// $XDG_STATE_HOME (else ~/.local/state) + "/Orbek/Kestrova/".
FOUNDATION_EXPORT QString UserStateFolder();
// With a trailing "/": the program folder where this process can write it, else
// UserStateFolder(), made (the user's alone) when missing.
FOUNDATION_EXPORT QString WriteFolderOf(const QString &programFolder);
