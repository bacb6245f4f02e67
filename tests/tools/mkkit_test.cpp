// The kit maker: the real mkkit program packs trees that the project's own
// reader then opens, and refuses what the reader would refuse.
// mkkit is a Linux tool.
#ifndef _WIN32

#include <gtest/gtest.h>

#include "core/distribution_kit.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/directory_packer.h"
#include "tools/mkkit/kit_writer.h"

namespace {

const std::string kMkkit = std::string(SETUP_BIN_DIR) + "/mkkit";

// FILETIME of whole seconds since 1970.
FileTime Seconds(int64_t seconds) {
  return static_cast<FileTime>(seconds) * 10000000 + kUnixEpochAsFileTime;
}

class MkkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!LocaleExists("C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  }
  // Runs mkkit with the arguments (already quoted for the shell); its
  // standard output and error are kept.
  int Run(const std::string& arguments) {
    return Shell(kMkkit + " " + arguments + " >" + out.path() + "/stdout 2>" + out.path() +
                 "/stderr");
  }
  std::string Stdout() const { return ReadFileBytes(out / "stdout"); }
  std::string Stderr() const { return ReadFileBytes(out / "stderr"); }
  std::string Bytes(const DistributionKit& kit, const KitEntry& entry) {
    std::string bytes(entry.size, '\0');
    FileApi::Seek(kit.handle, entry.offset, nullptr, kSeekBegin);
    uint32_t got = 0;
    EXPECT_EQ(FileApi::Read(kit.handle, bytes.data(), entry.size, &got), 0u);
    bytes.resize(got);
    return bytes;
  }

  ScopedEnv locale{"LC_ALL", "C.UTF-8"};
  TempDir tree;
  TempDir out;
  TempDir temp;
  ScopedEnv tmpdir{"TMPDIR", temp.path().c_str()};
};

TEST_F(MkkitTest, PackedTreeReadsBackWithTheKitReader) {
  struct File {
    std::string path;
    std::string entry;
    std::string data;
    int64_t mtime;
  } files[] = {
      {"b.txt", "b.txt", "second", 1714564800},
      {"a/x.xml", "a\\x.xml", "<x/>", 1600000000},
      {"a/empty", "a\\empty", "", 1500000000},
      // Larger than the maker's read block, so it is streamed in pieces.
      {"a/big.bin", "a\\big.bin", std::string(3 * 1024 * 1024 + 17, '\0'), 1400000000},
      {"Шаблоны/конфиг.cfg", "Шаблоны\\конфиг.cfg", "ключ=значение\n", 1300000000},
  };
  for (size_t i = 0; i < files[3].data.size(); ++i)
    files[3].data[i] = static_cast<char>((i * 7919) >> 5);
  for (const File& f : files) {
    MakeDirs((tree / f.path).substr(0, (tree / f.path).rfind('/')));
    WriteFileBytes(tree / f.path, f.data);
    SetMTime(tree / f.path, f.mtime);
  }
  std::string kitPath = out / "brvx.bkd";
  ASSERT_EQ(Run("pack -o '" + kitPath + "' --describe en 'My Product' 'Vendor' 'a\\x.xml'" +
                " --describe ru 'Продукт' 'Фирма' '' '" + tree.path() + "'"),
            0)
      << Stderr();

  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(kitPath)), 0u);
  ASSERT_EQ(kit.descriptions.size(), 2u);
  EXPECT_EQ(Utf8(kit.descriptions[0].productName), "My Product");
  EXPECT_EQ(Utf8(kit.descriptions[0].descriptionLink), "a\\x.xml");
  EXPECT_EQ(Utf8(kit.descriptions[1].languageCode), "ru");
  EXPECT_EQ(Utf8(kit.descriptions[1].vendorName), "Фирма");
  // Sorted by name, consecutive in the data area.
  const char* order[] = {"a\\big.bin", "a\\empty", "a\\x.xml", "b.txt", "Шаблоны\\конфиг.cfg"};
  ASSERT_EQ(kit.entries.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    const KitEntry& entry = kit.entries[i];
    EXPECT_EQ(Utf8(entry.name), order[i]);
    if (i > 0) {
      EXPECT_EQ(entry.offset, kit.entries[i - 1].offset + kit.entries[i - 1].size);
    }
    const File* file = nullptr;
    for (const File& f : files) {
      if (f.entry == order[i]) file = &f;
    }
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(entry.lastWriteTime, Seconds(file->mtime)) << order[i];
    EXPECT_TRUE(Bytes(kit, entry) == file->data) << order[i];
  }

  ASSERT_EQ(Run("list '" + kitPath + "'"), 0) << Stderr();
  std::string listing = Stdout();
  EXPECT_NE(listing.find("Descriptions: 2"), std::string::npos) << listing;
  EXPECT_NE(listing.find("ru: product \"Продукт\", vendor \"Фирма\", link \"\""), std::string::npos)
      << listing;
  EXPECT_NE(listing.find("Entries: 5"), std::string::npos) << listing;
  EXPECT_NE(listing.find("2024-05-01 12:00:00  6  b.txt\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("  26  Шаблоны\\конфиг.cfg\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("\nChecksums: present, all hold\n"), std::string::npos) << listing;
}

TEST_F(MkkitTest, SingleDescriptionKit) {
  WriteFileBytes(tree / "f", "x");
  std::string kitPath = out / "single.bkd";
  ASSERT_EQ(
      Run("pack --single --describe de P V l --level 0 -o '" + kitPath + "' '" + tree.path() + "'"),
      0)
      << Stderr();
  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(kitPath)), 0u);
  ASSERT_EQ(kit.descriptions.size(), 1u);
  EXPECT_EQ(kit.descriptions[0].languageCode, u"en");
  EXPECT_EQ(kit.descriptions[0].productName, u"P");
  ASSERT_EQ(kit.entries.size(), 1u);
  EXPECT_EQ(Bytes(kit, kit.entries[0]), "x");
}

TEST_F(MkkitTest, KitInsideTheTreeIsNotPackedIntoItself) {
  WriteFileBytes(tree / "f", "x");
  std::string kitPath = tree / "brvx.bkd";
  ASSERT_EQ(Run("pack -o '" + kitPath + "' '" + tree.path() + "'"), 0) << Stderr();
  ASSERT_EQ(Run("pack -o '" + kitPath + "' '" + tree.path() + "'"), 0) << Stderr();
  DistributionKit kit;
  ASSERT_EQ(ReadKit(kit, U16(kitPath)), 0u);
  ASSERT_EQ(kit.entries.size(), 1u);
  EXPECT_EQ(kit.entries[0].name, u"f");
}

// On Linux "\" is an ordinary character of a file name; in a kit it splits
// the name, and this one would climb out of the template directory.
TEST_F(MkkitTest, NamesTheReaderRefusesAreRefused) {
  struct Case {
    const char* file;  // relative to the tree
    const char* message;
  } cases[] = {
      {"sub/a\\..\\b", "leads out of the template directory"},
      {"..\\up", "leads out of the template directory"},
      {"sub/x\\y", "which the kit reads as a separator"},
      {"C:x", "starts with a drive"},
  };
  for (const Case& c : cases) {
    TempDir bad;
    WriteFileBytes(bad / "ok.txt", "fine");
    MakeDirs(bad / "sub");
    WriteFileBytes(bad / c.file, "bad");
    std::string kitPath = out / "bad.bkd";
    EXPECT_EQ(Run("pack -o '" + kitPath + "' '" + bad.path() + "'"), 1) << c.file;
    EXPECT_NE(Stderr().find(c.message), std::string::npos) << Stderr();
    EXPECT_FALSE(FileExists(kitPath)) << c.file;
  }
}

TEST(KitWriter, WriteKitChecksBeforeWriting) {
  TempDir dir;
  WriteFileBytes(dir / "src", "data");
  std::string kitPath = dir / "k.bkd";
  struct Case {
    const char* name;
    uint64_t size;
    const char* message;
  } cases[] = {
      {"..", 4, "leads out"},
      {"a/../../etc", 4, "leads out"},
      {"\\abs", 4, "starts at a root"},
      {"", 4, "empty"},
      {"huge", 0x100000000ull, "4 GiB or more"},
  };
  for (const Case& c : cases) {
    PackItem item{U16(c.name), 0, c.size, NarrowString((dir / "src").c_str())};
    U16String error;
    EXPECT_FALSE(WriteKit(U16(kitPath), PackOptions(), {item}, &error)) << c.name;
    EXPECT_NE(Utf8(error).find(c.message), std::string::npos) << Utf8(error);
    EXPECT_FALSE(FileExists(kitPath)) << c.name;
  }
  // Files that together would inflate past 4 GiB.
  std::vector<PackItem> items;
  for (const char* name : {"one", "two"}) {
    items.push_back(PackItem{U16(name), 0, 0xC0000000ull, NarrowString((dir / "src").c_str())});
  }
  U16String error;
  EXPECT_FALSE(WriteKit(U16(kitPath), PackOptions(), items, &error));
  EXPECT_NE(Utf8(error).find("exceed 4 GiB"), std::string::npos) << Utf8(error);
  EXPECT_FALSE(FileExists(kitPath));
  // A file whose size differs from what was collected leaves no kit.
  PackItem changed{U16("src"), 0, 3, NarrowString((dir / "src").c_str())};
  EXPECT_FALSE(WriteKit(U16(kitPath), PackOptions(), {changed}, &error));
  EXPECT_NE(Utf8(error).find("changed its size"), std::string::npos) << Utf8(error);
  EXPECT_FALSE(FileExists(kitPath));
}

TEST_F(MkkitTest, ListRefusesWhatTheReaderRefuses) {
  WriteFileBytes(out / "not-a-kit", "\x1f\x8b\x08 gzip, not raw deflate");
  EXPECT_EQ(Run("list '" + out / "not-a-kit" + "'"), 1);
  EXPECT_NE(Stderr().find("cannot be read as a kit (error 13)"), std::string::npos) << Stderr();
  EXPECT_EQ(Run("list '" + out / "missing" + "'"), 1);
  EXPECT_TRUE(ListTree(temp.path()).empty());
}

TEST_F(MkkitTest, ListTellsWhetherTheChecksumsHold) {
  std::vector<KitDescription> english = {{u"en", u"P", u"V", u"l"}};
  std::vector<KitFile> files = {{u"a.txt", 0, "alpha"}, {u"b.txt", 0, "bravo"}};
  std::string checked = BuildWorkFile(english, false, files, true);
  std::string damaged = checked;
  damaged[damaged.rfind("bravo")] = 'B';
  struct Case {
    const char* what;
    std::string work;
    int status;
    const char* says;
  } cases[] = {
      {"with checksums", checked, 0, "Checksums: present, all hold\n"},
      {"without checksums", BuildWorkFile(english, false, files), 0, "Checksums: none\n"},
      {"damaged", damaged, 1,
       "is damaged: its checksums do not hold: the data of entry 2 (\"b.txt\") do not match "
       "their checksum"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(out / "k.bkd", DeflateRaw(c.work));
    EXPECT_EQ(Run("list '" + out / "k.bkd" + "'"), c.status) << c.what;
    std::string said = c.status == 0 ? Stdout() : Stderr();
    EXPECT_NE(said.find(c.says), std::string::npos) << c.what << ": " << said;
  }
  EXPECT_TRUE(ListTree(temp.path()).empty());
}

TEST_F(MkkitTest, UsageErrors) {
  WriteFileBytes(tree / "f", "x");
  std::string dir = "'" + tree.path() + "'";
  std::string kit = " -o '" + (out / "k.bkd") + "' ";
  const std::string wrong[] = {
      "",
      "frobnicate",
      "pack " + dir,
      "pack" + kit,
      "pack" + kit + "--level 10 " + dir,
      "pack" + kit + "--single " + dir,
      "pack" + kit + "--single --describe en a b c --describe ru a b c " + dir,
      "pack" + kit + "--describe en a b " + dir,
      "pack" + kit + "--bogus " + dir,
      "pack" + kit + dir + " " + dir,
      "list",
  };
  for (const std::string& arguments : wrong) {
    EXPECT_EQ(Run(arguments), 2) << arguments;
    EXPECT_NE(Stderr().find("mkkit: "), std::string::npos) << arguments;
  }
  EXPECT_FALSE(FileExists(out / "k.bkd"));
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(Stdout().find("mkkit pack -o KIT"), std::string::npos);
  EXPECT_EQ(Run("pack" + kit + "'" + (tree / "f") + "'"), 1) << "not a directory";
}

}  // namespace

#endif  // _WIN32
