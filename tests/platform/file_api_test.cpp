#include "platform/file_api.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

FileHandle OpenOrFail(const std::string& path, uint32_t access, uint32_t disposition,
                      uint32_t share = kShareNone) {
  FileHandle h = kInvalidFileHandle;
  EXPECT_EQ(FileApi::Open(U16(path), access, disposition, &h, share), 0u) << path;
  return h;
}

}  // namespace

TEST(FileApi, OpenErrors) {
  TempDir dir;
  FileHandle h = 12345;
  EXPECT_EQ(FileApi::Open(U16(dir / "missing"), kAccessRead, kOpenExisting, &h), 2u);
  EXPECT_EQ(FileApi::LastError(), 2u);
  EXPECT_EQ(h, 12345) << "the handle is written only on success";
  // Windows: an empty name is a path that is not there.
  EXPECT_EQ(FileApi::Open(U16String(), kAccessRead, kOpenExisting, &h), kWindows ? 3u : 2u);
  EXPECT_EQ(h, 12345);
#ifdef _WIN32
  // Create-new and open-always create a missing file; create-new refuses
  // an existing one.
  for (uint32_t disposition : {kCreateNew, kOpenAlways}) {
    FileApi::Close(OpenOrFail(dir / "made", kAccessWrite, disposition));
    EXPECT_TRUE(FileExists(dir / "made")) << disposition;
    DeleteFileW(reinterpret_cast<const wchar_t*>(U16(dir / "made").Data()));
  }
  WriteFileBytes(dir / "made", "x");
  EXPECT_EQ(FileApi::Open(U16(dir / "made"), kAccessWrite, kCreateNew, &h), 80u);
  EXPECT_EQ(FileApi::LastError(), 80u);
#else
  // Create-new and open-always behave like open-existing.
  EXPECT_EQ(FileApi::Open(U16(dir / "missing"), kAccessWrite, kCreateNew, &h), 2u);
  EXPECT_EQ(FileApi::Open(U16(dir / "missing"), kAccessWrite, kOpenAlways, &h), 2u);
#endif
  // A file used as a directory: Linux maps every other error to 87.
  WriteFileBytes(dir / "file", "x");
  const uint32_t throughFile = kWindows ? 3u : 87u;
  EXPECT_EQ(FileApi::Open(U16(dir / "file/inside"), kAccessRead, kOpenExisting, &h), throughFile);
  EXPECT_EQ(FileApi::LastError(), throughFile);
  EXPECT_EQ(h, 12345);
}

#ifdef _WIN32
TEST(FileApi, HandlesAreNotInherited) {
  TempDir dir;
  FileHandle h = OpenOrFail(dir / "f", kAccessWrite, kCreateAlways);
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags));
  EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
  FileApi::Close(h);
}
#else
TEST(FileApi, DescriptorsAreCloseOnExec) {
  TempDir dir;
  FileHandle h = OpenOrFail(dir / "f", kAccessWrite, kCreateAlways);
  EXPECT_TRUE(fcntl(static_cast<int>(h), F_GETFD) & FD_CLOEXEC);
  FileApi::Close(h);
}
#endif

// Windows keeps others out of an open file unless it was opened for shared
// reading; Linux has no such locks.
TEST(FileApi, SharingOfAnOpenFile) {
  TempDir dir;
  WriteFileBytes(dir / "kit", "0123456789");
  const uint32_t violation = kWindows ? 32u : 0u;
  struct Case {
    uint32_t firstShare, secondAccess, secondShare, expected;
  } cases[] = {
      {kShareNone, kAccessRead, kShareRead, violation},
      {kShareRead, kAccessRead, kShareRead, 0u},
      {kShareRead, kAccessWrite, kShareRead, violation},
      // The second opener must in turn let the first one read.
      {kShareRead, kAccessRead, kShareNone, violation},
  };
  for (const Case& c : cases) {
    FileHandle first = OpenOrFail(dir / "kit", kAccessRead, kOpenExisting, c.firstShare);
    FileHandle second = kInvalidFileHandle;
    EXPECT_EQ(
        FileApi::Open(U16(dir / "kit"), c.secondAccess, kOpenExisting, &second, c.secondShare),
        c.expected)
        << c.firstShare << " " << c.secondAccess << " " << c.secondShare;
    if (second != kInvalidFileHandle) FileApi::Close(second);
    FileApi::Close(first);
  }
  // Closed, the file is free again.
  FileApi::Close(OpenOrFail(dir / "kit", kAccessWrite, kOpenExisting));
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
  // A handle without write access: Windows says access denied.
  EXPECT_EQ(FileApi::Write(h, "x", 1, &written), kWindows ? 5u : 87u);
  EXPECT_EQ(FileApi::Write(h, "x", 1, nullptr), 87u);
  FileApi::Close(h);
  EXPECT_EQ(ReadFileBytes(dir / "f"), "abc");
#ifndef _WIN32
  FileHandle full = OpenOrFail("/dev/full", kAccessWrite, kOpenExisting);
  EXPECT_EQ(FileApi::Write(full, "x", 1, &written), 87u);
  FileApi::Close(full);
#endif
}

// Linux keeps the old tail under create-always until Truncate; Windows
// empties the file on opening.
TEST(FileApi, CreateAlwaysAndTruncate) {
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
    EXPECT_EQ(ReadFileBytes(dir / "f"), truncate || kWindows ? "abcd" : "abcd456789");
  }
  EXPECT_EQ(FileApi::Truncate(kInvalidFileHandle), 6u);
}

// Linux keeps whole seconds and sets the access time with the write time;
// Windows keeps the 100-nanosecond stamp and sets the write time only.
TEST(FileApi, WriteTimeRoundTrip) {
  TempDir dir;
  FileHandle h = OpenOrFail(dir / "f", kAccessWrite | kAccessRead, kCreateAlways);
  const FileTime stamp = kUnixEpochAsFileTime + 1700000000ull * 10000000ull + 1234567;
  EXPECT_EQ(FileApi::SetWriteTime(h, stamp), 0u);
  FileTime creation = 0, access = 0, write = 0;
  EXPECT_EQ(FileApi::GetTimes(h, &creation, &access, &write), 0u);
  if (kWindows) {
    EXPECT_EQ(write, stamp);
    EXPECT_NE(access, 0u);
  } else {
    EXPECT_EQ(write, stamp - 1234567);
    EXPECT_EQ(access, stamp - 1234567);
  }
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
  // Without a high half the distance is unsigned: 3 GiB, not -1 GiB.
  EXPECT_EQ(FileApi::Seek(h, 0xC0000000u, nullptr, kSeekBegin), 0xC0000000u);
  high = 0;
  EXPECT_EQ(FileApi::Seek(h, 0, &high, kSeekCurrent), 0xC0000000u);
  EXPECT_EQ(high, 0);
  FileApi::Close(h);
  uint32_t size = 0;
  EXPECT_EQ(FileApi::FileSize(U16(dir / "sparse"), &size), 0u);
  EXPECT_EQ(size, 0xFFFFFFFFu);
  EXPECT_EQ(FileApi::FileSize(U16(dir / "missing"), &size), 1u);
  EXPECT_EQ(FileApi::FileSize(U16(dir / "sparse"), nullptr), 1u);
  EXPECT_EQ(FileApi::Seek(kInvalidFileHandle, 0, nullptr, kSeekBegin), 0xFFFFFFFFu);
  EXPECT_EQ(FileApi::LastError(), 6u);
}

TEST(FileApi, FileSizeWhileTheFileIsOpenExclusively) {
  TempDir dir;
  WriteFileBytes(dir / "kit", std::string(1000, 'k'));
  FileHandle h = OpenOrFail(dir / "kit", kAccessRead | kAccessWrite, kOpenExisting, kShareNone);
  uint32_t size = 0;
  EXPECT_EQ(FileApi::FileSize(U16(dir / "kit"), &size), 0u);
  EXPECT_EQ(size, 1000u);
  FileApi::Close(h);
}
