// Reading and writing the settings file on Windows through the runtime's
// text mode: CR LF on disk, a line feed in memory. A file that starts with a
// byte-order mark (UTF-16LE or UTF-8) is read as 16-bit units and written
// back as UTF-16LE with a mark; a file without one is read and written in
// the ANSI code page.
#include <cstdio>
#include <string>

#include "core/launcher_config.h"
#include "core/launcher_config_parser.h"
#include "platform/file_replacement.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr size_t kReadBlockSize = 2048;

// The runtime's Unicode text mode consumes a mark and then delivers 16-bit
// units; without a mark it delivers the bytes. The narrow retry is taken only
// when the narrow path names the same file: a character that the code page
// lacks would otherwise turn it into another name.
FILE* OpenForReading(const U16String& path) {
  FILE* file = OpenTextFile(path, U16String(u"rt, ccs=UNICODE"));
  if (file != nullptr) return file;
  NarrowString narrow = ToNarrow(path);
  if (narrow.IsEmpty() || !(FromNarrow(narrow) == path)) return nullptr;
  return std::fopen(narrow.Data(), "rt, ccs=UTF-8");
}

// A consumed mark leaves the position past it.
bool StartsWithMark(FILE* file) {
  return std::ftell(file) != 0;
}

void ReadUnits(FILE* file, LauncherConfigParser& parser) {
  char16_t block[kReadBlockSize];
  size_t count = 0;
  // The runtime's end mark is the unit U+FFFF, which is no text: the text
  // ends there.
  for (wint_t unit; (unit = std::fgetwc(file)) != WEOF;) {
    block[count++] = static_cast<char16_t>(unit);
    if (count == kReadBlockSize) {
      parser.Feed(block, count);
      count = 0;
    }
  }
  parser.Feed(block, count);
}

void DecodeInto(LauncherConfigParser& parser, const std::string& bytes) {
  if (bytes.empty()) return;
  U16String text = FromNarrow(bytes.data(), bytes.size());
  parser.Feed(text.Data(), text.Length());
}

// Bytes are decoded up to a line feed only: in the ANSI code pages a line
// feed byte is never part of a multibyte character, so no character is split
// between two decoded pieces.
void ReadBytes(FILE* file, LauncherConfigParser& parser) {
  std::string pending;
  char block[kReadBlockSize];
  size_t count;
  while ((count = std::fread(block, 1, sizeof block, file)) > 0) {
    size_t complete = count;
    while (complete > 0 && block[complete - 1] != '\n') --complete;
    pending.append(block, complete);
    if (complete > 0) {
      DecodeInto(parser, pending);
      pending.clear();
    }
    pending.append(block + complete, count - complete);
  }
  DecodeInto(parser, pending);
}

// Every text survives the ANSI code page unchanged.
bool FitsCodePage(const LauncherConfig& config) {
  for (const LauncherConfigEntry& entry : config.entries) {
    if (!(FromNarrow(ToNarrow(entry.key)) == entry.key)) return false;
    for (const U16String& value : entry.values) {
      if (!(FromNarrow(ToNarrow(value)) == value)) return false;
    }
  }
  return true;
}

bool WriteLine(FILE* file, bool wide, const U16String& key, const U16String& value) {
  if (wide) {
    U16String line = key + u'=' + value + u'\n';
    return std::fputws(Wide(line), file) >= 0;
  }
  NarrowString line = ToNarrow(key) + '=' + ToNarrow(value) + '\n';
  return std::fputs(line.Data(), file) >= 0;
}

}  // namespace

void ReadLauncherConfig(const U16String& path, LauncherConfig& config) {
  FILE* file = OpenForReading(path);
  if (file == nullptr) return;
  LauncherConfigParser parser(config);
  if (StartsWithMark(file)) {
    ReadUnits(file, parser);
  } else {
    ReadBytes(file, parser);
  }
  parser.Finish();
  std::fclose(file);
}

void WriteLauncherConfig(const U16String& path, const LauncherConfig& config) {
  // A file that cannot be probed counts as one with a mark. A text that the
  // ANSI code page cannot hold would be stored as another text: then the
  // file becomes UTF-16LE as well.
  bool wide = true;
  if (FILE* probe = OpenForReading(path)) {
    wide = StartsWithMark(probe);
    std::fclose(probe);
  }
  if (!wide && !FitsCodePage(config)) wide = true;

  // The lines go to a new file that replaces the old one only when all of
  // them are stored: a full disk leaves the old file whole.
  FileReplacement replacement;
  if (replacement.Begin(path) != 0) throw SettingsWriteError(SettingsWriteError::kCannotOpen);
  FILE* file = OpenTextFile(replacement.NewPath(), U16String(wide ? u"wt, ccs=UTF-16LE" : u"wt"));
  if (file == nullptr) throw SettingsWriteError(SettingsWriteError::kCannotOpen);
  bool failed = false;
  for (const LauncherConfigEntry& entry : config.entries) {
    for (const U16String& value : entry.values) {
      if (!WriteLine(file, wide, entry.key, value)) {
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
