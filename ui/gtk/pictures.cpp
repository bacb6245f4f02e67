#include "ui/gtk/pictures.h"

#include "ui/gtk/side_picture.xpm"
#include "ui/gtk/window_icon.xpm"

const char** const kSidePictureXpm = side_picture_xpm;
const char** const kWindowIconXpm = window_icon_xpm;
