#include "tests/support/process_win32.h"

#include <windows.h>

#include <thread>

#include "tests/support/test_support.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  U16String units = U16(utf8);
  return std::wstring(reinterpret_cast<const wchar_t*>(units.Data()), units.Length());
}

// One argument as the C runtime splits the command line again: in quotes,
// with the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// Reads a pipe to its end on a thread of its own, so that neither pipe can
// fill up and stop the program.
std::thread Drain(HANDLE pipe, std::string* into) {
  return std::thread([pipe, into] {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
      into->append(buffer, got);
    CloseHandle(pipe);
  });
}

}  // namespace

std::string ProgramBesideTests(const std::string& name) {
  wchar_t buffer[32768];
  DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
  std::wstring path(buffer, length);
  path = path.substr(0, path.find_last_of(L"\\/") + 1);
  std::string utf8 = Utf8(U16String(reinterpret_cast<const char16_t*>(path.c_str())));
  return utf8 + name;
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string* output, std::string* errors) {
  std::wstring commandLine = Quoted(Wide(program));
  for (const std::string& argument : arguments) commandLine += L" " + Quoted(Wide(argument));

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE outRead, outWrite, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return -1;
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  if (errors) {
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errors ? errWrite : outWrite;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                0, nullptr, nullptr, &startup, &process);
  CloseHandle(outWrite);
  if (errWrite) CloseHandle(errWrite);
  std::string outText, errText;
  std::thread outReader = Drain(outRead, &outText);
  std::thread errReader = errRead ? Drain(errRead, &errText) : std::thread();
  DWORD code = static_cast<DWORD>(-1);
  if (started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  outReader.join();
  if (errReader.joinable()) errReader.join();
  if (output) *output = outText;
  if (errors) *errors = errText;
  return started ? static_cast<int>(code) : -1;
}
