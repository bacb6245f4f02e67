// The pages of the Linux wizard. A page is a set of widgets in the window's
// fixed container that are shown and hidden together; each page is built
// once, left hidden, and reused.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "platform/strings.h"

class WizardDialogPage {
 public:
  explicit WizardDialogPage(GtkWidget* container) : container_(container) {}
  virtual ~WizardDialogPage() = default;
  WizardDialogPage(const WizardDialogPage&) = delete;
  WizardDialogPage& operator=(const WizardDialogPage&) = delete;

  // Called after the page's widgets have been shown.
  virtual void OnActivate() {}

  // Every widget the page made, in creation order.
  const std::vector<GtkWidget*>& Widgets() const { return widgets_; }

 protected:
  // Puts widget at (x, y) of the container, hidden, and records it.
  GtkWidget* Place(GtkWidget* widget, int x, int y);
  // The side picture at the container's origin.
  GtkWidget* AddSidePicture(GdkPixbuf* sidePicture);
  // The wrapped 330 x 250 text label at (170, 10).
  GtkWidget* AddTextLabel();

  GtkWidget* container_;
  std::vector<GtkWidget*> widgets_;
};

// Side picture and a wrapped text: the welcome and the error page.
class MessagePage : public WizardDialogPage {
 public:
  MessagePage(GtkWidget* container, GdkPixbuf* sidePicture, const U16String& text);
  void SetText(const U16String& text);
  GtkWidget* TextLabel() const { return label_; }

 private:
  GtkWidget* label_;
};

// The success page: a message and the offer to open the description.
class SuccessFinalPage : public MessagePage {
 public:
  SuccessFinalPage(GtkWidget* container, GdkPixbuf* sidePicture, const U16String& text);
  bool WantsDescription() const;
  GtkWidget* CheckBox() const { return checkBox_; }

 private:
  // The check box's left edge, and the right edge that page texts keep to
  // (the button row's right edge).
  static constexpr int kCheckBoxX = 170;
  static constexpr int kPageRight = 490;
  static void WrapToWidth(GtkWidget* checkBox, int width);

  GtkWidget* checkBox_;
};

// The template directory page: a prompt, an entry and a folder browser.
class DirSelectPage : public WizardDialogPage {
 public:
  DirSelectPage(GtkWidget* container, GdkPixbuf* sidePicture);
  void OnActivate() override {}
  void SetDirectory(const U16String& directory);
  U16String GetDirectory() const;
  // Lets the user pick a folder; only an accepted choice replaces the entry.
  void Browse();
  GtkWidget* Entry() const { return entry_; }
  GtkWidget* BrowseButton() const { return browseButton_; }

 private:
  static void OnBrowseClicked(GtkButton* button, gpointer page);

  GtkWidget* entry_;
  GtkWidget* browseButton_;
};

// Status line and progress bar while the files are copied.
class ProgressPage : public WizardDialogPage {
 public:
  ProgressPage(GtkWidget* container, int barWidth);
  // The finish text at exactly 100, the start text below; the bar follows.
  void Update(int percentage);
  GtkWidget* StatusLabel() const { return label_; }
  GtkWidget* Bar() const { return bar_; }

 private:
  GtkWidget* label_;
  GtkWidget* bar_;
  NarrowString startText_;
  NarrowString finishText_;
};
