// mkkit on Windows: wide arguments; output in UTF-8, so that listings mean
// the same whatever the code page, and match the Linux tool's in a UTF-8
// locale.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/win32/wide_text.h"
#include "tools/mkkit/mkkit_command.h"

void WriteText(FILE* stream, const U16String& text) {
  NarrowString bytes = ToUtf8(text);
  std::fwrite(bytes.Data(), 1, bytes.Length(), stream);
}

U16String UtcTimeText(FileTime time) {
  FILETIME value{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  SYSTEMTIME parts;
  if (!FileTimeToSystemTime(&value, &parts)) return FromUtf8("?");
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", parts.wYear, parts.wMonth,
                parts.wDay, parts.wHour, parts.wMinute, parts.wSecond);
  return FromUtf8(text);
}

int wmain(int argc, wchar_t** argv) {
  // Bytes go out as they are: line feeds stay line feeds.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<U16String> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(FromWide(argv[i]));
  return RunMkkit(arguments);
}
