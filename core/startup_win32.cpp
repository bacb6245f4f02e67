// The Windows command line and the kit's place beside the program.
#include <windows.h>

#include <vector>

#include "core/startup.h"
#include "platform/paths.h"
#include "platform/win32/wide_text.h"

CommandLineOptions ParseCommandLine(int argumentCount, wchar_t** arguments) {
  CommandLineOptions options;
  for (int i = 1; i < argumentCount; ++i) {
    const wchar_t* argument = arguments[i];
    if (argument[0] != L'/') continue;
    wchar_t option = argument[1];
    if (option == L'S' || option == L's') {
      options.silentMode = true;
    } else if (option == L'L' || option == L'l') {
      options.hasLanguage = true;
      // UTF-8 keeps every character distinct: through the ANSI code page a
      // character could turn into a letter of some language code.
      options.languageCode = ToUtf8(FromWide(argument + 2));
      break;
    }
  }
  return options;
}

namespace {

constexpr DWORD kPathBufferSize = 260;
constexpr DWORD kLongestPath = 32768;

// The program's own path, however long; empty when it cannot be had.
U16String ModulePath() {
  std::vector<wchar_t> buffer(kPathBufferSize);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return U16String();
    // A path that fills the buffer may have been cut: try a larger one.
    if (length < size) return U16String(reinterpret_cast<const char16_t*>(buffer.data()), length);
    if (size >= kLongestPath) return U16String();
    buffer.resize(size * 2 > kLongestPath ? kLongestPath : size * 2);
  }
}

}  // namespace

// Windows has no working-directory option: the kit is always beside the
// program. The program's path keeps its drive and directory; name and
// extension become "brvx" and ".bkd".
U16String LocateKit(bool) {
  U16String path = ModulePath();
  if (path.IsEmpty()) return U16String();
  size_t last = FindLastSeparator(path);
  size_t end = last == U16String::npos ? 0 : last + 1;
  if (end == 0 && path.Length() >= 2 && path[1] == u':') end = 2;
  U16String kit = path.Substring(0, end);
  kit.Append(u"brvx.bkd");
  return kit;
}
