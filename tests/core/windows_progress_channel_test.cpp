// The channel's lock on Windows, against a thread that stopped while it
// held the lock (the test suspends it, as a debugger would; the program
// never does): every operation gives up after 100 ms, except the error
// publication, which waits and is never lost.
#ifdef _WIN32

#include <process.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/progress_channel.h"
#include "tests/support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(WindowsProgressChannel, ALockHeldBySuspendedThreadIsWaitedForAtMost100Ms) {
  ProgressChannel channel;
  channel.Prepare(nullptr, U16String(u"C:\\t"));
  struct Loop {
    ProgressChannel* channel;
    U16String text;
    std::atomic<bool> stop{false};
  } loop{&channel, U16String(u"copying")};
  // Publishes without pause, so that a suspension often catches it inside
  // the lock. Always the same text: the channel then only shares its
  // buffer, and the thread never holds the heap's lock inside the channel's
  // (this thread allocates while the other is suspended).
  auto body = [](void* data) -> unsigned {
    auto* l = static_cast<Loop*>(data);
    for (int32_t i = 0; !l->stop; ++i) l->channel->Publish(0, l->text, i % 100);
    return 0;
  };
  auto thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, &loop, 0, nullptr));
  ASSERT_NE(thread, nullptr);

  // Suspend it until it is caught holding the lock: a read then gives up.
  bool caught = false;
  long long waited = 0;
  int32_t status = 0, percentage = 0;
  U16String text;
  for (int attempt = 0; attempt < 5000 && !caught; ++attempt) {
    status = percentage = -7;
    text = U16String(u"before");
    SuspendThread(thread);
    Clock::time_point start = Clock::now();
    channel.Read(&status, &text, &percentage);
    waited = MillisecondsSince(start);
    caught = status == -7;
    if (!caught) ResumeThread(thread);
  }
  ASSERT_TRUE(caught) << "the publisher was never suspended inside the lock";
  EXPECT_GE(waited, 90);
  EXPECT_LT(waited, 2000);
  // Without the lock nothing happens: the caller's values stay, a cancel
  // check answers no, a cancel request and a publication are lost.
  EXPECT_EQ(text, u"before");
  EXPECT_EQ(percentage, -7);
  channel.RequestCancel();
  EXPECT_FALSE(channel.IsCancelRequested());
  channel.Publish(77, U16String(u"lost"), 77);

  // The error publication waits until the holder goes on.
  std::atomic<bool> published{false};
  std::thread error([&] {
    channel.PublishError(5, U16String(u"Installation error"), 40);
    published = true;
  });
  Sleep(400);
  EXPECT_FALSE(published) << "the error publication did not wait for the lock";
  loop.stop = true;
  ResumeThread(thread);
  WaitForSingleObject(thread, INFINITE);
  error.join();
  EXPECT_TRUE(published);
  channel.Read(&status, &text, &percentage);
  EXPECT_EQ(status, 5);
  EXPECT_EQ(text, u"Installation error");
  EXPECT_EQ(percentage, 40);
  EXPECT_FALSE(channel.IsCancelRequested()) << "the request made without the lock was lost";
  CloseHandle(thread);
}

}  // namespace

#endif  // _WIN32
