// The one line a terminal shows while the files are copied: a bar, the
// percentage and the file in hand, redrawn in place with a carriage return.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/strings.h"

// "[########------------]  40%  FILE", narrower than columns (a line that
// reaches the last column would wrap). A long file keeps its end, behind
// "..."; a terminal too narrow for it gets the bar and the percentage only.
U16String FormatProgressLine(int32_t percentage, const U16String& file, size_t columns);

class ProgressLine {
 public:
  // Draws on the terminal behind fd; stays silent when fd is no terminal.
  explicit ProgressLine(int fd);
  bool IsActive() const { return active_; }

  // The state to show. Redraws come at most every kRedrawInterval, so a
  // kit of many small files does not flood the terminal; a state that
  // comes sooner is held. Every change of the percentage shows at once.
  void Show(int32_t percentage, const U16String& file);
  // Milliseconds until a held state is due; -1 when none is held.
  int HeldFor() const;
  // Draws a held state whose time has come.
  void DrawHeld();
  // Clears the line and puts the cursor at its start.
  void Erase();

  static constexpr std::chrono::milliseconds kRedrawInterval{50};

 private:
  using Clock = std::chrono::steady_clock;
  void Draw();
  size_t Columns() const;

  int fd_;
  bool active_;
  bool held_ = false;
  int32_t percentage_ = -1;
  int32_t drawnPercentage_ = -1;
  U16String file_;
  size_t drawnWidth_ = 0;
  Clock::time_point lastDraw_{};
};
