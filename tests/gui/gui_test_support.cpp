#include "tests/gui/gui_test_support.h"

#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include <chrono>
#include <ostream>

#include "localization/message_catalogue.h"

FileTime FileTimeOfSeconds(int64_t seconds) {
  return 116444736000000000ull + static_cast<uint64_t>(seconds) * 10000000ull;
}

void WriteKit(const std::string& path, const std::vector<KitDescription>& descriptions,
              const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<KitFile> kitFiles;
  for (const auto& [name, data] : files)
    kitFiles.push_back({U16(name), FileTimeOfSeconds(kKitSeconds), data});
  WriteFileBytes(path, DeflateRaw(BuildWorkFile(descriptions, false, kitFiles), 1));
}

std::vector<std::pair<std::string, std::string>> SlowKitFiles(int count) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 0; i < count; ++i)
    files.push_back({"d" + std::to_string(1000 + i) + "\\f.txt", "file " + std::to_string(i)});
  return files;
}

void ProcessPendingEvents() {
  while (gtk_events_pending()) gtk_main_iteration();
}

void SettleWindow(GtkWidget* window) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    ProcessPendingEvents();
    GtkAllocation allocation;
    gtk_widget_get_allocation(window, &allocation);
    if (gtk_widget_get_mapped(window) && allocation.width == CInstallerDlg::kWidth) break;
    g_usleep(2000);
  }
  ProcessPendingEvents();
}

BoxAnswerer::BoxAnswerer(int response, std::function<void(GtkWidget*)> prepare)
    : response_(response), prepare_(std::move(prepare)) {
  source_ = g_timeout_add(5, Tick, this);
}

BoxAnswerer::~BoxAnswerer() {
  g_source_remove(source_);
}

gboolean BoxAnswerer::Tick(gpointer data) {
  auto* self = static_cast<BoxAnswerer*>(data);
  // A box that another box opened (a folder chooser can report a problem)
  // is answered first, so that the outer one's loop can end.
  GList* toplevels = gtk_window_list_toplevels();
  GtkWidget* window = nullptr;
  for (GList* item = toplevels; item; item = item->next) {
    GtkWidget* candidate = GTK_WIDGET(item->data);
    if (!GTK_IS_DIALOG(candidate) || !gtk_widget_get_mapped(candidate)) continue;
    if (!window || GTK_IS_MESSAGE_DIALOG(candidate)) window = candidate;
  }
  g_list_free(toplevels);
  if (window) {
    Seen seen;
    seen.chooser = GTK_IS_FILE_CHOOSER_DIALOG(window);
    const char* title = gtk_window_get_title(GTK_WINDOW(window));
    seen.title = title ? title : "";
    if (GTK_IS_MESSAGE_DIALOG(window)) {
      gchar* text = nullptr;
      g_object_get(window, "text", &text, "message-type", &seen.type, nullptr);
      seen.text = text ? text : "";
      g_free(text);
    }
    GtkDialog* dialog = GTK_DIALOG(window);
    seen.hasOk = gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_OK) != nullptr;
    seen.hasYes = gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_YES) != nullptr;
    seen.hasNo = gtk_dialog_get_widget_for_response(dialog, GTK_RESPONSE_NO) != nullptr;
    self->seen_.push_back(seen);
    if (self->prepare_ && seen.chooser) self->prepare_(window);
    gtk_dialog_response(dialog, self->response_);
  }
  return TRUE;
}

WhenInLoop::WhenInLoop(std::function<bool()> condition, std::function<void()> action)
    : condition_(std::move(condition)), action_(std::move(action)) {
  source_ = g_timeout_add(2, Tick, this);
}

WhenInLoop::~WhenInLoop() {
  if (source_) g_source_remove(source_);
}

gboolean WhenInLoop::Tick(gpointer data) {
  auto* self = static_cast<WhenInLoop*>(data);
  if (!self->condition_()) return TRUE;
  self->done_ = true;
  self->source_ = 0;
  self->action_();
  return FALSE;
}

bool PressKey(GtkWidget* window, guint keyval) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->key.send_event = TRUE;
  event->key.time = GDK_CURRENT_TIME;
  event->key.keyval = keyval;
  gboolean handled = FALSE;
  g_signal_emit_by_name(window, "key-press-event", &event->key, &handled);
  gdk_event_free(event);
  return handled;
}

bool RequestClose(GtkWidget* window) {
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->any.send_event = TRUE;
  // As GTK itself handles the request: destroyed unless a handler consumes it.
  g_object_ref(window);
  gboolean consumed = gtk_widget_event(window, event);
  if (!consumed) gtk_widget_destroy(window);
  g_object_unref(window);
  gdk_event_free(event);
  return consumed;
}

std::ostream& operator<<(std::ostream& out, const Placement& p) {
  return out << "(" << p.x << ", " << p.y << ") " << p.width << " x " << p.height;
}

Placement PlacementOf(GtkWidget* widget) {
  gint x = -1, y = -1;
  gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &x, &y);
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  return {x, y, allocation.width, allocation.height};
}

std::ostream& operator<<(std::ostream& out, const ButtonLook& look) {
  return out << (look.visible ? "shown" : "hidden") << ", "
             << (look.sensitive ? "enabled" : "disabled") << ", \"" << look.label << "\""
             << (look.isDefault ? ", default" : "");
}

ButtonLook LookOf(GtkWidget* button) {
  const char* label = gtk_button_get_label(GTK_BUTTON(button));
  return {gtk_widget_get_visible(button) != 0, gtk_widget_get_sensitive(button) != 0,
          label ? label : "", gtk_widget_has_default(button) != 0};
}

std::string LabelText(GtkWidget* label) {
  return gtk_label_get_text(GTK_LABEL(label));
}

std::string Text(const char* key) {
  return Utf8(GetMessageText(key));
}

std::string SizeHintsOf(GtkWidget* window) {
  XSizeHints hints{};
  long supplied = 0;
  GdkWindow* gdkWindow = gtk_widget_get_window(window);
  if (!XGetWMNormalHints(GDK_WINDOW_XDISPLAY(gdkWindow), GDK_WINDOW_XID(gdkWindow), &hints,
                         &supplied))
    return "none";
  std::string text;
  auto part = [&](const char* name, int w, int h) {
    if (!text.empty()) text += " ";
    text += std::string(name) + " " + std::to_string(w) + "x" + std::to_string(h);
  };
  if (hints.flags & PMinSize) part("min", hints.min_width, hints.min_height);
  if (hints.flags & PMaxSize) part("max", hints.max_width, hints.max_height);
  if (hints.flags & PBaseSize) part("base", hints.base_width, hints.base_height);
  return text;
}
