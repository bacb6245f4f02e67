#include "ui/gtk/caption_fit.h"

namespace {

// Width of text in font desc, with the label's padding.
int CaptionWidth(GtkWidget* label, const PangoFontDescription* desc) {
  PangoLayout* layout = gtk_widget_create_pango_layout(label, gtk_label_get_text(GTK_LABEL(label)));
  pango_layout_set_font_description(layout, desc);
  int width = 0;
  pango_layout_get_pixel_size(layout, &width, nullptr);
  g_object_unref(layout);
  gint xpad = 0;
  gtk_misc_get_padding(GTK_MISC(label), &xpad, nullptr);
  return width + 2 * xpad;
}

// Runs after the button has placed its caption (size-allocate runs the
// class handler first), so the caption's allocation is the room it has.
// Only a change of size touches the label: the new allocation that the
// change brings settles on the same size and stops there.
void OnAllocated(GtkWidget* button, GtkAllocation*, gpointer) {
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
  if (!GTK_IS_LABEL(label)) return;
  GtkAllocation room;
  gtk_widget_get_allocation(label, &room);
  const PangoFontDescription* own = gtk_widget_get_style(button)->font_desc;
  const int ownSize = pango_font_description_get_size(own);
  PangoFontDescription* desc = pango_font_description_copy(own);
  int size = ownSize;
  const int step = PANGO_SCALE / 2;
  const int minimum = static_cast<int>(kMinimumCaptionPoints * PANGO_SCALE);
  while (size - step >= minimum && CaptionWidth(label, desc) > room.width) {
    size -= step;
    pango_font_description_set_size(desc, size);
  }
  int current = pango_font_description_get_size(gtk_widget_get_style(label)->font_desc);
  if (size != current) gtk_widget_modify_font(label, size == ownSize ? nullptr : desc);
  pango_font_description_free(desc);
}

}  // namespace

void FitCaptionToButton(GtkWidget* button) {
  g_signal_connect(button, "size-allocate", G_CALLBACK(OnAllocated), nullptr);
}
