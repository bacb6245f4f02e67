// Inputs that fuzzing found to misbehave, kept as tests of the fixed
// behaviour (the same inputs sit in the fuzz corpora).
#include <gtest/gtest.h>

#include <string>

#include "core/distribution_kit.h"
#include "core/launcher_config.h"
#include "platform/file_api.h"
#include "tests/faults/allocation_probe.h"
#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"

namespace {

// A record whose length field claims nearly 2 GiB in a work file of a few
// hundred bytes used to cost an allocation (and zero filling) of that size
// before the read found the file too short; larger claims exhausted memory.
TEST(FuzzFindings, ARecordLengthPastTheEndCostsNoAllocationOfItsSize) {
  const KitDescription english{u"en", u"P", u"V", u"l"};
  const std::string entry = EntryRecord(KitEntry{u"a.txt", 0, 0, 1});
  struct Case {
    const char* where;
    std::string workFile;
  } cases[] = {
      {"description record", WorkFileBuilder()
                                 .U32(1)
                                 .U32(1)
                                 .U32(0x763d7965)
                                 .Bytes("ey=value\n<c/>\n" + std::string(64, 'x'))
                                 .bytes()},
      {"entry record", WorkFileBuilder()
                           .Bytes(KitHeader({english}, false))
                           .U32(2)
                           .Bytes(entry)
                           .U32(0xFFFFFFF0u)
                           .Bytes("short" + std::string(64, 'x'))
                           .bytes()},
  };
  TempDir temp;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    WriteFileBytes(temp / "work", c.workFile);
    FileHandle handle;
    ASSERT_EQ(FileApi::Open(U16(temp / "work"), kAccessRead, kOpenExisting, &handle), 0u);
    std::vector<KitDescription> descriptions;
    std::vector<KitEntry> entries;
    size_t largest;
    uint32_t result;
    {
      AllocationProbe probe;
      result = ReadKitDirectory(handle, &descriptions, &entries);
      largest = probe.largest();
    }
    FileApi::Close(handle);
    EXPECT_EQ(result, kErrorInvalidData);
    EXPECT_LT(largest, 4096u);
  }
}

// A zero byte between two bytes that do not decode on their own: dropped
// after decoding, it left the two side by side, so that the rewritten line
// read back as a different character.
TEST(FuzzFindings, SettingsWithZeroBytesReadTheSameAfterARewrite) {
  if (!LocaleExists("en_US.UTF-8")) GTEST_SKIP() << "en_US.UTF-8 is not installed";
  ScopedEnv lang("LANG", "en_US.UTF-8");
  ScopedEnv all("LC_ALL", nullptr);
  ScopedEnv ctype("LC_CTYPE", nullptr);
  TempDir temp;
  WriteFileBytes(temp / "in.cfg", std::string("no equals s\0\xd8\0\0\xbb\nk=v\xc3\0\xa9\n", 24));
  LauncherConfig first;
  ReadLauncherConfig(U16(temp / "in.cfg"), first);
  ASSERT_EQ(first.entries.size(), 2u);
  // Without the zeros the bytes are Arabic letter U+063B and "é".
  EXPECT_EQ(first.entries[0].key, u"no equals s\u063b");
  EXPECT_EQ(first.entries[1].values, std::vector<U16String>{u"v\u00e9"});

  WriteLauncherConfig(U16(temp / "out.cfg"), first);
  EXPECT_EQ(ReadFileBytes(temp / "out.cfg"), "no equals s\xd8\xbb=\nk=v\xc3\xa9\n");
  LauncherConfig second;
  ReadLauncherConfig(U16(temp / "out.cfg"), second);
  ASSERT_EQ(second.entries.size(), 2u);
  EXPECT_EQ(second.entries[0].key, first.entries[0].key);
  EXPECT_EQ(second.entries[1].values, first.entries[1].values);
}

}  // namespace
