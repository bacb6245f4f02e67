#include "core/install_journal.h"

#include "platform/file_api.h"

namespace {

constexpr char kMagic[] = "brstpjr1";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr size_t kRecordHeaderSize = 5;

bool IsKnownKind(char kind) {
  switch (static_cast<JournalRecord>(kind)) {
    case JournalRecord::kTarget:
    case JournalRecord::kBackup:
    case JournalRecord::kDirectory:
    case JournalRecord::kFile:
    case JournalRecord::kCommitted:
      return true;
  }
  return false;
}

}  // namespace

const char16_t kJournalSuffix[] = u".journal";

uint32_t InstallJournal::Create(const U16String& path) {
  uint32_t result = file_.Create(path, LockedFile::Use::kRecords);
  if (result != 0) return result;
  result = file_.Append(kMagic, kMagicSize);
  if (result != 0) file_.Delete();
  return result;
}

uint32_t InstallJournal::Record(JournalRecord kind, const U16String& path) {
  if (!file_.IsOpen()) return 0;
  const size_t units = path.Length();
  std::string record(kRecordHeaderSize + units * 2, '\0');
  record[0] = static_cast<char>(kind);
  for (int i = 0; i < 4; ++i) record[1 + i] = static_cast<char>((units >> (8 * i)) & 0xFF);
  for (size_t i = 0; i < units; ++i) {
    record[kRecordHeaderSize + 2 * i] = static_cast<char>(path[i] & 0xFF);
    record[kRecordHeaderSize + 2 * i + 1] = static_cast<char>(path[i] >> 8);
  }
  return file_.Append(record.data(), record.size());
}

void InstallJournal::Remove() {
  if (file_.IsOpen()) file_.Delete();
}

bool ParseJournal(const std::string& bytes, InstallTransaction* transaction, bool* committed) {
  *transaction = InstallTransaction();
  *committed = false;
  // A run killed between creating its journal and writing the form's name
  // leaves it empty or cut short: it recorded nothing, so nothing was done.
  if (bytes.size() < kMagicSize) return bytes.compare(0, bytes.size(), kMagic, bytes.size()) == 0;
  if (bytes.compare(0, kMagicSize, kMagic) != 0) return false;
  size_t next = kMagicSize;
  while (bytes.size() - next >= kRecordHeaderSize) {
    char kind = bytes[next];
    uint64_t units = 0;
    for (int i = 0; i < 4; ++i)
      units |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[next + 1 + i])) << (8 * i);
    // A record cut short, or bytes that are no record, end the journal.
    if (!IsKnownKind(kind) || units * 2 > bytes.size() - next - kRecordHeaderSize) break;
    U16String path;
    const char* data = bytes.data() + next + kRecordHeaderSize;
    for (uint64_t i = 0; i < units; ++i) {
      path.Append(static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                        static_cast<unsigned char>(data[2 * i + 1]) << 8));
    }
    next += kRecordHeaderSize + static_cast<size_t>(units) * 2;
    switch (static_cast<JournalRecord>(kind)) {
      case JournalRecord::kTarget:
        transaction->targetDirectory = path;
        break;
      case JournalRecord::kBackup:
        transaction->backupDirectory = path;
        transaction->createdDirectories.push_back(path);
        break;
      case JournalRecord::kDirectory:
        transaction->createdDirectories.push_back(path);
        break;
      case JournalRecord::kFile:
        transaction->writtenFiles.push_back(path);
        break;
      case JournalRecord::kCommitted:
        *committed = true;
        break;
    }
  }
  return true;
}
