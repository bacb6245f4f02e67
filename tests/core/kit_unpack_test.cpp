#include "core/kit_unpack.h"

#include <zlib.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tools/mkkit/kit_writer.h"

namespace {

// Text with enough variety that deflate uses every kind of block.
std::string SampleBytes(size_t size, unsigned seed = 7) {
  std::string bytes;
  bytes.reserve(size);
  const char* words[] = {"<template ", "name=\"", "value", "\"/>\n", "config", "=", "42", "\t"};
  while (bytes.size() < size) {
    seed = seed * 1103515245u + 12345u;
    if ((seed >> 28) == 0) {
      bytes.push_back(static_cast<char>(seed >> 16));
    } else {
      bytes += words[(seed >> 16) % 8];
    }
  }
  bytes.resize(size);
  return bytes;
}

// Deflate with a chosen wrapper (window bits) and a chosen last flush.
std::string Deflate(const std::string& data, int windowBits, int lastFlush) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, data.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_NE(deflate(&stream, lastFlush), Z_STREAM_ERROR);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

class UnpackKitTest : public ::testing::Test {
 protected:
  // Writes the kit, makes the empty work file as the reader does, unpacks.
  uint32_t Unpack(const std::string& kitBytes, uint64_t limit = kMaxWorkFileSize) {
    WriteFileBytes(kit(), kitBytes);
    WriteFileBytes(work(), "");
    return UnpackKit(U16(kit()), U16(work()), limit);
  }
  std::string kit() const { return dir / "brvx.bkd"; }
  std::string work() const { return dir / "bdk-work"; }
  TempDir dir;
};

TEST_F(UnpackKitTest, RawDeflateInflatesToTheSameBytes) {
  for (int level : {0, 1, 9}) {
    std::string data = SampleBytes(300000 + level);
    EXPECT_EQ(Unpack(DeflateRaw(data, level)), 0u) << level;
    EXPECT_EQ(ReadFileBytes(work()), data) << level;
  }
}

TEST_F(UnpackKitTest, WorkFileEndsWithTheInflatedBytes) {
  std::string data = SampleBytes(1000);
  WriteFileBytes(kit(), DeflateRaw(data));
  WriteFileBytes(work(), std::string(5000, 'z'));
  EXPECT_EQ(UnpackKit(U16(kit()), U16(work())), 0u);
  EXPECT_EQ(ReadFileBytes(work()), data);
}

TEST_F(UnpackKitTest, EmptyKitGivesAnEmptyWorkFile) {
  EXPECT_EQ(Unpack(""), 0u);
  EXPECT_TRUE(FileExists(work()));
  EXPECT_EQ(ReadFileBytes(work()), "");
}

TEST_F(UnpackKitTest, StreamCutInsideABlockGivesAShortWorkFile) {
  std::string data = SampleBytes(200000);
  std::string packed = DeflateRaw(data);
  EXPECT_EQ(Unpack(packed.substr(0, packed.size() / 2)), 0u);
  std::string inflated = ReadFileBytes(work());
  EXPECT_LT(inflated.size(), data.size());
  EXPECT_GT(inflated.size(), 0u);
  EXPECT_EQ(data.compare(0, inflated.size(), inflated), 0);
}

TEST_F(UnpackKitTest, WrappedStreamsAreCorrupt) {
  std::string data = SampleBytes(50000);
  EXPECT_EQ(Unpack(Deflate(data, 15, Z_FINISH)), kErrorInvalidData) << "zlib wrapper";
  EXPECT_EQ(Unpack(Deflate(data, 31, Z_FINISH)), kErrorInvalidData) << "gzip wrapper";
  EXPECT_EQ(Unpack(std::string("\xff\xff\xff\xff garbage", 12)), kErrorInvalidData);
}

// 65,536 bytes fill exactly two output blocks. A stream with its end mark
// reports the end together with the last full block; a stream that stops at a
// sync point has no end mark, and the extra call finds no input and produces
// nothing (zlib's buffer error without input counts as success).
TEST_F(UnpackKitTest, MultipleOfTheOutputBlock) {
  std::string data = SampleBytes(2 * 32768);
  struct Case {
    const char* what;
    std::string kit;
    std::string expected;
  } cases[] = {
      {"end mark with the last block", Deflate(data, -15, Z_FINISH), data},
      {"stored blocks", DeflateRaw(data, 0), data},
      {"no end mark", Deflate(data, -15, Z_SYNC_FLUSH), data},
      {"one block", Deflate(data.substr(0, 32768), -15, Z_SYNC_FLUSH), data.substr(0, 32768)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Unpack(c.kit), 0u) << c.what;
    EXPECT_EQ(ReadFileBytes(work()), c.expected) << c.what;
  }
}

TEST_F(UnpackKitTest, OutputBeyondTheLimitIsRefused) {
  std::string data = SampleBytes(100000);
  EXPECT_EQ(Unpack(DeflateRaw(data), data.size()), 0u);
  EXPECT_EQ(Unpack(DeflateRaw(data), data.size() - 1), kErrorInvalidData);
  EXPECT_LE(ReadFileBytes(work()).size(), data.size() - 1);
}

TEST_F(UnpackKitTest, OpenFailuresReportTheirCode) {
  WriteFileBytes(work(), "");
  EXPECT_EQ(UnpackKit(U16(dir / "missing.bkd"), U16(work())), kErrorFileNotFound);
  WriteFileBytes(kit(), DeflateRaw("x"));
#ifdef _WIN32
  EXPECT_EQ(UnpackKit(U16(kit()), U16(dir / "no/such/dir/work")), kErrorPathNotFound);
#else
  EXPECT_EQ(UnpackKit(U16(kit()), U16(dir / "no/such/dir/work")), kErrorFileNotFound);
#endif
}

// Faults made with Linux means: a full device, a file size limit, sparse
// files and unmappable sysfs files.
#ifndef _WIN32

TEST_F(UnpackKitTest, FailedWriteIsNotSuccess) {
  WriteFileBytes(kit(), DeflateRaw(SampleBytes(100000)));
  uint32_t result = UnpackKit(U16(kit()), U16("/dev/full"));
  EXPECT_NE(result, 0u);
}

// A file size limit makes the kernel accept only part of a block.
TEST_F(UnpackKitTest, ShortWriteIsNotSuccess) {
  std::string data = SampleBytes(100000);
  WriteFileBytes(kit(), DeflateRaw(data));
  WriteFileBytes(work(), "");
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 50000;
  void (*oldHandler)(int) = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  uint32_t result = UnpackKit(U16(kit()), U16(work()));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(result, 0u);
  EXPECT_EQ(ReadFileBytes(work()).size(), 50000u);
}

// A kit of 4 GiB or more would be cut to its low 32 bits of length.
TEST_F(UnpackKitTest, KitsOfFourGibibytesAreRefused) {
  for (uint64_t length : {0x100000000ull, 0x100000000ull + 1000, 0xFFFFFFFFull}) {
    int fd = ::open(kit().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::string head = DeflateRaw("small");
    ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(length)), 0);
    ::close(fd);
    WriteFileBytes(work(), "");
    EXPECT_EQ(UnpackKit(U16(kit()), U16(work())), kErrorFileTooLarge) << length;
    EXPECT_EQ(ReadFileBytes(work()), "");
  }
}

// sysfs attributes report a length but cannot be mapped.
TEST_F(UnpackKitTest, KitThatCannotBeMappedIsNotSuccess) {
  const char* unmappable = "/sys/kernel/uevent_seqnum";
  int fd = ::open(unmappable, O_RDONLY);
  if (fd < 0) GTEST_SKIP() << "no sysfs";
  off_t length = ::lseek(fd, 0, SEEK_END);
  ::close(fd);
  if (length <= 0) GTEST_SKIP() << "sysfs reports no length";
  WriteFileBytes(work(), "");
  EXPECT_NE(UnpackKit(U16(unmappable), U16(work())), 0u);
}

#endif  // _WIN32

}  // namespace
