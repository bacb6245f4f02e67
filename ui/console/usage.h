// What "--help" prints: the command line, the language codes of this build
// and the exit statuses, in the run's language.
#pragma once

#include "platform/strings.h"

// The usage, one line after another, each ending in a line feed.
// programName is the program's argument 0.
U16String UsageText(const char* programName);
