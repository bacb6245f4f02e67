// Helpers of the in-process window tests: kits, the wizard up to its
// welcome page, answering modal boxes, and reading the widgets.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"
#include "ui/gtk/installer_dlg.h"

// Kit times: newer than anything the tests put into a template directory.
constexpr int64_t kKitSeconds = 1600000000;
constexpr int64_t kOldSeconds = 1000000000;
FileTime FileTimeOfSeconds(int64_t seconds);

// Writes a kit of these files (name "\" separated, contents) to path.
void WriteKit(const std::string& path, const std::vector<KitDescription>& descriptions,
              const std::vector<std::pair<std::string, std::string>>& files);
// A kit whose installation lasts long enough to act during the copying:
// every file lies in a folder of its own.
std::vector<std::pair<std::string, std::string>> SlowKitFiles(int count = 300);

// Runs GTK until nothing is pending, and at least until the window is
// mapped with its final size (time limit 5 s).
void SettleWindow(GtkWidget* window);
void ProcessPendingEvents();

// Answers every message box or folder chooser that appears while it lives,
// from GTK's loop, and records what each one showed.
class BoxAnswerer {
 public:
  struct Seen {
    std::string title;
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    bool hasOk = false, hasYes = false, hasNo = false;
    bool chooser = false;
  };
  // response: what the box is answered with. prepare, if given, runs on the
  // box first (a folder chooser gets its folder this way).
  explicit BoxAnswerer(int response, std::function<void(GtkWidget*)> prepare = nullptr);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;
  const std::vector<Seen>& seen() const { return seen_; }

 private:
  static gboolean Tick(gpointer self);
  int response_;
  std::function<void(GtkWidget*)> prepare_;
  guint source_ = 0;
  std::vector<Seen> seen_;
};

// Calls action once from GTK's loop as soon as condition holds (checked
// every 2 ms while a loop runs).
class WhenInLoop {
 public:
  WhenInLoop(std::function<bool()> condition, std::function<void()> action);
  ~WhenInLoop();
  WhenInLoop(const WhenInLoop&) = delete;
  WhenInLoop& operator=(const WhenInLoop&) = delete;
  bool done() const { return done_; }

 private:
  static gboolean Tick(gpointer self);
  std::function<bool()> condition_;
  std::function<void()> action_;
  guint source_ = 0;
  bool done_ = false;
};

// Sends a key press to the window as the X server would deliver it; returns
// whether a handler consumed it.
bool PressKey(GtkWidget* window, guint keyval);
// Sends the window manager's close request; returns whether it was consumed.
bool RequestClose(GtkWidget* window);

struct Placement {
  int x, y, width, height;
  bool operator==(const Placement&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Placement& p);
// Position in the toplevel and allocated size.
Placement PlacementOf(GtkWidget* widget);

struct ButtonLook {
  bool visible;
  bool sensitive;
  std::string label;
  bool isDefault;
  bool operator==(const ButtonLook&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ButtonLook& look);
ButtonLook LookOf(GtkWidget* button);

// The size hints the X window carries, as "min WxH max WxH base WxH" (a part
// the window does not set is left out).
std::string SizeHintsOf(GtkWidget* window);

std::string LabelText(GtkWidget* label);
std::string Text(const char* key);  // catalogue text as UTF-8
