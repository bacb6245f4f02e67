// Path-level file-system operations with Windows result codes: the temporary
// directory, scratch files, directories, moving, deleting and searching.
#pragma once

#include <cstdint>

#include "platform/paths.h"
#include "platform/strings.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

constexpr uint32_t kAttributeDirectory = 0x10;

// The temporary directory, ending in the separator. Linux: "TMPDIR" when it
// names a directory, else "/tmp"; always 0. Windows: the system's answer, of
// any length; 0 or the system's error.
uint32_t GetTempDirectory(U16String* path);
// Free bytes of the temporary directory's volume, saturated at 0xFFFFFFFF.
// Linux counts the blocks free to root, Windows those free to the user.
uint32_t GetTempFreeSpace(uint32_t* bytes);
// Makes a new, empty, uniquely named file whose name starts with prefix and
// sets name to its full path; 0, or 1013 (Linux) or the system's error
// (Windows). Linux: in directory or, when that cannot be used, in "TMPDIR",
// the C library's scratch folder or "/tmp". Windows: in directory only, the
// name the prefix's first three characters, four hex digits and ".tmp".
uint32_t CreateTempFile(const U16String& directory, const U16String& prefix, U16String* name);
// As CreateTempFile, but only ever inside directory (on Windows the same call).
uint32_t CreateTempFileIn(const U16String& directory, const U16String& prefix, U16String* name);
// Six letters or digits for a fresh name, different between processes and
// between calls (Linux: the system's randomness). The exclusive creation,
// not the letters, makes a name unique.
U16String RandomNameLetters();
// Makes the directory with every missing level. Linux: 0 also when it
// exists, 2 when a level cannot be made. Windows: 183 when it exists, else
// 0 or the system's error.
uint32_t MakeDirectoryPath(const U16String& path);
// Moves a file (or link) to a new name. Linux: replaces an existing file and
// moves between file systems (bytes, permission bits and times; a partial
// copy is removed); 0 when moved, 2 when nothing was moved. Windows: never
// replaces; 0 or the system's error.
uint32_t MovePath(const U16String& from, const U16String& to);
// Linux: removes the directory with everything in it, never following a
// link out of it; 0 when the path is gone (or was never there). Windows: the
// directory must be empty; 0 or the system's error.
uint32_t RemoveDirectoryPath(const U16String& path);
// Removes one file (a link itself, not its target); 0 when it is gone.
// Linux: a missing file is gone too. Windows: 2 for a missing file.
uint32_t DeleteFilePath(const U16String& path);
// Linux: only "/". Windows: a drive ("C:" or "C:\") or a share's root
// ("\\server\share").
bool IsRootPath(const U16String& path);
// Linux: never. Windows: a path starting with "\\" or on a mapped drive.
bool IsNetworkPath(const U16String& path);

// True when an entry of exactly this name exists (no pattern matching, a
// dangling link counts).
bool PathExists(const U16String& path);
// True when path names a directory (links followed).
bool IsDirectoryPath(const U16String& path);
// What stands at path, links followed (a dangling link is a File). Special:
// a FIFO, socket or device (Linux only).
enum class PathKind { Missing, File, Directory, Special };
PathKind GetPathKind(const U16String& path);
// Creates one directory, private to the user, that must not exist yet:
// 0, 183 when the name is taken, or another code.
uint32_t CreatePrivateDirectory(const U16String& path);

// One open search over one directory: a directory part, a separator and a
// name pattern. Every matching entry is reported, "." and ".." included.
// Linux matches the pattern as the shell does (fnmatch); Windows is the
// system's find-first search with its own wildcards.
class DirectorySearch {
 public:
  DirectorySearch() = default;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;
  ~DirectorySearch() { EndSearch(); }

  bool FindFirst(const U16String& searchPath);
  bool FindNext();
  U16String CurrentName() const;
  uint32_t CurrentAttributes() const;
  void EndSearch();

 private:
#ifdef _WIN32
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data_{};
#else
  DIR* stream_ = nullptr;
  NarrowString pattern_;
  NarrowString directory_;
  NarrowString searchPath_;
  NarrowString name_;
  struct stat status_ {};
#endif
};
