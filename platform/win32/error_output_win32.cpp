#include <windows.h>

#include "platform/error_output.h"

void WriteErrorLine(const U16String& line) {
  HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(output, &mode)) {
    U16String text = line + u"\r\n";
    WriteConsoleW(output, text.Data(), static_cast<DWORD>(text.Length()), &written, nullptr);
    return;
  }
  NarrowString text = ToNarrow(line);
  text.Append("\r\n");
  WriteFile(output, text.Data(), static_cast<DWORD>(text.Length()), &written, nullptr);
}
