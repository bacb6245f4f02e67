// Process entry of the Linux setup program.
#include <gtk/gtk.h>

#include "ui/gtk/application.h"

int main(int argc, char** argv) {
  // The install worker runs in this process later, so thread support comes
  // first. GLib initialises its thread system by itself since 2.32.
#if !GLIB_CHECK_VERSION(2, 32, 0)
  g_thread_init(nullptr);
#endif
  gdk_threads_init();
  return RunSetupApplication(argc, argv);
}
