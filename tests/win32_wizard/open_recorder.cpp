// open_recorder LOG PATH: appends PATH as a line (UTF-8) to LOG. The
// end-to-end tests make it the handler of description files, so that what
// the setup program opens is recorded instead of shown. A window program, so
// that starting it opens no console.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc != 3) return 2;
  const wchar_t* path = __wargv[2];
  int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return 1;
  std::string line(static_cast<size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path, -1, line.data(), size, nullptr, nullptr);
  line += '\n';
  FILE* log = _wfopen(__wargv[1], L"ab");
  if (!log) return 1;
  std::fwrite(line.data(), 1, line.size(), log);
  std::fclose(log);
  return 0;
}
