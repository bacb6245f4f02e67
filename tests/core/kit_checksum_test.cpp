// Checksum blocks in the records' ignored tails: a kit that carries them
// reads like one without them (also for a reader that only skips by the
// record lengths), and one flipped bit anywhere in its records or data is
// refused before anything is written, where the same bit in a kit without
// them passes unnoticed.
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "core/distribution_kit.h"
#include "core/kit_checksum.h"
#include "core/kit_format.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/directory_packer.h"
#include "tools/mkkit/kit_writer.h"

#ifndef _WIN32
#include "core/startup.h"
#include "tests/support/tree_snapshot.h"
#endif

namespace {

constexpr FileTime kAlphaTime = 0x01D9A0B0C0D0E0F0ull;

std::vector<KitDescription> Descriptions() {
  return {{u"en", u"Product", u"Vendor", u"docs\\readme.html"},
          {U16("ru"), U16("Продукт"), U16("Фирма"), U16String()}};
}

// The middle file is longer than the reader's 1 MiB block.
std::vector<KitFile> Files() {
  std::string big(0x100000 + 300, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  return {{u"conf\\alpha.xml", kAlphaTime, "<alpha/>"},
          {u"big.bin", 133000000000000000ull, big},
          {u"z.txt", 5, "last"}};
}

uint32_t ZlibCrc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string DataAt(const DistributionKit& kit, const KitEntry& entry) {
  std::string bytes(entry.size, '\0');
  int32_t high = 0;
  FileApi::Seek(kit.handle, entry.offset, &high, kSeekBegin);
  uint32_t got = 0;
  FileApi::Read(kit.handle, bytes.data(), entry.size, &got);
  bytes.resize(got);
  return bytes;
}

// What a reader makes of a kit, offsets aside (records with blocks are
// longer, so the data area starts later).
std::string View(const DistributionKit& kit) {
  std::string view;
  for (const KitDescription& d : kit.descriptions) {
    view += Utf8(d.languageCode) + "|" + Utf8(d.productName) + "|" + Utf8(d.vendorName) + "|" +
            Utf8(d.descriptionLink) + "\n";
  }
  for (const KitEntry& e : kit.entries) {
    view += Utf8(e.name) + "|" + Hex(e.lastWriteTime) + "|" + std::to_string(e.size) + "|" +
            Hex(ZlibCrc(DataAt(kit, e))) + "\n";
  }
  return view;
}

// The same view from a reader that knows nothing of checksum blocks: it
// follows the record lengths and ignores what lies after each record's
// fields, as every reader of the format does.
std::string ViewBySkipping(const std::string& work) {
  size_t at = 0;
  auto u32 = [&]() {
    uint32_t value = LoadU32(reinterpret_cast<const uint8_t*>(work.data() + at));
    at += 4;
    return value;
  };
  auto text = [&]() {
    uint32_t units = u32();
    U16String value = LoadUtf16(reinterpret_cast<const uint8_t*>(work.data() + at), units);
    at += 2 * units;
    return Utf8(value);
  };
  std::string view;
  if (u32() != 0) {
    for (uint32_t count = u32(); count > 0; --count) {
      size_t start = at;
      size_t next = start + u32();
      std::string code = text(), product = text(), vendor = text(), link = text();
      view += code + "|" + product + "|" + vendor + "|" + link + "\n";
      at = next;
    }
  }
  struct Seen {
    std::string name;
    uint64_t time;
    uint32_t offset, size;
  };
  std::vector<Seen> seen;
  for (uint32_t count = u32(); count > 0; --count) {
    size_t start = at;
    size_t next = start + u32();
    Seen entry;
    entry.name = text();
    entry.time = u32();
    entry.time |= static_cast<uint64_t>(u32()) << 32;
    entry.offset = u32();
    entry.size = u32();
    seen.push_back(entry);
    at = next;
  }
  for (const Seen& e : seen) {
    view += e.name + "|" + Hex(e.time) + "|" + std::to_string(e.size) + "|" +
            Hex(ZlibCrc(work.substr(at + e.offset, e.size))) + "\n";
  }
  return view;
}

size_t FindOnce(const std::string& work, const std::string& needle) {
  size_t at = work.find(needle);
  EXPECT_NE(at, std::string::npos) << needle;
  EXPECT_EQ(at, work.rfind(needle)) << needle << " is not unique";
  return at;
}

std::string Le64(uint64_t value) {
  return WorkFileBuilder().U64(value).bytes();
}

// One bit to flip in a region of the kit, and the check that then fails.
struct Flip {
  const char* region;
  size_t position;
  KitChecksumFault fault;
  uint32_t index;
};

std::vector<Flip> Flips(const std::string& work) {
  size_t time = FindOnce(work, Le64(kAlphaTime));
  return {
      {"entry data", FindOnce(work, "<alpha/>") + 3, KitChecksumFault::kEntryData, 0},
      {"entry data past the first MiB", FindOnce(work, "last") - 1, KitChecksumFault::kEntryData,
       1},
      {"name", FindOnce(work, Utf16le("alpha")), KitChecksumFault::kEntryRecord, 0},
      {"time", time + 5, KitChecksumFault::kEntryRecord, 0},
      {"offset", time + 8, KitChecksumFault::kEntryRecord, 0},
      {"size", time + 12, KitChecksumFault::kEntryRecord, 0},
      {"description string", FindOnce(work, Utf16le("Vendor")),
       KitChecksumFault::kDescriptionRecord, 0},
      {"description link", FindOnce(work, Utf16le("readme")) + 2,
       KitChecksumFault::kDescriptionRecord, 0},
  };
}

std::string Flipped(std::string work, size_t position) {
  work[position] = static_cast<char>(work[position] ^ 1);
  return work;
}

class KitChecksumTest : public ::testing::Test {
 protected:
  uint32_t Read(const std::string& work, DistributionKit& kit, KitChecksumReport* report) {
    WriteFileBytes(kitPath(), DeflateRaw(work));
    return ReadKit(kit, U16(kitPath()), report);
  }
  std::string kitPath() const { return source / "brvx.bkd"; }
  void ExpectRefused(const std::string& work, KitChecksumFault fault, uint32_t index,
                     const std::string& what) {
    DistributionKit kit;
    KitChecksumReport report;
    EXPECT_EQ(Read(work, kit, &report), kErrorInvalidData) << what;
    EXPECT_EQ(report.fault, fault) << what;
    EXPECT_EQ(report.index, index) << what;
    EXPECT_TRUE(kit.entries.empty()) << what;
    EXPECT_EQ(kit.handle, kInvalidFileHandle) << what;
    EXPECT_TRUE(ListTree(temp.path()).empty()) << what << ": the work file is left";
  }

  TempDir source;
  TempDir temp;
  ScopedEnv tmpdir{kTempVariable, temp.path().c_str()};
  const std::string checked = BuildWorkFile(Descriptions(), false, Files(), true);
  const std::string plain = BuildWorkFile(Descriptions(), false, Files(), false);
};

TEST(KitCrc32, SameAsZlibForEveryLengthAndAlignment) {
  std::string bytes(70000, '\0');
  uint32_t x = 12345;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t size : {0, 1, 15, 16, 63, 64, 65, 79, 127, 128, 200, 1000, 4097, 65536}) {
      uint32_t seed = static_cast<uint32_t>(offset * 7919 + size);
      EXPECT_EQ(KitCrc32(seed, data + offset, size), crc32_z(seed, data + offset, size))
          << offset << " " << size;
    }
  }
  EXPECT_EQ(KitCrc32(KitCrc32(0, data, 100), data + 100, 69900), ZlibCrc(bytes));
}

TEST_F(KitChecksumTest, CheckedKitReadsLikeAPlainOneForEveryReader) {
  DistributionKit withBlocks, without;
  KitChecksumReport report;
  ASSERT_EQ(Read(checked, withBlocks, &report), 0u);
  EXPECT_TRUE(report.carried);
  EXPECT_EQ(report.fault, KitChecksumFault::kNone);
  ASSERT_EQ(Read(plain, without, &report), 0u);
  EXPECT_FALSE(report.carried);

  std::string view = View(without);
  EXPECT_EQ(View(withBlocks), view);
  EXPECT_EQ(ViewBySkipping(checked), view);
  EXPECT_EQ(ViewBySkipping(plain), view);
  EXPECT_EQ(checked.size(),
            plain.size() + 2 * kDescriptionChecksumBlockSize + 3 * kEntryChecksumBlockSize);
}

TEST_F(KitChecksumTest, AFlippedBitInAnyRegionIsRefusedWhereAPlainKitPassesIt) {
  std::string view;
  {
    DistributionKit original;
    ASSERT_EQ(Read(plain, original, nullptr), 0u);
    view = View(original);
  }
  std::vector<Flip> plainFlips = Flips(plain);
  std::vector<Flip> checkedFlips = Flips(checked);
  ASSERT_EQ(plainFlips.size(), checkedFlips.size());
  for (size_t i = 0; i < checkedFlips.size(); ++i) {
    const Flip& flip = checkedFlips[i];
    ExpectRefused(Flipped(checked, flip.position), flip.fault, flip.index, flip.region);

    // Without checksums the same damage is read as good contents.
    DistributionKit kit;
    EXPECT_EQ(Read(Flipped(plain, plainFlips[i].position), kit, nullptr), 0u) << flip.region;
    EXPECT_NE(View(kit), view) << flip.region;
  }
}

TEST_F(KitChecksumTest, EveryRecordHoldsAWholeBlockOrNoneDoes) {
  // Blocks in file order: two descriptions, then three entries.
  std::vector<size_t> markers;
  std::string marker = WorkFileBuilder().U32(kChecksumMarker).bytes();
  for (size_t at = checked.find(marker); at != std::string::npos; at = checked.find(marker, at + 1))
    markers.push_back(at);
  ASSERT_EQ(markers.size(), 5u);
  size_t lastLength = FindOnce(checked, Utf16le("z.txt")) - 8;
  std::string shorter = checked;
  StoreU32(reinterpret_cast<uint8_t*>(&shorter[lastLength]),
           LoadU32(reinterpret_cast<const uint8_t*>(&checked[lastLength])) - 4);
  std::string versionZero = checked;
  versionZero[markers[2] + 4] = 0;
  // The entry count follows the last description record.
  std::string fewer = checked;
  fewer[markers[1] + kDescriptionChecksumBlockSize] -= 1;

  struct Case {
    const char* what;
    std::string work;
    KitChecksumFault fault;
    uint32_t index;
  } cases[] = {
      {"a description's marker damaged", Flipped(checked, markers[1]),
       KitChecksumFault::kDescriptionBlock, 1},
      {"an entry's marker damaged", Flipped(checked, markers[3]), KitChecksumFault::kEntryBlock, 1},
      {"a block of version 0", versionZero, KitChecksumFault::kEntryBlock, 0},
      {"a block cut short by its record length", shorter, KitChecksumFault::kEntryBlock, 2},
      {"an entry count one too low", fewer, KitChecksumFault::kDataAfterEntries, 0},
      {"a byte after the last entry's data", checked + "x", KitChecksumFault::kDataAfterEntries, 0},
  };
  for (const Case& c : cases) ExpectRefused(c.work, c.fault, c.index, c.what);
}

// An entry record whose tail is a block of the given version followed by
// more bytes, as a later mkkit might write it.
std::string EntryRecordWith(const KitEntry& entry, uint32_t version, uint32_t dataCrc,
                            const std::string& more) {
  WorkFileBuilder fields;
  fields.String(entry.name).U64(entry.lastWriteTime).U32(entry.offset).U32(entry.size);
  uint32_t length =
      static_cast<uint32_t>(4 + fields.size() + kEntryChecksumBlockSize + more.size());
  uint32_t recordCrc =
      RecordCrc(length, reinterpret_cast<const uint8_t*>(fields.bytes().data()), fields.size());
  return WorkFileBuilder()
      .U32(length)
      .Bytes(fields.bytes())
      .U32(kChecksumMarker)
      .U32(version)
      .U32(dataCrc)
      .U32(recordCrc)
      .Bytes(more)
      .bytes();
}

TEST_F(KitChecksumTest, LaterVersionsAndEntriesInAnyOrderAreChecked) {
  // Overlapping entries, the later one first, in records of a later version.
  KitEntry tail{u"tail", 7, 4, 4};
  KitEntry head{u"head", 8, 0, 6};
  std::string work = KitHeader(Descriptions(), false, true) + WorkFileBuilder().U32(2).bytes() +
                     EntryRecordWith(tail, 2, ZlibCrc("efgh"), "more") +
                     EntryRecordWith(head, 1, ZlibCrc("abcdef"), "");
  {
    DistributionKit kit;
    KitChecksumReport report;
    ASSERT_EQ(Read(work + "abcdefgh", kit, &report), 0u);
    EXPECT_TRUE(report.carried);
    ASSERT_EQ(kit.entries.size(), 2u);
    EXPECT_EQ(DataAt(kit, kit.entries[0]), "efgh");
    EXPECT_EQ(DataAt(kit, kit.entries[1]), "abcdef");
  }
  ExpectRefused(work + "abcdefgH", KitChecksumFault::kEntryData, 0, "the shared bytes differ");
  ExpectRefused(work + "Abcdefgh", KitChecksumFault::kEntryData, 1, "the first bytes differ");
}

// Flipping one bit at 200 random places of a small kit made by mkkit: a
// kit with checksums is either refused or read with exactly its contents;
// the same kit without them lets damaged contents through.
TEST_F(KitChecksumTest, RandomBitFlipsNeverPassWithChangedContents) {
  // Not a TempDir of its own: that would lie in the temporary directory.
  for (int i = 0; i < 30; ++i) {
    std::string name = "tree/dir" + std::to_string(i % 3) + "/file" + std::to_string(i) + ".cfg";
    std::string data;
    for (int line = 0; line <= i % 7; ++line)
      data += "key" + std::to_string(line) + "=value " + std::to_string(i * 31 + line) + "\n";
    MakeDirs(source / ("tree/dir" + std::to_string(i % 3)));
    WriteFileBytes(source / name, data);
    SetMTime(source / name, 1600000000 + i);
  }
  // The kit as mkkit writes it, and as it wrote it before it had checksums.
  std::string kits[2];
  for (bool checksums : {true, false}) {
    PackOptions options;
    options.descriptions = Descriptions();
    options.checksums = checksums;
    U16String error;
    ASSERT_TRUE(PackDirectory(U16(source / "packed.bkd"), options, U16(source / "tree"), &error))
        << Utf8(error);
    kits[checksums ? 0 : 1] = ReadFileBytes(source / "packed.bkd");
  }

  auto experiment = [&](const std::string& kitBytes, int* accepted, int* changed) {
    std::string view;
    {
      DistributionKit kit;
      WriteFileBytes(kitPath(), kitBytes);
      EXPECT_EQ(ReadKit(kit, U16(kitPath())), 0u);
      view = View(kit);
    }
    std::mt19937 random(20261211);
    *accepted = *changed = 0;
    for (int i = 0; i < 200; ++i) {
      std::string damaged = kitBytes;
      size_t at = random() % damaged.size();
      damaged[at] = static_cast<char>(damaged[at] ^ (1 << random() % 8));
      WriteFileBytes(kitPath(), damaged);
      DistributionKit kit;
      if (ReadKit(kit, U16(kitPath())) != 0) continue;
      ++*accepted;
      if (View(kit) != view) ++*changed;
    }
  };
  int accepted = 0, changed = 0, acceptedBefore = 0, changedBefore = 0;
  experiment(kits[0], &accepted, &changed);
  experiment(kits[1], &acceptedBefore, &changedBefore);
  std::cout << "of 200 kits with one flipped bit: with checksums " << accepted << " accepted, "
            << changed << " of them changed; without checksums " << acceptedBefore << " accepted, "
            << changedBefore << " of them changed\n";
  EXPECT_EQ(changed, 0);
  EXPECT_GT(changedBefore, 0) << "the flips reach the contents";
  EXPECT_EQ(ListTree(temp.path()), std::vector<std::string>{});
}

#ifndef _WIN32
// The startup refuses each damaged kit with the damaged-kit message before
// it writes anything: no work file, no template directory, no settings.
TEST(KitChecksumStartup, ADamagedKitIsRefusedBeforeAnythingIsWritten) {
  TempDir root;
  for (const char* dir : {"home", "tmp", "dist"}) MakeDirs(root / dir);
  ScopedEnv home("HOME", (root / "home").c_str());
  ScopedEnv tmpdir("TMPDIR", (root / "tmp").c_str());
  std::string checked = BuildWorkFile(Descriptions(), false, Files(), true);
  for (const Flip& flip : Flips(checked)) {
    WriteFileBytes(root / "dist/brvx.bkd", DeflateRaw(Flipped(checked, flip.position)));
    TreeSnapshot before = TakeSnapshot(root.path());
    RecordingReporter reporter;
    {
      SetupContext context;
      EXPECT_FALSE(RunStartupSequenceFor(context, U16(root / "dist/brvx.bkd"), reporter))
          << flip.region;
      EXPECT_EQ(reporter.keys, std::vector<std::string>{"IDS_ERROR_DAMAGEDSOURCE"}) << flip.region;
      EXPECT_TRUE(context.kit.entries.empty()) << flip.region;
    }
    EXPECT_EQ(TakeSnapshot(root.path()), before) << flip.region;
  }
}
#endif  // _WIN32

}  // namespace
