// Settings locations on Windows: in the roaming application-data and the
// program-data folders. Paths are joined as the launcher joins them, so the
// folder's trailing backslash stays doubled.
#include <windows.h>

#include <shlobj.h>

#include <mutex>

#include "core/settings_locations.h"
#include "platform/paths.h"
#include "platform/win32/wide_text.h"

namespace {

// {3EB685DB-65F9-4CF6-A03A-E3EF65729F3D} and {62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}
constexpr GUID kRoamingAppData = {
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
constexpr GUID kProgramData = {
    0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};
// KF_FLAG_CREATE | KF_FLAG_NO_ALIAS
constexpr DWORD kKnownFolderFlags = 0x9000;

using GetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

DWORD MajorVersion() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) ? version.dwMajorVersion : 0;
}

U16String FromKnownFolderCall(bool allUsers) {
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (shell == nullptr) shell = LoadLibraryW(L"shell32.dll");
  if (shell == nullptr) return U16String();
  auto call = reinterpret_cast<GetKnownFolderPath>(
      reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")));
  if (call == nullptr) return U16String();
  PWSTR path = nullptr;
  HRESULT result =
      call(allUsers ? kProgramData : kRoamingAppData, kKnownFolderFlags, nullptr, &path);
  U16String folder = SUCCEEDED(result) && path ? FromWide(path) : U16String();
  // The buffer is the caller's to free whatever the outcome.
  CoTaskMemFree(path);
  return folder;
}

U16String FromFolderPathCall(bool allUsers) {
  HMODULE library = LoadLibraryW(L"shfolder.dll");
  if (library == nullptr) return U16String();
  U16String folder;
  auto call = reinterpret_cast<GetFolderPath>(
      reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathW")));
  if (call != nullptr) {
    wchar_t buffer[MAX_PATH] = {};
    int which = (allUsers ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA) | CSIDL_FLAG_CREATE;
    // Only a successful call is known to have filled the buffer.
    if (SUCCEEDED(call(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
      buffer[MAX_PATH - 1] = 0;
      folder = FromWide(buffer);
    }
  }
  FreeLibrary(library);
  return folder;
}

// The folders set by OverrideSettingsFolders.
struct FoldersOverride {
  std::mutex mutex;
  bool active = false;
  U16String roamingAppData;
  U16String programData;
};

FoldersOverride& Override() {
  static FoldersOverride folders;
  return folders;
}

U16String SettingsFile(const U16String& folder, const char16_t* launcherDirectory) {
  if (folder.IsEmpty()) return U16String();
  return folder + u"\\" + launcherDirectory + u"\\" + u"tarnlaunch.cfg";
}

}  // namespace

U16String KnownFolderFromEnvironment(bool allUsers) {
  const wchar_t* name = allUsers ? L"ALLUSERSPROFILE" : L"APPDATA";
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size <= 1) return U16String();
  U16String value(size, u' ');
  DWORD length =
      GetEnvironmentVariableW(name, reinterpret_cast<wchar_t*>(value.MutableData()), size);
  if (length == 0 || length >= size) return U16String();
  value.Truncate(length);
  EnsureTrailingSeparator(value);
  if (allUsers) value.Append(u"Application Data\\");
  return value;
}

U16String KnownFolder(bool allUsers) {
  U16String folder;
  if (MajorVersion() > 5) folder = FromKnownFolderCall(allUsers);
  if (folder.IsEmpty()) folder = FromFolderPathCall(allUsers);
  if (folder.IsEmpty()) folder = KnownFolderFromEnvironment(allUsers);
  // No source knows the folder: a lone "\" would make every path under it a
  // network path ("\\Tarn\..."), so it stays empty.
  if (folder.IsEmpty()) return folder;
  EnsureTrailingSeparator(folder);
  return folder;
}

SettingsLocations SettingsLocationsUnderFolders(const U16String& roamingAppData,
                                                const U16String& programData) {
  SettingsLocations locations;
  locations.perUserFile = SettingsFile(roamingAppData, u"Tarn\\TarnLaunch");
  locations.alternateFile = SettingsFile(roamingAppData, u"Tarn\\TarnLauncht");
  locations.allUsersFile = SettingsFile(programData, u"Tarn\\TarnLaunch");
  if (!roamingAppData.IsEmpty()) {
    locations.defaultTemplateDirectory =
        roamingAppData + u"Tarn" + u"\\" + u"tarn" + u"8" + u"\\" + u"tmplts\\";
  }
  return locations;
}

void OverrideSettingsFolders(const U16String& roamingAppData, const U16String& programData) {
  FoldersOverride& folders = Override();
  std::lock_guard<std::mutex> lock(folders.mutex);
  folders.active = true;
  folders.roamingAppData = roamingAppData;
  folders.programData = programData;
}

void ClearSettingsFoldersOverride() {
  FoldersOverride& folders = Override();
  std::lock_guard<std::mutex> lock(folders.mutex);
  folders.active = false;
  folders.roamingAppData.Clear();
  folders.programData.Clear();
}

SettingsLocations CurrentSettingsLocations() {
  {
    FoldersOverride& folders = Override();
    std::lock_guard<std::mutex> lock(folders.mutex);
    if (folders.active)
      return SettingsLocationsUnderFolders(folders.roamingAppData, folders.programData);
  }
  return SettingsLocationsUnderFolders(KnownFolder(false), KnownFolder(true));
}
