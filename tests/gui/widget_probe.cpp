// A GTK module that lets the black-box tests read the real program's
// windows: loaded through GTK_MODULES, it answers each connection on the
// Unix socket named by SETUP_TEST_PROBE with a JSON description of the
// visible toplevels and their widgets, then closes it. It only reads; the
// tests drive the program with X input events. It sets no timer, so the
// program's main loop wakes only when a test asks.
#include <gtk/gtk.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <gdk/gdkx.h>

namespace {

void AppendQuoted(std::string& out, const char* text) {
  out += '"';
  for (const char* p = text ? text : ""; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void AppendField(std::string& out, const char* name, const char* text) {
  out += ",\"";
  out += name;
  out += "\":";
  AppendQuoted(out, text);
}

void AppendNumber(std::string& out, const char* name, double value) {
  char number[64];
  std::snprintf(number, sizeof number, ",\"%s\":%g", name, value);
  out += number;
}

void AppendFlag(std::string& out, const char* name, bool value) {
  out += ",\"";
  out += name;
  out += value ? "\":true" : "\":false";
}

struct Walk {
  GtkWidget* toplevel;
  std::string* out;
  bool first;
};

void DescribeWidget(GtkWidget* widget, gpointer data);

void DescribeChildren(GtkWidget* widget, Walk* walk) {
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), DescribeWidget, walk);
}

void DescribeWidget(GtkWidget* widget, gpointer data) {
  Walk* walk = static_cast<Walk*>(data);
  if (!gtk_widget_get_mapped(widget)) return;
  bool known = GTK_IS_LABEL(widget) || GTK_IS_BUTTON(widget) || GTK_IS_ENTRY(widget) ||
               GTK_IS_PROGRESS_BAR(widget) || GTK_IS_IMAGE(widget) || GTK_IS_SEPARATOR(widget);
  if (known) {
    std::string& out = *walk->out;
    if (!walk->first) out += ',';
    walk->first = false;
    gint x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, walk->toplevel, 0, 0, &x, &y);
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    out += "{\"type\":";
    AppendQuoted(out, G_OBJECT_TYPE_NAME(widget));
    AppendNumber(out, "x", x);
    AppendNumber(out, "y", y);
    AppendNumber(out, "width", allocation.width);
    AppendNumber(out, "height", allocation.height);
    AppendFlag(out, "sensitive", gtk_widget_is_sensitive(widget));
    AppendFlag(out, "has_default", gtk_widget_has_default(widget));
    if (GTK_IS_LABEL(widget)) AppendField(out, "text", gtk_label_get_text(GTK_LABEL(widget)));
    if (GTK_IS_BUTTON(widget)) AppendField(out, "label", gtk_button_get_label(GTK_BUTTON(widget)));
    if (GTK_IS_TOGGLE_BUTTON(widget))
      AppendFlag(out, "active", gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)));
    if (GTK_IS_ENTRY(widget)) AppendField(out, "text", gtk_entry_get_text(GTK_ENTRY(widget)));
    if (GTK_IS_PROGRESS_BAR(widget))
      AppendNumber(out, "fraction", gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(widget)));
    out += '}';
  }
  // A button's own label is reported through the button.
  if (!GTK_IS_BUTTON(widget)) DescribeChildren(widget, walk);
}

const char* KindOf(GtkWidget* window) {
  if (GTK_IS_MESSAGE_DIALOG(window)) return "message";
  if (GTK_IS_FILE_CHOOSER_DIALOG(window)) return "chooser";
  return "window";
}

const char* MessageTypeOf(GtkWidget* window) {
  if (!GTK_IS_MESSAGE_DIALOG(window)) return "";
  GtkMessageType type = GTK_MESSAGE_OTHER;
  g_object_get(window, "message-type", &type, nullptr);
  switch (type) {
    case GTK_MESSAGE_INFO:
      return "info";
    case GTK_MESSAGE_WARNING:
      return "warning";
    case GTK_MESSAGE_QUESTION:
      return "question";
    case GTK_MESSAGE_ERROR:
      return "error";
    default:
      return "other";
  }
}

std::string DescribeWindows() {
  std::string out = "{\"pid\":" + std::to_string(getpid()) + ",\"windows\":[";
  GList* toplevels = gtk_window_list_toplevels();
  bool first = true;
  for (GList* item = toplevels; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    if (!gtk_widget_get_mapped(window) || !gtk_widget_get_window(window)) continue;
    if (!first) out += ',';
    first = false;
    GtkAllocation allocation;
    gtk_widget_get_allocation(window, &allocation);
    out += "{\"kind\":";
    AppendQuoted(out, KindOf(window));
    AppendField(out, "title", gtk_window_get_title(GTK_WINDOW(window)));
    out += ",\"xid\":" + std::to_string(GDK_WINDOW_XID(gtk_widget_get_window(window)));
    AppendNumber(out, "width", allocation.width);
    AppendNumber(out, "height", allocation.height);
    AppendNumber(out, "type_hint", gtk_window_get_type_hint(GTK_WINDOW(window)));
    AppendFlag(out, "modal", gtk_window_get_modal(GTK_WINDOW(window)));
    AppendField(out, "message_type", MessageTypeOf(window));
    if (GTK_IS_MESSAGE_DIALOG(window)) {
      gchar* text = nullptr;
      g_object_get(window, "text", &text, nullptr);
      AppendField(out, "text", text);
      g_free(text);
    }
    out += ",\"widgets\":[";
    Walk walk{window, &out, true};
    DescribeChildren(window, &walk);
    out += "]}";
  }
  g_list_free(toplevels);
  out += "]}\n";
  return out;
}

gboolean OnConnection(GIOChannel* channel, GIOCondition, gpointer) {
  int client = accept(g_io_channel_unix_get_fd(channel), nullptr, nullptr);
  if (client < 0) return TRUE;
  // What is described must be what the X server shows: pending window
  // requests go out first.
  gdk_flush();
  std::string answer = DescribeWindows();
  size_t done = 0;
  while (done < answer.size()) {
    ssize_t n = write(client, answer.data() + done, answer.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(client);
  return TRUE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***) {
  const char* path = g_getenv("SETUP_TEST_PROBE");
  if (!path || !*path) return;
  int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (server < 0) return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path);
  unlink(path);
  if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(server, 4) != 0) {
    std::fprintf(stderr, "widget probe: cannot listen on %s\n", path);
    close(server);
    return;
  }
  GIOChannel* channel = g_io_channel_unix_new(server);
  g_io_add_watch(channel, G_IO_IN, OnConnection, nullptr);
}
