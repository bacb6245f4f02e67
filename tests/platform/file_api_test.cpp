#include "platform/file_api.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

FileHandle OpenOrFail(const std::string& path, uint32_t access, uint32_t disposition) {
  FileHandle h = kInvalidFileHandle;
  EXPECT_EQ(FileApi::Open(U16(path), access, disposition, &h), 0u) << path;
  return h;
}

}  // namespace

TEST(FileApi, OpenErrors) {
  TempDir dir;
  FileHandle h = 12345;
  EXPECT_EQ(FileApi::Open(U16(dir / "missing"), kAccessRead, kOpenExisting, &h), 2u);
  EXPECT_EQ(FileApi::LastError(), 2u);
  EXPECT_EQ(h, 12345) << "the handle is written only on success";
  EXPECT_EQ(FileApi::Open(U16String(), kAccessRead, kOpenExisting, &h), 2u);
  // Create-new and open-always behave like open-existing.
  EXPECT_EQ(FileApi::Open(U16(dir / "missing"), kAccessWrite, kCreateNew, &h), 2u);
  EXPECT_EQ(FileApi::Open(U16(dir / "missing"), kAccessWrite, kOpenAlways, &h), 2u);
  // Anything but "no such file" is an invalid parameter.
  WriteFileBytes(dir / "file", "x");
  EXPECT_EQ(FileApi::Open(U16(dir / "file/inside"), kAccessRead, kOpenExisting, &h), 87u);
  EXPECT_EQ(FileApi::LastError(), 87u);
}

TEST(FileApi, DescriptorsAreCloseOnExec) {
  TempDir dir;
  FileHandle h = OpenOrFail(dir / "f", kAccessWrite, kCreateAlways);
  EXPECT_TRUE(fcntl(static_cast<int>(h), F_GETFD) & FD_CLOEXEC);
  FileApi::Close(h);
}

TEST(FileApi, ReadAtAndBeforeTheEnd) {
  TempDir dir;
  WriteFileBytes(dir / "f", "0123456789");
  FileHandle h = OpenOrFail(dir / "f", kAccessRead, kOpenExisting);
  char buffer[8];
  uint32_t got = 99;
  EXPECT_EQ(FileApi::Seek(h, 8, nullptr, kSeekBegin), 8u);
  EXPECT_EQ(FileApi::Read(h, buffer, 4, &got), 0u);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(FileApi::Read(h, buffer, 4, &got), 0u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(FileApi::Read(h, buffer, 4, nullptr), 87u);
  int marker;
  EXPECT_EQ(FileApi::Read(h, buffer, 4, nullptr, &marker), 0u);
  EXPECT_EQ(FileApi::Seek(h, 0, nullptr, kSeekEnd), 10u);
  FileApi::Close(h);
}

TEST(FileApi, WriteErrors) {
  TempDir dir;
  uint32_t written;
  EXPECT_EQ(FileApi::Write(kInvalidFileHandle, "x", 1, &written), 6u);
  EXPECT_EQ(FileApi::LastError(), 6u);
  WriteFileBytes(dir / "f", "abc");
  FileHandle h = OpenOrFail(dir / "f", kAccessRead, kOpenExisting);
  EXPECT_EQ(FileApi::Write(h, "x", 1, &written), 87u);
  EXPECT_EQ(FileApi::Write(h, "x", 1, nullptr), 87u);
  FileApi::Close(h);
  FileHandle full = OpenOrFail("/dev/full", kAccessWrite, kOpenExisting);
  EXPECT_EQ(FileApi::Write(full, "x", 1, &written), 87u);
  FileApi::Close(full);
}

TEST(FileApi, CreateAlwaysKeepsTheTailUntilTruncated) {
  TempDir dir;
  for (bool truncate : {false, true}) {
    WriteFileBytes(dir / "f", "0123456789");
    FileHandle h = OpenOrFail(dir / "f", kAccessWrite, kCreateAlways);
    uint32_t written;
    EXPECT_EQ(FileApi::Write(h, "abcd", 4, &written), 0u);
    if (truncate) {
      EXPECT_EQ(FileApi::Truncate(h), 0u);
    }
    FileApi::Close(h);
    EXPECT_EQ(ReadFileBytes(dir / "f"), truncate ? "abcd" : "abcd456789");
  }
  EXPECT_EQ(FileApi::Truncate(kInvalidFileHandle), 6u);
}

TEST(FileApi, TimesAreWholeSeconds) {
  TempDir dir;
  FileHandle h = OpenOrFail(dir / "f", kAccessWrite | kAccessRead, kCreateAlways);
  const FileTime stamp = kUnixEpochAsFileTime + 1700000000ull * 10000000ull + 1234567;
  EXPECT_EQ(FileApi::SetWriteTime(h, stamp), 0u);
  FileTime creation = 0, access = 0, write = 0;
  EXPECT_EQ(FileApi::GetTimes(h, &creation, &access, &write), 0u);
  EXPECT_EQ(write, stamp - 1234567);
  EXPECT_EQ(access, stamp - 1234567);
  EXPECT_NE(creation, 0u);
  EXPECT_EQ(FileApi::GetTimes(h, nullptr, nullptr, nullptr), 0u);
  FileApi::Close(h);
  EXPECT_EQ(GetMTime(dir / "f"), 1700000000);
  EXPECT_EQ(FileApi::GetTimes(kInvalidFileHandle, nullptr, nullptr, &write), 6u);
  EXPECT_EQ(FileApi::SetWriteTime(kInvalidFileHandle, stamp), 6u);
}

TEST(FileApi, SeekBeyondFourGigabytes) {
  TempDir dir;
  FileHandle h = OpenOrFail(dir / "sparse", kAccessWrite | kAccessRead, kCreateAlways);
  int32_t high = 1;
  EXPECT_EQ(FileApi::Seek(h, 0x40000000u, &high, kSeekBegin), 0x40000000u);
  EXPECT_EQ(FileApi::Truncate(h), 0u);  // a sparse file of 5 GiB
  high = 0;
  EXPECT_EQ(FileApi::Seek(h, 0, &high, kSeekEnd), 0x40000000u);
  EXPECT_EQ(high, 1);
  FileApi::Close(h);
  uint32_t size = 0;
  EXPECT_EQ(FileApi::FileSize(U16(dir / "sparse"), &size), 0u);
  EXPECT_EQ(size, 0xFFFFFFFFu);
  EXPECT_EQ(FileApi::FileSize(U16(dir / "missing"), &size), 1u);
  EXPECT_EQ(FileApi::FileSize(U16(dir / "sparse"), nullptr), 1u);
  EXPECT_EQ(FileApi::Seek(kInvalidFileHandle, 0, nullptr, kSeekBegin), 0xFFFFFFFFu);
  EXPECT_EQ(FileApi::LastError(), 6u);
}
