// Every text of the Linux wizard measured against its place, in every
// language of the build: each label's natural size (its text laid out in the
// label's font, wrapped where the label wraps) against the size GTK gives it,
// against the window's edges and against the other widgets of its page. A
// translation that does not fit fails here, named with the language, the
// page, the widget and the pixels it lacks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "core/startup.h"
#include "localization/catalogue_data.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "tests/gui/gui_test_support.h"
#include "ui/gtk/message_box.h"

namespace {

struct Box {
  int x, y, width, height;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool Overlaps(const Box& other) const {
    return x < other.Right() && other.x < Right() && y < other.Bottom() && other.y < Bottom();
  }
};

// One widget of a window as drawn: where it is, and for a label where its
// text goes once laid out at its natural size.
struct Drawn {
  GtkWidget* widget;
  Box place;  // allocation, in window coordinates
  Box text;   // labels: the text at its natural size
  bool isText = false;
};

Box PlaceOf(GtkWidget* widget, GtkWidget* toplevel) {
  gint x = 0, y = 0;
  gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &x, &y);
  GtkAllocation a;
  gtk_widget_get_allocation(widget, &a);
  return {x, y, a.width, a.height};
}

// The label's text laid out as GTK draws it: wrapped to the label's width
// where it wraps, placed by the label's alignment and padding.
Box TextOf(GtkWidget* label, const Box& place) {
  int width = 0, height = 0;
  pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(label)), &width, &height);
  gint xpad = 0, ypad = 0;
  gfloat xalign = 0, yalign = 0;
  gtk_misc_get_padding(GTK_MISC(label), &xpad, &ypad);
  gtk_misc_get_alignment(GTK_MISC(label), &xalign, &yalign);
  width += 2 * xpad;
  height += 2 * ypad;
  return {place.x + static_cast<int>((place.width - width) * xalign),
          place.y + static_cast<int>((place.height - height) * yalign), width, height};
}

void Collect(GtkWidget* widget, GtkWidget* toplevel, std::vector<Drawn>* out) {
  if (!gtk_widget_get_mapped(widget)) return;
  if (widget != toplevel) {
    Drawn d{widget, PlaceOf(widget, toplevel), {}};
    if (GTK_IS_LABEL(widget)) {
      d.text = TextOf(widget, d.place);
      d.isText = true;
    }
    out->push_back(d);
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* c = children; c; c = c->next) Collect(GTK_WIDGET(c->data), toplevel, out);
    g_list_free(children);
  }
}

bool IsAncestor(GtkWidget* ancestor, GtkWidget* widget) {
  return gtk_widget_is_ancestor(widget, ancestor) != 0;
}

// The widget a text belongs to, as a user would name it.
std::string NameOf(GtkWidget* label) {
  GtkWidget* parent = gtk_widget_get_parent(label);
  std::string kind = GTK_IS_CHECK_BUTTON(parent) ? "check box"
                     : GTK_IS_BUTTON(parent)     ? "button"
                                                 : "label";
  return kind + " \"" + gtk_label_get_text(GTK_LABEL(label)) + "\"";
}

// Every text of the window that does not fit, one line each. The edge is
// the window's own size (a page text may not reach the button row's
// separator, which is a widget like any other).
std::vector<std::string> Misfits(GtkWidget* window, const std::string& where) {
  std::vector<Drawn> drawn;
  Collect(window, window, &drawn);
  GtkAllocation w;
  gtk_widget_get_allocation(window, &w);
  std::vector<std::string> found;
  auto report = [&](const Drawn& d, const std::string& what, int pixels) {
    if (pixels <= 0) return;
    std::ostringstream line;
    line << where << ", " << NameOf(d.widget) << ": " << pixels << " px " << what;
    found.push_back(line.str());
  };
  for (const Drawn& d : drawn) {
    if (!d.isText || gtk_label_get_text(GTK_LABEL(d.widget))[0] == '\0') continue;
    report(d, "wider than its place", d.text.width - d.place.width);
    report(d, "taller than its place", d.text.height - d.place.height);
    report(d, "past the window's right edge", d.text.Right() - w.width);
    report(d, "past the window's bottom edge", d.text.Bottom() - w.height);
    for (const Drawn& other : drawn) {
      if (&other == &d || IsAncestor(other.widget, d.widget) || IsAncestor(d.widget, other.widget))
        continue;
      // A wrapped label's place is larger than its text; its text is what
      // another widget must not cover.
      const Box& occupied = other.isText ? other.text : other.place;
      if (other.isText && gtk_label_get_text(GTK_LABEL(other.widget))[0] == '\0') continue;
      if (d.text.Overlaps(occupied)) {
        int into = std::min(d.text.Bottom() - occupied.y, occupied.Bottom() - d.text.y);
        into = std::min({into, d.text.Right() - occupied.x, occupied.Right() - d.text.x});
        std::string name = other.isText ? NameOf(other.widget) : G_OBJECT_TYPE_NAME(other.widget);
        report(d, "over " + name, into);
      }
    }
  }
  return found;
}

class TextFitTest : public ::testing::Test {
 protected:
  TextFitTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "home");
    MakeDirs(root_ / "tmp");
    MakeDirs(root_ / "kit");
    char* previous = getcwd(nullptr, 0);
    savedDirectory_ = previous;
    free(previous);
  }
  ~TextFitTest() override {
    if (chdir(savedDirectory_.c_str()) != 0) ADD_FAILURE() << "cannot return to the directory";
    ChooseLanguage("en");
  }
  void SetUp() override {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "the window tests need an X server in DISPLAY";
    unsetenv("GTK_MODULES");
    // No product description: every language shows its own placeholders.
    WriteKit(root_ / "kit/brvx.bkd", {}, SlowKitFiles(60));
    ASSERT_EQ(chdir((root_ / "kit").c_str()), 0);
  }

  // The wizard in that language, on its welcome page.
  std::unique_ptr<CInstallerDlg> StartWizard(const char* code) {
    ChooseLanguage(code);
    auto dialog = std::make_unique<CInstallerDlg>(
        1, arguments_, false, ToNarrow(GetMessageText("IDR_MAINFRAME")), U16(code), true);
    struct Silent : StartupReporter {
      void ReportStartupError(const char* key) override { ADD_FAILURE() << key; }
    } reporter;
    if (!RunStartupSequence(dialog->Context(), reporter)) return nullptr;
    dialog->CreateWizardWindow();
    dialog->ShowWelcomePage();
    SettleWindow(dialog->Window());
    return dialog;
  }

  TempDir root_;
  ScopedEnv home_;
  ScopedEnv tmpdir_;
  std::string savedDirectory_;
  char program_[6] = "setup";
  char* arguments_[2] = {program_, nullptr};
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "\n  " + line;
  return out;
}

// Each page in the order a user meets it, the button row with it: welcome,
// template directory, copying (at its start and at 100), installed, failed.
TEST_F(TextFitTest, EveryPageTextFitsInEveryLanguage) {
  std::vector<std::string> misfits;
  for (size_t i = 0; i < kLinuxCatalogue.count; ++i) {
    const char* code = kLinuxCatalogue.languages[i].code;
    std::unique_ptr<CInstallerDlg> dialog = StartWizard(code);
    ASSERT_TRUE(dialog) << code;
    GtkWidget* window = dialog->Window();
    auto measure = [&](const char* page) {
      SettleWindow(window);
      for (std::string& line : Misfits(window, std::string(code) + ", " + page + " page"))
        misfits.push_back(line);
    };
    measure("welcome");
    dialog->OnNextClicked();
    measure("template directory");
    // The copying page while the worker runs: its start text, then its
    // finish text, which the page shows once the worker reports 100.
    WhenInLoop copying([&] { return dialog->State() == WizardState::Copying; },
                       [&] {
                         measure("copying");
                         dialog->ProgressPageOf()->Update(100);
                         measure("copying (at 100)");
                       });
    dialog->DestinationPage()->SetDirectory(U16(root_ / ("target-" + std::string(code))));
    dialog->OnNextClicked();
    EXPECT_TRUE(copying.done()) << code << ": the copying ended before it could be measured";
    ASSERT_EQ(dialog->State(), WizardState::Success) << code;
    measure("installed");
    dialog->ShowErrorPage();
    measure("failed");
    dialog->WaitForWorkerEnd();
  }
  EXPECT_TRUE(misfits.empty()) << misfits.size() << " texts do not fit:" << Joined(misfits);
}

// Message boxes size themselves; what is checked is that nothing in them is
// cut all the same (a long word in a narrow box, a box taller than the
// screen). Every text of the catalogue goes through a box, so that a new
// message is covered as soon as it exists.
TEST_F(TextFitTest, EveryMessageFitsItsBoxInEveryLanguage) {
  // No wizard is built here, so the toolkit is started by the test itself.
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display";
  std::vector<std::string> misfits;
  GdkScreen* screen = gdk_screen_get_default();
  int screenWidth = gdk_screen_get_width(screen), screenHeight = gdk_screen_get_height(screen);
  for (size_t i = 0; i < kLinuxCatalogue.count; ++i) {
    const CatalogueLanguage& language = kLinuxCatalogue.languages[i];
    ChooseLanguage(language.code);
    for (size_t k = 0; k < language.textCount; ++k) {
      const char* key = language.texts[k].key;
      std::string where = std::string(language.code) + ", box with " + key;
      WhenInLoop measured(
          [] {
            GList* toplevels = gtk_window_list_toplevels();
            bool shown = false;
            for (GList* t = toplevels; t; t = t->next)
              shown |= GTK_IS_MESSAGE_DIALOG(t->data) && gtk_widget_get_mapped(GTK_WIDGET(t->data));
            g_list_free(toplevels);
            return shown;
          },
          [&] {
            GList* toplevels = gtk_window_list_toplevels();
            for (GList* t = toplevels; t; t = t->next) {
              GtkWidget* box = GTK_WIDGET(t->data);
              if (!GTK_IS_MESSAGE_DIALOG(box) || !gtk_widget_get_mapped(box)) continue;
              ProcessPendingEvents();
              for (std::string& line : Misfits(box, where)) misfits.push_back(line);
              GtkAllocation a;
              gtk_widget_get_allocation(box, &a);
              if (a.width > screenWidth || a.height > screenHeight)
                misfits.push_back(where + ": the box is larger than the screen");
              gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
            }
            g_list_free(toplevels);
          });
      ShowMessageBox(nullptr, GetMessageText(key), kMessageErrorOk);
      EXPECT_TRUE(measured.done()) << where;
    }
  }
  EXPECT_TRUE(misfits.empty()) << misfits.size() << " texts do not fit:" << Joined(misfits);
}

}  // namespace
