// Shell commands on Linux: a path goes between double quotes with the
// characters the shell still interprets there escaped, so the tool receives
// exactly the given path.
#pragma once

#include "platform/strings.h"

// The text to put between double quotes so that the shell yields text.
NarrowString EscapeForDoubleQuotes(const NarrowString& text);
// Runs command with system(); returns what system() returned.
int RunShellCommand(const NarrowString& command);
