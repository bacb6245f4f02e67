// Reading and writing the settings file on Linux: bytes in the environment's
// locale encoding, line feed line ends, no byte-order mark.

#include <fcntl.h>
#include <string.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/launcher_config.h"
#include "core/launcher_config_parser.h"
#include "platform/file_replacement.h"

namespace {

constexpr size_t kReadBlockSize = 2048;

// The C library ignores the encoding clauses (a blank follows the comma), so
// both attempts open the file for plain reading.
FILE* OpenForReading(const U16String& path) {
  FILE* file = OpenTextFile(path, U16String(u"rt, ccs=UNICODE"));
  if (file != nullptr) return file;
  file = std::fopen(ToNarrow(path).Data(), "rt, ccs=UTF-8");
  if (file != nullptr) fcntl(fileno(file), F_SETFD, FD_CLOEXEC);
  return file;
}

// Zero bytes are no text and are dropped before decoding: dropped after it,
// they could leave two bytes side by side that decode differently once the
// line is written back without them.
void DecodeInto(LauncherConfigParser& parser, std::string& bytes) {
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
  if (bytes.empty()) return;
  U16String text = FromNarrow(bytes.data(), bytes.size());
  parser.Feed(text.Data(), text.Length());
}

}  // namespace

void ReadLauncherConfig(const U16String& path, LauncherConfig& config) {
  FILE* file = OpenForReading(path);
  if (file == nullptr) return;
  LauncherConfigParser parser(config);
  // Bytes are decoded up to a line feed only: in the locale encodings a line
  // feed byte is never part of a multibyte character, so no character is
  // split between two decoded pieces, however the blocks fall.
  std::string pending;
  char block[kReadBlockSize];
  size_t count;
  while ((count = std::fread(block, 1, sizeof block, file)) > 0) {
    const char* lastLineFeed = static_cast<const char*>(memrchr(block, '\n', count));
    if (lastLineFeed == nullptr) {
      pending.append(block, count);
      continue;
    }
    size_t complete = static_cast<size_t>(lastLineFeed - block) + 1;
    pending.append(block, complete);
    DecodeInto(parser, pending);
    pending.assign(block + complete, count - complete);
  }
  DecodeInto(parser, pending);
  parser.Finish();
  std::fclose(file);
}

void WriteLauncherConfig(const U16String& path, const LauncherConfig& config) {
  // The lines go to a new file that replaces the old one only when all of
  // them are stored: a full disk leaves the old file whole.
  FileReplacement replacement;
  if (replacement.Begin(path) != 0) throw SettingsWriteError(SettingsWriteError::kCannotOpen);
  FILE* file = OpenTextFile(replacement.NewPath(), U16String(u"wt"));
  if (file == nullptr) throw SettingsWriteError(SettingsWriteError::kCannotOpen);
  bool failed = false;
  for (const LauncherConfigEntry& entry : config.entries) {
    NarrowString key = ToNarrow(entry.key);
    for (const U16String& value : entry.values) {
      if (std::fprintf(file, "%s=%s", key.Data(), ToNarrow(value).Data()) < 0 ||
          std::fputc('\n', file) == EOF) {
        failed = true;
        break;
      }
    }
    if (failed) break;
  }
  // The last lines sit in the stream's buffer until it is closed: a failure
  // to store them shows only here and must not pass for success.
  if (std::fclose(file) != 0) failed = true;
  if (failed || replacement.Commit() != 0)
    throw SettingsWriteError(SettingsWriteError::kCannotWrite);
}
