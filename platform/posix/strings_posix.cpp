// Conversions between UTF-16 and the environment's locale encoding.
//
// The encoding comes from a locale object made from the environment (as
// setlocale(LC_ALL, "") would choose it) and used per call, so a conversion
// never changes the process's locale nor disturbs another thread.
//
// Rules for text that does not convert (the program always goes on):
// - A surrogate pair travels as one character, in both directions.
// - A byte that does not decode becomes the unit U+DC00 + byte; such a unit
//   turns back into that byte, so any file name survives a round trip.
// - A character the encoding lacks, and any other lone surrogate, becomes "?".
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <wchar.h>
#include <wordexp.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/strings.h"

namespace {

struct EnvironmentEncoding {
  locale_t locale;
  bool utf8;
};

std::string EnvironmentLocaleKey() {
  std::string key;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    key += value ? value : "";
    key += '\n';
  }
  return key;
}

// The locale object for the current environment. One is made for each
// distinct setting of the locale variables and kept for the life of the
// process, because another thread may still be using an earlier one.
const EnvironmentEncoding& CurrentEncoding() {
  static std::mutex mutex;
  // Never destroyed: a conversion may still run while the process exits.
  static auto& made = *new std::map<std::string, EnvironmentEncoding>;
  static thread_local const std::string* lastKey = nullptr;
  static thread_local const EnvironmentEncoding* last = nullptr;
  std::string now = EnvironmentLocaleKey();
  if (last && *lastKey == now) return *last;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = made.find(now);
  if (found == made.end()) {
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
      locale = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }
    const char* codeset = nl_langinfo_l(CODESET, locale);
    found = made.emplace(now,
                         EnvironmentEncoding{locale, codeset && std::strcmp(codeset, "UTF-8") == 0})
                .first;
  }
  lastKey = &found->first;
  last = &found->second;
  return *last;
}

// Makes the environment's locale the calling thread's for one conversion.
class ThreadLocaleScope {
 public:
  explicit ThreadLocaleScope(locale_t locale) : previous_(uselocale(locale)) {}
  ~ThreadLocaleScope() { uselocale(previous_); }

 private:
  locale_t previous_;
};

constexpr char32_t kReplacementByteBase = 0xDC00;

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Next character of text at index (advanced); a lone surrogate is returned as is.
char32_t NextCodePoint(const char16_t* text, size_t length, size_t& index) {
  char16_t unit = text[index++];
  if (IsHighSurrogate(unit) && index < length && IsLowSurrogate(text[index])) {
    char32_t low = text[index++];
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
  }
  return unit;
}

void AppendUnits(U16String& out, char32_t codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out.Append(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.Append(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  } else {
    out.Append(static_cast<char16_t>(codePoint));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at bytes[index]; returns false (and leaves
// index) when the bytes there are not a valid, shortest-form character.
bool DecodeUtf8(const unsigned char* bytes, size_t count, size_t& index, char32_t& out) {
  unsigned char lead = bytes[index];
  size_t extra;
  char32_t c, minimum;
  if (lead < 0x80) {
    out = lead;
    ++index;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (count - index <= extra) return false;
  for (size_t k = 1; k <= extra; ++k) {
    unsigned char b = bytes[index + k];
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  out = c;
  index += extra + 1;
  return true;
}

NarrowString FromStd(const std::string& text) {
  return NarrowString(text.data(), text.size());
}

std::string EncodeUtf8(const U16String& text) {
  std::string out;
  out.reserve(text.Length() + 8);
  const char16_t* units = text.Data();
  size_t length = text.Length();
  for (size_t i = 0; i < length;) {
    char32_t c = NextCodePoint(units, length, i);
    if (c >= kReplacementByteBase + 0x80 && c <= kReplacementByteBase + 0xFF) {
      out += static_cast<char>(c - kReplacementByteBase);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += '?';
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

U16String DecodeUtf8Text(const char* bytes, size_t count) {
  U16String out;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < count;) {
    char32_t c;
    if (DecodeUtf8(b, count, i, c)) {
      AppendUnits(out, c);
    } else {
      out.Append(static_cast<char16_t>(kReplacementByteBase + b[i]));
      ++i;
    }
  }
  return out;
}

bool IsAscii(const char16_t* units, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (units[i] >= 0x80) return false;
  }
  return true;
}

}  // namespace

NarrowString ToNarrow(const U16String& text) {
  const char16_t* units = text.Data();
  size_t length = text.Length();
  if (IsAscii(units, length)) {
    NarrowString out(length, ' ');
    char* bytes = out.MutableData();
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(units[i]);
    return out;
  }
  const EnvironmentEncoding& encoding = CurrentEncoding();
  if (encoding.utf8) return FromStd(EncodeUtf8(text));

  ThreadLocaleScope scope(encoding.locale);
  std::string out;
  char buffer[MB_LEN_MAX];
  mbstate_t state{};
  for (size_t i = 0; i < length;) {
    char32_t c = NextCodePoint(units, length, i);
    if (c >= kReplacementByteBase + 0x80 && c <= kReplacementByteBase + 0xFF) {
      out += static_cast<char>(c - kReplacementByteBase);
      continue;
    }
    size_t n = (c >= 0xD800 && c <= 0xDFFF) ? static_cast<size_t>(-1)
                                            : wcrtomb(buffer, static_cast<wchar_t>(c), &state);
    if (n == static_cast<size_t>(-1)) {
      state = mbstate_t{};
      out += '?';
    } else {
      out.append(buffer, n);
    }
  }
  return FromStd(out);
}

U16String FromNarrow(const char* bytes, size_t count) {
  bool ascii = true;
  for (size_t i = 0; i < count && ascii; ++i) ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
  if (ascii) {
    U16String out(count, u' ');
    char16_t* units = out.MutableData();
    for (size_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(bytes[i]);
    return out;
  }
  const EnvironmentEncoding& encoding = CurrentEncoding();
  if (encoding.utf8) return DecodeUtf8Text(bytes, count);

  ThreadLocaleScope scope(encoding.locale);
  U16String out;
  mbstate_t state{};
  for (size_t i = 0; i < count;) {
    wchar_t wide;
    size_t n = mbrtowc(&wide, bytes + i, count - i, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      state = mbstate_t{};
      out.Append(
          static_cast<char16_t>(kReplacementByteBase + static_cast<unsigned char>(bytes[i])));
      ++i;
      continue;
    }
    if (n == 0) n = 1;  // an embedded zero byte
    AppendUnits(out, static_cast<char32_t>(wide));
    i += n;
  }
  return out;
}

U16String FromUtf8(const char* bytes, size_t count) {
  return DecodeUtf8Text(bytes, count);
}

NarrowString ToUtf8(const U16String& text) {
  return FromStd(EncodeUtf8(text));
}

FILE* OpenTextFile(const U16String& path, const U16String& mode) {
  FILE* file = std::fopen(ToNarrow(path).Data(), ToNarrow(mode).Data());
  // Shell commands started later must not inherit the stream.
  if (file) fcntl(fileno(file), F_SETFD, FD_CLOEXEC);
  return file;
}

U16String HomeDirectory() {
  wordexp_t words{};
  int result = wordexp("~", &words, 0);
  U16String home;
  if (result == 0) {
    if (words.we_wordc > 0) home = FromNarrow(words.we_wordv[0]);
    wordfree(&words);
  } else if (result == WRDE_NOSPACE) {
    wordfree(&words);
  }
  return home;
}

int CompareNoCase(const U16String& a, const U16String& b) {
  NarrowString x = ToNarrow(a), y = ToNarrow(b);
  return strcasecmp_l(x.Data(), y.Data(), CurrentEncoding().locale);
}
