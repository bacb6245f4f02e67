#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "core/distribution_kit.h"
#include "core/kit_format.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"

namespace {

KitDescription Describe(const char* code, const char* product, const char* vendor,
                        const char* link) {
  return KitDescription{U16(code), U16(product), U16(vendor), U16(link)};
}

KitEntry Entry(const char* name, uint32_t offset, uint32_t size, FileTime time = 0) {
  KitEntry entry;
  entry.name = U16(name);
  entry.offset = offset;
  entry.size = size;
  entry.lastWriteTime = time;
  return entry;
}

// Kits are read with the temporary directory pointed at a private folder,
// so that every file the reader leaves behind shows.
class KitReaderTest : public ::testing::Test {
 protected:
  uint32_t Read(const std::string& workBytes, DistributionKit& kit) {
    WriteFileBytes(kitPath(), DeflateRaw(workBytes));
    return ReadKit(kit, U16(kitPath()));
  }
  std::string kitPath() const { return source / "brvx.bkd"; }
  std::vector<std::string> TempFiles() const { return ListTree(temp.path()); }
  std::string BytesAt(const DistributionKit& kit, const KitEntry& entry) {
    std::string bytes(entry.size, '\0');
    EXPECT_NE(FileApi::Seek(kit.handle, entry.offset, nullptr, kSeekBegin), 0xFFFFFFFFu);
    uint32_t got = 0;
    EXPECT_EQ(FileApi::Read(kit.handle, bytes.data(), entry.size, &got), 0u);
    bytes.resize(got);
    return bytes;
  }

  TempDir source;
  TempDir temp;
  ScopedEnv tmpdir{kTempVariable, temp.path().c_str()};
};

TEST_F(KitReaderTest, ReadsDescriptionsAndDirectory) {
  std::vector<KitFile> files = {
      {U16("readme.html"), 0x01DA9B8A1C2D3E4Full, "<html>read me</html>"},
      {U16("conf\\Шаблон.xml"), 133000000000000000ull, std::string(70000, 'q')},
      {U16("empty"), 5, ""},
  };
  std::vector<KitDescription> descriptions = {Describe("en", "Prod", "Vendor", "readme.html"),
                                              Describe("ru", "Продукт", "Фирма", "")};
  {
    DistributionKit kit;
    ASSERT_EQ(Read(BuildWorkFile(descriptions, false, files), kit), 0u);
    ASSERT_EQ(kit.descriptions.size(), 2u);
    EXPECT_EQ(Utf8(kit.descriptions[1].productName), "Продукт");
    EXPECT_EQ(Utf8(kit.descriptions[1].vendorName), "Фирма");
    EXPECT_EQ(Utf8(kit.descriptions[0].descriptionLink), "readme.html");
    ASSERT_EQ(kit.entries.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(kit.entries[i].name, files[i].name);
      EXPECT_EQ(kit.entries[i].lastWriteTime, files[i].lastWriteTime);
      EXPECT_EQ(kit.entries[i].size, files[i].data.size());
      EXPECT_EQ(BytesAt(kit, kit.entries[i]), files[i].data) << i;
    }
    // The work file stays open for reading and writing under a "bdk" name.
    ASSERT_NE(kit.handle, kInvalidFileHandle);
    EXPECT_EQ(FileApi::Seek(kit.handle, 0, nullptr, kSeekBegin), 0u);
    uint32_t written = 0;
    EXPECT_EQ(FileApi::Write(kit.handle, "x", 1, &written), 0u);
    std::vector<std::string> temps = TempFiles();
    ASSERT_EQ(temps.size(), 1u);
    EXPECT_EQ(temps[0].rfind("bdk", 0), 0u);
    std::string workPath = Utf8(kit.workPath);
    EXPECT_EQ(workPath.substr(workPath.size() - temps[0].size()), temps[0]);
    EXPECT_NE(kit.copyBuffer, nullptr);
    EXPECT_EQ(kit.copyBufferSize, 0x100000u);
  }
  EXPECT_TRUE(TempFiles().empty()) << "destruction deletes the work file";
}

TEST_F(KitReaderTest, SingleDescriptionHeaderIsEnglish) {
  DistributionKit kit;
  ASSERT_EQ(Read(WorkFileBuilder().U32(0).U32(0).U32(0).U32(0).U32(0).bytes(), kit), 0u);
  ASSERT_EQ(kit.descriptions.size(), 1u);
  EXPECT_EQ(kit.descriptions[0].languageCode, u"en");
  EXPECT_TRUE(kit.descriptions[0].productName.IsEmpty());
  EXPECT_TRUE(kit.descriptions[0].vendorName.IsEmpty());
  EXPECT_TRUE(kit.descriptions[0].descriptionLink.IsEmpty());
  EXPECT_TRUE(kit.entries.empty());

  DistributionKit named;
  ASSERT_EQ(Read(BuildWorkFile({Describe("xx", "P", "V", "d\\l.txt")}, true, {}), named), 0u);
  ASSERT_EQ(named.descriptions.size(), 1u);
  EXPECT_EQ(named.descriptions[0].languageCode, u"en");
  EXPECT_EQ(named.descriptions[0].descriptionLink, u"d\\l.txt");
}

TEST_F(KitReaderTest, DescriptionListWithoutRecords) {
  DistributionKit kit;
  ASSERT_EQ(Read(WorkFileBuilder().U32(7).U32(0).U32(0).bytes(), kit), 0u);
  EXPECT_TRUE(kit.descriptions.empty());
  EXPECT_TRUE(kit.entries.empty());
  for (const char* code : {"en", "ru", "de", ""}) {
    EXPECT_TRUE(GetDescriptionLink(kit, U16(code)).IsEmpty()) << code;
  }
}

// Record lengths, not the fields, say where the next record starts; the data
// area begins after the last entry record.
TEST_F(KitReaderTest, TrailingRecordBytesAreSkipped) {
  std::string first = DescriptionRecord(Describe("de", "Produkt", "Firma", "x"));
  WorkFileBuilder longer;
  longer.U32(static_cast<uint32_t>(first.size() + 6)).Bytes(first.substr(4)).Bytes("extra!");
  WorkFileBuilder work;
  work.U32(1)
      .U32(2)
      .Bytes(longer.bytes())
      .Bytes(DescriptionRecord(Describe("en", "Product", "Vendor", "y")));
  // One entry whose record is padded so that the directory ends at byte 300.
  std::string record = EntryRecord(Entry("f.txt", 0, 4, 77));
  size_t padding = 300 - work.size() - 4 - record.size();
  WorkFileBuilder padded;
  padded.U32(static_cast<uint32_t>(record.size() + padding))
      .Bytes(record.substr(4))
      .Bytes(std::string(padding, '\x7f'));
  work.U32(1).Bytes(padded.bytes());
  ASSERT_EQ(work.size(), 300u);
  work.Bytes("DATA");

  DistributionKit kit;
  ASSERT_EQ(Read(work.bytes(), kit), 0u);
  ASSERT_EQ(kit.descriptions.size(), 2u);
  EXPECT_EQ(Utf8(kit.descriptions[0].productName), "Produkt");
  EXPECT_EQ(Utf8(kit.descriptions[1].productName), "Product");
  ASSERT_EQ(kit.entries.size(), 1u);
  EXPECT_EQ(kit.entries[0].offset, 300u);
  EXPECT_EQ(kit.entries[0].lastWriteTime, 77u);
  EXPECT_EQ(BytesAt(kit, kit.entries[0]), "DATA");
}

TEST(KitLookup, ProductAndVendorMatchTheLanguageOnly) {
  DistributionKit kit;
  kit.descriptions = {Describe("RU", "Продукт", "Фирма", ""), Describe("en", "Prod", "Ven", ""),
                      Describe("ru", "second", "second", "")};
  U16String product, vendor;
  GetProductAndVendor(kit, u"ru", &product, &vendor);
  EXPECT_EQ(Utf8(product), "Продукт");
  EXPECT_EQ(Utf8(vendor), "Фирма");
  GetProductAndVendor(kit, u"EN", &product, &vendor);
  EXPECT_EQ(Utf8(product), "Prod");
  GetProductAndVendor(kit, u"de", &product, &vendor);
  EXPECT_TRUE(product.IsEmpty());
  EXPECT_TRUE(vendor.IsEmpty());
}

TEST(KitLookup, DescriptionLinkFallsBackToEnglish) {
  struct Case {
    std::vector<KitDescription> descriptions;
    const char* language;
    const char* link;
  } cases[] = {
      {{Describe("ru", "", "", "ru.html"), Describe("en", "", "", "en.html")}, "RU", "ru.html"},
      {{Describe("ru", "", "", ""), Describe("en", "", "", "en.html")}, "ru", "en.html"},
      {{Describe("ru", "", "", ""), Describe("en", "", "", "en.html")}, "de", "en.html"},
      {{Describe("ru", "", "", ""), Describe("fr", "", "", "fr.html")}, "de", ""},
      // Only the first description of the language counts.
      {{Describe("ru", "", "", ""), Describe("ru", "", "", "ru2"), Describe("EN", "", "", "en")},
       "ru",
       "en"},
      // English is taken even when its link is empty.
      {{Describe("en", "", "", ""), Describe("en", "", "", "later")}, "de", ""},
      {{}, "en", ""},
  };
  for (const Case& c : cases) {
    DistributionKit kit;
    kit.descriptions = c.descriptions;
    EXPECT_EQ(Utf8(GetDescriptionLink(kit, U16(c.language))), c.link) << c.language;
  }
}

// A work file with one description list and the given directory bytes.
std::string WithDirectory(const std::string& directory) {
  return WorkFileBuilder().U32(1).U32(0).Bytes(directory).bytes();
}
std::string OneEntry(const char* name, uint32_t offset, uint32_t size, const std::string& data) {
  return WithDirectory(KitDirectory({Entry(name, offset, size)}) + data);
}

TEST_F(KitReaderTest, MalformedWorkFilesAreRefusedAndRemoved) {
  std::string good = BuildWorkFile({Describe("en", "P", "V", "l")}, false,
                                   {{U16("a.txt"), 1, std::string(5000, 'a')}});
  struct Case {
    const char* what;
    std::string work;
  } cases[] = {
      {"empty work file", ""},
      {"format only", WorkFileBuilder().U32(1).bytes()},
      {"string past the end", WorkFileBuilder().U32(0).U32(5).Units(u"ab").bytes()},
      {"huge string", WorkFileBuilder().U32(0).U32(0xFFFFFFFF).bytes()},
      {"no directory count", WorkFileBuilder().U32(0).U32(0).U32(0).U32(0).bytes()},
      {"description count too large", WorkFileBuilder().U32(1).U32(0xFFFFFFFF).U32(0).bytes()},
      {"description record too short",
       WorkFileBuilder().U32(1).U32(1).U32(8).U32(0).U32(0).bytes()},
      {"description record past the end",
       WorkFileBuilder().U32(1).U32(1).U32(1000).Bytes(std::string(40, '\0')).bytes()},
      {"description string past its record", WorkFileBuilder()
                                                 .U32(1)
                                                 .U32(1)
                                                 .U32(20)
                                                 .U32(0)
                                                 .U32(0)
                                                 .U32(0)
                                                 .U32(3)
                                                 .U32(0)
                                                 .U32(0)
                                                 .Bytes(std::string(40, '\0'))
                                                 .bytes()},
      {"description record of 4 GiB",
       WorkFileBuilder().U32(1).U32(1).U32(0xFFFFFFFF).Bytes(std::string(40, '\0')).bytes()},
      {"entry record of 4 GiB",
       WithDirectory(
           WorkFileBuilder().U32(1).U32(0xFFFFFFFF).Bytes(std::string(40, '\0')).bytes())},
      {"entry count too large", WithDirectory(WorkFileBuilder().U32(0xFFFFFFFF).U64(0).bytes())},
      {"missing entry record",
       WithDirectory(WorkFileBuilder().U32(2).bytes() + EntryRecord(Entry("a", 0, 0)))},
      {"entry record too short",
       WithDirectory(WorkFileBuilder().U32(1).U32(10).Bytes(std::string(30, '\0')).bytes())},
      {"entry name past its record", WithDirectory(WorkFileBuilder()
                                                       .U32(1)
                                                       .U32(24 + 2)
                                                       .U32(4)
                                                       .Units(u"a")
                                                       .U64(0)
                                                       .U32(0)
                                                       .U32(0)
                                                       .Bytes(std::string(20, '\0'))
                                                       .bytes())},
      {"entry data past the end", OneEntry("a", 0, 10, "12345")},
      {"entry offset past the end", OneEntry("a", 6, 0, "12345")},
      {"entry offset and size wrap", OneEntry("a", 0xFFFFFFF0u, 0x20, std::string(0x10, 'x'))},
      {"largest offset and size", OneEntry("a", 0xFFFFFFFFu, 0xFFFFFFFFu, "x")},
      {"empty name", OneEntry("", 0, 0, "")},
      {"parent", OneEntry("..", 0, 0, "")},
      {"parent inside", OneEntry("a\\..\\b", 0, 0, "")},
      {"parent inside, slashes", OneEntry("a/../b", 0, 0, "")},
      {"parent at the end", OneEntry("a\\..", 0, 0, "")},
      {"parent with a blank", OneEntry("a\\.. \\b", 0, 0, "")},
      {"three dots", OneEntry("...\\b", 0, 0, "")},
      {"root", OneEntry("\\etc\\x", 0, 0, "")},
      {"slash root", OneEntry("/etc/x", 0, 0, "")},
      {"drive", OneEntry("C:\\x", 0, 0, "")},
      {"drive-relative", OneEntry("a:b", 0, 0, "")},
      {"zero unit", WithDirectory(KitDirectory({KitEntry{U16String(u"a\0b", 3), 0, 0, 0}}))},
  };
  for (const Case& c : cases) {
    DistributionKit kit;
    WriteFileBytes(kitPath(), DeflateRaw(c.work));
    EXPECT_EQ(ReadKit(kit, U16(kitPath())), kErrorInvalidData) << c.what;
    EXPECT_TRUE(kit.entries.empty()) << c.what;
    EXPECT_EQ(kit.handle, kInvalidFileHandle) << c.what;
    EXPECT_TRUE(kit.workPath.IsEmpty()) << c.what;
    EXPECT_TRUE(TempFiles().empty()) << c.what;
  }
  DistributionKit kit;
  EXPECT_EQ(Read(good, kit), 0u) << "the good file the cases resemble";
}

TEST_F(KitReaderTest, HarmlessNamesWithDotsAreKept) {
  for (const char* name : {"..a", "a..", "a..b\\c", ".\\a", "a\\.\\b", "x\\y/z", ".hidden"}) {
    DistributionKit kit;
    EXPECT_EQ(Read(OneEntry(name, 0, 1, "z"), kit), 0u) << name;
    EXPECT_EQ(kit.entries.size(), 1u) << name;
  }
}

TEST_F(KitReaderTest, DamagedKitsLeaveNothing) {
  DistributionKit kit;
  EXPECT_EQ(ReadKit(kit, U16(source / "missing.bkd")), kErrorFileNotFound);
  EXPECT_TRUE(kit.workPath.IsEmpty());
  EXPECT_TRUE(TempFiles().empty());
  WriteFileBytes(kitPath(), "\x1f\x8b not raw deflate");
  EXPECT_EQ(ReadKit(kit, U16(kitPath())), kErrorInvalidData);
  EXPECT_TRUE(TempFiles().empty());
  // Cut inside the data: the directory promises more than the file holds.
  std::string good = BuildWorkFile({}, false, {{U16("a.txt"), 1, std::string(50000, 'a')}});
  std::string packed = DeflateRaw(good);
  WriteFileBytes(kitPath(), packed.substr(0, packed.size() / 2));
  EXPECT_EQ(ReadKit(kit, U16(kitPath())), kErrorInvalidData);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(KitReaderTest, ReadingAgainReplacesTheWorkFile) {
  DistributionKit kit;
  ASSERT_EQ(Read(OneEntry("a", 0, 1, "z"), kit), 0u);
  ASSERT_EQ(Read(OneEntry("b", 0, 2, "zz"), kit), 0u);
  ASSERT_EQ(kit.entries.size(), 1u);
  EXPECT_EQ(kit.entries[0].name, u"b");
  EXPECT_EQ(TempFiles().size(), 1u);
}

#ifndef _WIN32
// Work files beside the 32-bit limit, made sparse so that they cost nothing.
class WorkFileSizeTest : public ::testing::Test {
 protected:
  uint32_t ReadSparse(const std::string& head, uint64_t size) {
    int fd = ::open(path().c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::lseek(fd, 0, SEEK_SET);
    uint32_t result = ReadKitDirectory(fd, &descriptions, &entries);
    ::close(fd);
    return result;
  }
  std::string path() const { return dir / "work"; }
  TempDir dir;
  std::vector<KitDescription> descriptions;
  std::vector<KitEntry> entries;
};

TEST_F(WorkFileSizeTest, EntryMayEndAtTheLastAddressableByte) {
  std::string head = WithDirectory(KitDirectory({Entry("last", 0, 10)}));
  uint32_t offset = static_cast<uint32_t>(0xFFFFFFFFull - head.size() - 10);
  head = WithDirectory(KitDirectory({Entry("last", offset, 10)}));
  ASSERT_EQ(ReadSparse(head, 0xFFFFFFFFull), 0u);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].offset, 0xFFFFFFFFu - 10);

  head = WithDirectory(KitDirectory({Entry("last", offset + 1, 10)}));
  EXPECT_EQ(ReadSparse(head, 0xFFFFFFFFull), kErrorInvalidData);
}

TEST_F(WorkFileSizeTest, WorkFileOverFourGibibytesIsRefused) {
  std::string head = WithDirectory(KitDirectory({Entry("a", 0, 10)}));
  EXPECT_EQ(ReadSparse(head, 0x100000000ull), kErrorInvalidData);
  EXPECT_EQ(ReadSparse(head, 0x100000000ull + 4096), kErrorInvalidData);
}

#endif  // _WIN32

TEST(EntryNames, ProblemsAreNamed) {
  EXPECT_EQ(EntryNameProblem(U16("conf\\a.xml")), nullptr);
  EXPECT_STREQ(EntryNameProblem(U16("")), "the name is empty");
  EXPECT_STREQ(EntryNameProblem(U16("a\\..\\b")), "the name leads out of the template directory");
  EXPECT_STREQ(EntryNameProblem(U16("/x")), "the name starts at a root");
  EXPECT_STREQ(EntryNameProblem(U16("z:x")), "the name starts with a drive");
}

}  // namespace
