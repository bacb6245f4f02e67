// Texts on the standard streams, in the locale's encoding.
#pragma once

#include <cstdio>

#include "platform/strings.h"

// Writes text and a line end to stream, and flushes it.
void WriteLine(FILE* stream, const U16String& text);

// Terminal columns that text takes (wide characters count two, others one).
size_t DisplayWidth(const U16String& text);
