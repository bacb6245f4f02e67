#include "ui/gtk/message_box.h"

#include <gtk/gtk.h>

#include "ui/gtk/cwnd.h"

namespace {

// The box that gtk_dialog_run waits for (boxes nest: the innermost).
GtkWidget* openBox = nullptr;

GtkMessageType MessageTypeOf(uint32_t kind) {
  switch (kind >> 24) {
    case 1:
      return GTK_MESSAGE_ERROR;
    case 2:
      return GTK_MESSAGE_QUESTION;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

GtkButtonsType ButtonsOf(uint32_t kind) {
  return (kind & 0xFF) == 2 ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK;
}

int AnswerOf(int response) {
  switch (response) {
    case GTK_RESPONSE_YES:
      return kAnswerYes;
    case GTK_RESPONSE_NO:
      return kAnswerNo;
    case GTK_RESPONSE_OK:
      return kAnswerOk;
    default:
      return kAnswerNone;
  }
}

}  // namespace

int ShowMessageBox(const CWnd* owner, const U16String& text, uint32_t kind) {
  NarrowString narrow = ToNarrow(text);
  GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageTypeOf(kind),
                                          ButtonsOf(kind), "%s", narrow.Data());
  if (owner) gtk_window_set_title(GTK_WINDOW(box), ToNarrow(owner->GetTitle()).Data());
  GtkWidget* outer = openBox;
  openBox = box;
  int answer = AnswerOf(gtk_dialog_run(GTK_DIALOG(box)));
  openBox = outer;
  gtk_widget_destroy(box);
  return answer;
}

void CloseOpenMessageBox() {
  if (openBox) gtk_dialog_response(GTK_DIALOG(openBox), GTK_RESPONSE_DELETE_EVENT);
}
