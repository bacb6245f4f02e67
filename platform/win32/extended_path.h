// Paths in the form that the wide file-system calls take beyond the classic
// length limit. Every path that the Windows forms hand to the file system
// goes through ExtendedPath.
#pragma once

#include <cstddef>
#include <string>

#include "platform/strings.h"

// The classic limit is 260 units with the end mark; a directory must leave
// room for a short name (12 units) inside it. From this length on a path is
// passed in the extended form.
constexpr size_t kClassicPathLimit = 248;

// The path as the wide calls must get it. Shorter than the classic limit,
// already extended ("\\?\") or naming a device ("\\.\"): unchanged.
// Otherwise made absolute, with every "/" turned into "\" and "." and ".."
// resolved (the extended form takes every name literally), then prefixed
// with "\\?\", or "\\?\UNC\" in place of the leading "\\" of a network path.
std::wstring ExtendedPath(const U16String& path);
