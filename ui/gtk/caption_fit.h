// Button captions that are wider than their fixed-size button.
#pragma once

#include <gtk/gtk.h>

// Keeps the caption of a fixed-size button inside it: whenever the button is
// allocated, a caption wider than the room the button gives it is drawn in
// a smaller font, in half-point steps down to kMinimumCaptionPoints; a
// caption that fits gets the button's own font back. A caption that does
// not fit even then is left at the smallest size (and the window tests
// report it).
constexpr double kMinimumCaptionPoints = 8.0;
void FitCaptionToButton(GtkWidget* button);
