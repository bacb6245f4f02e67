#include "ui/gtk/installer_dlg.h"

#include <gdk/gdkkeysyms.h>
#include <glib-unix.h>
#include <signal.h>

#include "localization/message_catalogue.h"
#include "ui/gtk/caption_fit.h"
#include "ui/gtk/message_box.h"
#include "ui/gtk/pictures.h"

namespace {

GtkWidget* NewButton(const char* key) {
  GtkWidget* button = gtk_button_new_with_label(ToNarrow(GetMessageText(key)).Data());
  gtk_widget_set_size_request(button, 80, 30);
  FitCaptionToButton(button);
  return button;
}

}  // namespace

CInstallerDlg::CInstallerDlg(int argumentCount, char** arguments, bool silentMode,
                             const NarrowString& windowTitle, const U16String& languageCode,
                             bool useWorkingDirectory)
    : argumentCount_(argumentCount), arguments_(arguments), title_(windowTitle) {
  context_.argumentCount = argumentCount;
  context_.arguments = arguments;
  context_.silentMode = silentMode;
  context_.windowTitle = windowTitle;
  context_.languageCode = languageCode;
  context_.useWorkingDirectory = useWorkingDirectory;
  gtk_init(&argumentCount_, &arguments_);
  channel_.Publish(0, GetMessageText("IDS_PREPARECOPY"), 0);
  // GLib turns the signals into events of the main loop: the handler that
  // runs in the signal only notes it.
  const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int i = 0; i < 3; ++i)
    signalSources_[i] = g_unix_signal_add(stopSignals[i], StopSignalReceived, this);
}

CInstallerDlg::~CInstallerDlg() {
  for (guint source : signalSources_) {
    if (source) g_source_remove(source);
  }
  if (window_) gtk_widget_destroy(window_);
  if (sidePicture_) g_object_unref(sidePicture_);
  if (icon_) g_object_unref(icon_);
}

U16String CInstallerDlg::GetTitle() const {
  return FromNarrow(title_);
}

int CInstallerDlg::ShowMessage(const U16String& text, uint32_t kind) {
  return ShowMessageBox(this, text, kind);
}

void CInstallerDlg::CreateWizardWindow() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  GdkGeometry hints{};
  hints.min_width = hints.max_width = hints.base_width = width_;
  hints.min_height = hints.max_height = hints.base_height = height_;
  gtk_window_set_geometry_hints(
      GTK_WINDOW(window_), nullptr, &hints,
      GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE | GDK_HINT_BASE_SIZE));
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_MENU);
  icon_ = gdk_pixbuf_new_from_xpm_data(kWindowIconXpm);
  gtk_window_set_icon(GTK_WINDOW(window_), icon_);

  fixed_ = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  g_signal_connect(window_, "destroy", G_CALLBACK(Destroyed), this);
  g_signal_connect(window_, "key_press_event", G_CALLBACK(KeyPressed), this);
  g_signal_connect(window_, "delete_event", G_CALLBACK(DeleteRequested), this);
  gtk_window_set_title(GTK_WINDOW(window_), title_.Data());

  separator_ = gtk_hseparator_new();
  gtk_widget_set_size_request(separator_, width_ - 20, 5);
  gtk_fixed_put(GTK_FIXED(fixed_), separator_, 10, 310);
  back_ = NewButton("IDS_WIZARD_BACK");
  gtk_fixed_put(GTK_FIXED(fixed_), back_, 230, 320);
  next_ = NewButton("IDS_WIZARD_NEXT");
  gtk_fixed_put(GTK_FIXED(fixed_), next_, 310, 320);
  cancel_ = NewButton("IDS_WIZARD_CANCEL");
  gtk_fixed_put(GTK_FIXED(fixed_), cancel_, 410, 320);
  gtk_widget_set_can_default(next_, TRUE);
  gtk_window_set_default(GTK_WINDOW(window_), next_);
  g_signal_connect(back_, "clicked", G_CALLBACK(BackClicked), this);
  g_signal_connect(next_, "clicked", G_CALLBACK(NextClicked), this);
  g_signal_connect(cancel_, "clicked", G_CALLBACK(CancelClicked), this);

  gtk_widget_show_all(fixed_);
  sidePicture_ = gdk_pixbuf_new_from_xpm_data(kSidePictureXpm);
  gtk_widget_show(window_);
}

void CInstallerDlg::ShowPage(WizardDialogPage* page) {
  if (currentPage_) {
    for (GtkWidget* widget : currentPage_->Widgets()) gtk_widget_hide(widget);
  }
  currentPage_ = page;
  if (!page) return;
  for (GtkWidget* widget : page->Widgets()) gtk_widget_show(widget);
  page->OnActivate();
}

bool CInstallerDlg::OnKeyPress(const GdkEventKey* event) {
  if (event->keyval != GDK_Escape) return false;
  OnCancelClicked();
  return true;
}

// The window manager's close request: during copying it is the Cancel
// button of that state (the window must outlive the worker's rollback);
// otherwise GTK destroys the window as usual.
bool CInstallerDlg::OnDeleteEvent() {
  if (state_ != WizardState::Copying) return false;
  OnCancelClicked();
  return true;
}

void CInstallerDlg::OnStopSignal() {
  if (state_ == WizardState::Copying) {
    // The worker stops after the file in hand and restores the template
    // directory; the copying loop then shows the error page, or closes.
    channel_.RequestCancel();
    stopSignalled_ = true;
    return;
  }
  CloseOpenMessageBox();
  if (window_) gtk_widget_destroy(window_);
}

gboolean CInstallerDlg::StopSignalReceived(gpointer dialog) {
  static_cast<CInstallerDlg*>(dialog)->OnStopSignal();
  return G_SOURCE_CONTINUE;
}

void CInstallerDlg::BackClicked(GtkButton*, gpointer dialog) {
  static_cast<CInstallerDlg*>(dialog)->OnBackClicked();
}

void CInstallerDlg::NextClicked(GtkButton*, gpointer dialog) {
  static_cast<CInstallerDlg*>(dialog)->OnNextClicked();
}

void CInstallerDlg::CancelClicked(GtkButton*, gpointer dialog) {
  static_cast<CInstallerDlg*>(dialog)->OnCancelClicked();
}

gboolean CInstallerDlg::KeyPressed(GtkWidget*, GdkEventKey* event, gpointer dialog) {
  return static_cast<CInstallerDlg*>(dialog)->OnKeyPress(event);
}

gboolean CInstallerDlg::DeleteRequested(GtkWidget*, GdkEvent*, gpointer dialog) {
  return static_cast<CInstallerDlg*>(dialog)->OnDeleteEvent();
}

// Destroying the window ends the main loop. Outside one (silent mode, tests)
// there is nothing to end.
void CInstallerDlg::Destroyed(GtkWidget*, gpointer dialog) {
  auto* self = static_cast<CInstallerDlg*>(dialog);
  self->window_ = nullptr;
  if (gtk_main_level() > 0) gtk_main_quit();
}
