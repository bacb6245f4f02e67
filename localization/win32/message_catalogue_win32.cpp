// Windows lookup: the texts are the program's string-table resources, one
// table per language; a string is loaded in exactly the current language.
#include <windows.h>

#include "localization/message_catalogue.h"

namespace {

constexpr unsigned kStringsPerBlock = 16;
constexpr unsigned kLastBlock = 0xFFFF;
const LPCWSTR kStringTable = MAKEINTRESOURCEW(6);  // RT_STRING

struct LanguageSearch {
  WORD wanted;
  bool found;
};

BOOL CALLBACK NoteLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR data) {
  auto* search = reinterpret_cast<LanguageSearch*>(data);
  if (language != search->wanted) return TRUE;
  search->found = true;
  return FALSE;
}

// Whether the system's resource search falls back to another language when
// the wanted one is missing is not promised (Wine does not, a neutral table
// may answer on Windows); the lookup must not, so the language is checked
// first.
bool BlockHasLanguage(HMODULE module, LPCWSTR block, WORD language) {
  LanguageSearch search{language, false};
  EnumResourceLanguagesW(module, kStringTable, block, NoteLanguage,
                         reinterpret_cast<LONG_PTR>(&search));
  return search.found;
}

// The string number index of the block, or empty. A block is 16 counted
// strings; one that runs past the resource's end is not read.
U16String StringInBlock(HMODULE module, unsigned id, WORD language) {
  if (id / kStringsPerBlock + 1 > kLastBlock) return U16String();
  LPCWSTR block = MAKEINTRESOURCEW(id / kStringsPerBlock + 1);
  if (!BlockHasLanguage(module, block, language)) return U16String();
  HRSRC resource = FindResourceExW(module, kStringTable, block, language);
  if (resource == nullptr) return U16String();
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* units = loaded ? static_cast<const char16_t*>(LockResource(loaded)) : nullptr;
  if (units == nullptr) return U16String();
  size_t left = SizeofResource(module, resource) / sizeof(char16_t);
  for (unsigned index = 0;; ++index) {
    if (left == 0) return U16String();
    size_t length = *units++;
    --left;
    if (length > left) return U16String();
    if (index == id % kStringsPerBlock) return U16String(units, length);
    units += length;
    left -= length;
  }
}

// The program's own module, and the one holding this code when it differs.
int ResourceModules(HMODULE modules[2]) {
  int count = 0;
  modules[count++] = GetModuleHandleW(nullptr);
  HMODULE own = nullptr;
  if (GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ResourceModules), &own) &&
      own != modules[0]) {
    modules[count++] = own;
  }
  return count;
}

}  // namespace

U16String GetMessageText(unsigned id) {
  int language = CurrentLanguage();
  if (language <= 0 || language > 0xFFFF) return U16String();
  HMODULE modules[2];
  int count = ResourceModules(modules);
  for (int i = 0; i < count; ++i) {
    U16String text = StringInBlock(modules[i], id, static_cast<WORD>(language));
    if (!text.IsEmpty()) return text;
  }
  return U16String();
}

U16String GetMessageText(const char* key) {
  unsigned id = MessageIdOfKey(key);
  return id != 0 ? GetMessageText(id) : U16String();
}
