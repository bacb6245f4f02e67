// Button captions that are wider than their fixed-size button.
#pragma once

#include <windows.h>

// Keeps a push button's caption inside it: a caption wider than the room
// inside the button's frame is drawn in its dialog's face at smaller pixel
// heights, one pixel at a time, down to seven tenths of the dialog font's
// height. A caption that does not fit even then is left at the smallest
// height (and the window tests report it).
void FitCaptionToButton(HWND button);
