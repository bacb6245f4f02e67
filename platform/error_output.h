// Lines on the process's standard error, for what a run tells without a
// window (Linux: the locale's encoding; Windows: the console's own text, or
// the ANSI code page when standard error is a file or a pipe). Nothing is
// written where the process has no standard error.
#pragma once

#include "platform/strings.h"

void WriteErrorLine(const U16String& line);
