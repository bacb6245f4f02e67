#include "ui/console/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "ui/console/console_text.h"

namespace {

constexpr int kBarCells = 20;
constexpr size_t kDefaultColumns = 80;

U16String PercentText(int32_t percentage) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%3d%%", percentage);
  return FromNarrow(digits);
}

// The end of text that fits into width columns.
U16String TailWithin(const U16String& text, size_t width) {
  size_t start = text.Length();
  size_t used = 0;
  while (start > 0) {
    size_t from = start - 1;
    // A surrogate pair goes whole or not at all.
    if (from > 0 && text[from] >= 0xDC00 && text[from] <= 0xDFFF && text[from - 1] >= 0xD800 &&
        text[from - 1] <= 0xDBFF)
      --from;
    size_t columns = DisplayWidth(text.Substring(from, start - from));
    if (used + columns > width) break;
    used += columns;
    start = from;
  }
  return text.Substring(start);
}

}  // namespace

U16String FormatProgressLine(int32_t percentage, const U16String& file, size_t columns) {
  if (percentage < 0) percentage = 0;
  if (percentage > 100) percentage = 100;
  U16String line(u"[");
  int filled = percentage * kBarCells / 100;
  for (int i = 0; i < kBarCells; ++i) line.Append(i < filled ? u'#' : u'-');
  line += u"] ";
  line += PercentText(percentage);
  const size_t room = columns > 0 ? columns - 1 : 0;
  const U16String gap(u"  ");
  const U16String ellipsis(u"...");
  size_t used = DisplayWidth(line) + gap.Length();
  if (file.IsEmpty() || used + ellipsis.Length() + 1 > room) return line;
  line += gap;
  if (used + DisplayWidth(file) <= room) return line + file;
  return line + ellipsis + TailWithin(file, room - used - ellipsis.Length());
}

ProgressLine::ProgressLine(int fd) : fd_(fd), active_(isatty(fd) == 1) {}

void ProgressLine::Show(int32_t percentage, const U16String& file) {
  if (!active_) return;
  if (percentage == percentage_ && file == file_ && !held_) return;
  percentage_ = percentage;
  file_ = file;
  held_ = true;
  if (percentage_ != drawnPercentage_ || HeldFor() == 0) Draw();
}

int ProgressLine::HeldFor() const {
  if (!held_) return -1;
  auto due = lastDraw_ + kRedrawInterval;
  auto now = Clock::now();
  if (now >= due) return 0;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
  return static_cast<int>(left) + 1;
}

void ProgressLine::DrawHeld() {
  if (held_ && HeldFor() == 0) Draw();
}

void ProgressLine::Draw() {
  U16String line = FormatProgressLine(percentage_, file_, Columns());
  size_t width = DisplayWidth(line);
  // What the last line had beyond this one is overwritten with blanks.
  if (drawnWidth_ > width) line += U16String(drawnWidth_ - width, u' ');
  NarrowString narrow = ToNarrow(U16String(u"\r") + line);
  if (write(fd_, narrow.Data(), narrow.Length()) < 0) active_ = false;
  drawnWidth_ = width;
  drawnPercentage_ = percentage_;
  held_ = false;
  lastDraw_ = Clock::now();
}

void ProgressLine::Erase() {
  if (!active_ || drawnWidth_ == 0) return;
  NarrowString blank = ToNarrow(U16String(u"\r") + U16String(drawnWidth_, u' ') + u"\r");
  if (write(fd_, blank.Data(), blank.Length()) < 0) active_ = false;
  drawnWidth_ = 0;
  held_ = false;
}

size_t ProgressLine::Columns() const {
  winsize size{};
  if (ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}
