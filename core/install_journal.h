// The journal of one installation: before each change to the template
// directory the installation records it, so that when the process dies (a
// kill, a crash, a power cut) the next start can undo it. The journal lies in
// the temporary directory beside the backup directory ("brstp3.journal"
// beside "brstp3/"), locked by the running process for the whole run.
//
// Form: the 8 bytes "brstpjr1", then records of one kind byte, a 32-bit
// little-endian count of UTF-16 units and the units (little-endian). Each
// record goes to the system in one write, so a killed process leaves whole
// records; a record cut short by a power cut is ignored when read.
#pragma once

#include <cstdint>
#include <string>

#include "core/template_installer.h"
#include "platform/locked_file.h"
#include "platform/strings.h"

enum class JournalRecord : char {
  kTarget = 'T',     // the template directory
  kBackup = 'B',     // the backup directory
  kDirectory = 'D',  // a directory about to be created
  kFile = 'F',       // a file about to be written where none was
  kCommitted = 'C',  // the installation succeeded: only the backup is left to remove
};

// ".journal", the suffix of a journal's name after its backup directory's.
extern const char16_t kJournalSuffix[];

class InstallJournal {
 public:
  // Creates the journal at path (which must not exist) and holds its lock:
  // 0, 183 when the name is taken, or another code.
  uint32_t Create(const U16String& path);
  // Records one change before it is made; 0 or the code of the failed write.
  // Nothing is recorded (0) when no journal is open.
  uint32_t Record(JournalRecord kind, const U16String& path);
  // Deletes the journal: the installation is over, finished or undone.
  void Remove();
  bool IsOpen() const { return file_.IsOpen(); }

 private:
  LockedFile file_;
};

// What a journal holds: the transaction it describes and whether it was
// committed. False when the bytes are no journal (the transaction is then
// left empty). The beginning of the form's name alone (also no bytes at all)
// is a journal with nothing recorded.
bool ParseJournal(const std::string& bytes, InstallTransaction* transaction, bool* committed);
