// The mkkit program's commands over its arguments, the same on both
// systems; each system's entry point converts the arguments and supplies
// the two pieces that differ: text output and the time format.
#pragma once

#include <cstdio>
#include <vector>

#include "platform/file_api.h"
#include "platform/strings.h"

// arguments[0] is the program's name. Returns the exit status: 0 done,
// 1 failed, 2 wrong usage.
int RunMkkit(const std::vector<U16String>& arguments);

// Writes text to the stream (Linux: the locale's encoding; Windows: UTF-8).
void WriteText(FILE* stream, const U16String& text);
// "YYYY-MM-DD hh:mm:ss" in UTC, or "?" for a time that has no such form.
U16String UtcTimeText(FileTime time);
