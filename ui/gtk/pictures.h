// The two pictures compiled into the program.
#pragma once

// XPM data: the 158 x 286 side picture and the 256 x 256 window icon.
extern const char** const kSidePictureXpm;
extern const char** const kWindowIconXpm;
