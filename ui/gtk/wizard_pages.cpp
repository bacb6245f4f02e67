#include "ui/gtk/wizard_pages.h"

#include "localization/message_catalogue.h"

namespace {

NarrowString Text(const char* key) {
  return ToNarrow(GetMessageText(key));
}

}  // namespace

GtkWidget* WizardDialogPage::Place(GtkWidget* widget, int x, int y) {
  gtk_fixed_put(GTK_FIXED(container_), widget, x, y);
  widgets_.push_back(widget);
  return widget;
}

GtkWidget* WizardDialogPage::AddSidePicture(GdkPixbuf* sidePicture) {
  GtkWidget* picture = gtk_image_new_from_pixbuf(sidePicture);
  gtk_container_add(GTK_CONTAINER(container_), picture);
  widgets_.push_back(picture);
  return picture;
}

GtkWidget* WizardDialogPage::AddTextLabel() {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_widget_set_size_request(label, 330, 250);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.0f);
  return Place(label, 170, 10);
}

MessagePage::MessagePage(GtkWidget* container, GdkPixbuf* sidePicture, const U16String& text)
    : WizardDialogPage(container) {
  AddSidePicture(sidePicture);
  label_ = AddTextLabel();
  SetText(text);
}

void MessagePage::SetText(const U16String& text) {
  gtk_label_set_text(GTK_LABEL(label_), ToNarrow(text).Data());
}

SuccessFinalPage::SuccessFinalPage(GtkWidget* container, GdkPixbuf* sidePicture,
                                   const U16String& text)
    : MessagePage(container, sidePicture, text) {
  checkBox_ = gtk_check_button_new_with_label(Text("IDS_SUCCESS_OPENDESCR").Data());
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(checkBox_), TRUE);
  WrapToWidth(checkBox_, kPageRight - kCheckBoxX);
  Place(checkBox_, kCheckBoxX, 170);
}

// A caption longer than the page is wide wraps under itself, the box's
// indicator staying beside its first line; a caption that fits stays one
// line.
void SuccessFinalPage::WrapToWidth(GtkWidget* checkBox, int width) {
  GtkRequisition whole, caption;
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(checkBox));
  gtk_widget_size_request(checkBox, &whole);
  if (whole.width <= width) return;
  gtk_widget_size_request(label, &caption);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_widget_set_size_request(label, width - (whole.width - caption.width), -1);
}

bool SuccessFinalPage::WantsDescription() const {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(checkBox_)) != 0;
}

DirSelectPage::DirSelectPage(GtkWidget* container, GdkPixbuf* sidePicture)
    : WizardDialogPage(container) {
  AddSidePicture(sidePicture);
  GtkWidget* prompt = AddTextLabel();
  gtk_label_set_text(GTK_LABEL(prompt), Text("IDS_DESTINATION_PROMPT").Data());
  Place(gtk_label_new(Text("IDS_TEMPLATE_CATALOG").Data()), 170, 255);
  entry_ = gtk_entry_new();
  gtk_widget_set_size_request(entry_, 280, 30);
  Place(entry_, 170, 275);
  browseButton_ = gtk_button_new_with_label("...");
  gtk_widget_set_size_request(browseButton_, 30, 30);
  Place(browseButton_, 460, 275);
  g_signal_connect(browseButton_, "clicked", G_CALLBACK(OnBrowseClicked), this);
}

void DirSelectPage::SetDirectory(const U16String& directory) {
  gtk_entry_set_text(GTK_ENTRY(entry_), ToNarrow(directory).Data());
}

U16String DirSelectPage::GetDirectory() const {
  const char* text = gtk_entry_get_text(GTK_ENTRY(entry_));
  return text ? FromNarrow(text) : U16String();
}

void DirSelectPage::Browse() {
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      nullptr, nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "gtk-cancel", GTK_RESPONSE_CANCEL,
      "gtk-open", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    if (folder) {
      gtk_entry_set_text(GTK_ENTRY(entry_), folder);
      g_free(folder);
    }
  }
  gtk_widget_destroy(chooser);
}

void DirSelectPage::OnBrowseClicked(GtkButton*, gpointer page) {
  static_cast<DirSelectPage*>(page)->Browse();
}

ProgressPage::ProgressPage(GtkWidget* container, int barWidth) : WizardDialogPage(container) {
  label_ = Place(gtk_label_new(nullptr), 10, 130);
  bar_ = gtk_progress_bar_new();
  gtk_widget_set_size_request(bar_, barWidth, 20);
  Place(bar_, 10, 150);
  startText_ = Text("IDS_PROGRESS_START");
  finishText_ = Text("IDS_INSTALL_FINISH");
  Update(0);
}

// Only changes are passed on: each one queues a redraw, and a redraw of an
// unchanged page would wake the copying loop again at once.
void ProgressPage::Update(int percentage) {
  const NarrowString& text = percentage == 100 ? finishText_ : startText_;
  if (g_strcmp0(gtk_label_get_text(GTK_LABEL(label_)), text.Data()) != 0)
    gtk_label_set_text(GTK_LABEL(label_), text.Data());
  double fraction = percentage < 0 ? 0.0 : percentage > 100 ? 1.0 : percentage / 100.0;
  if (gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar_)) != fraction)
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), fraction);
}
