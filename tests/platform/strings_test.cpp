#include "platform/strings.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>

#include <thread>
#include <vector>

#include "tests/support/test_support.h"

TEST(U16String, CopiesShareUntilChanged) {
  U16String a(u"template");
  U16String b = a;
  EXPECT_EQ(a.ShareCount(), 2);
  b.Append(u'/');
  EXPECT_EQ(a, u"template");
  EXPECT_EQ(b, u"template/");
  EXPECT_EQ(a.ShareCount(), 1);
  EXPECT_EQ(b.Data()[b.Length()], 0) << "always zero-terminated";
  U16String empty;
  EXPECT_EQ(empty.Data()[0], 0);
  EXPECT_TRUE(empty == u"");
}

TEST(U16String, AppendFromItselfAndEditing) {
  U16String s(u"ab");
  s.Append(s);
  EXPECT_EQ(s, u"abab");
  s.ReplaceAll(u'a', u'x');
  EXPECT_EQ(s, u"xbxb");
  s.RemoveAll(u'b');
  EXPECT_EQ(s, u"xx");
  U16String path(u"file:///home/u");
  path.Erase(path.Find(u"file://"), 7);
  EXPECT_EQ(path, u"/home/u");
  path.Insert(0, U16String(u"x"));
  EXPECT_EQ(path, u"x/home/u");
  EXPECT_EQ(path.FindLast(u'/'), 6u);
  EXPECT_EQ(path.Substring(7), u"u");
}

TEST(U16String, CopiesCrossThreads) {
  U16String shared(u"shared text");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([shared] {
      for (int i = 0; i < 10000; ++i) {
        U16String copy = shared;
        copy.Append(u'x');
        ASSERT_EQ(copy.Length(), 12u);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(shared.ShareCount(), 1);
}

// UTF-8 data converts the same way on both systems.
TEST(Utf8Conversions, RoundTripAndPairs) {
  const char16_t* texts[] = {u"", u"plain", u"/home/пользователь/шаблоны", u"中文 \U0001F600 end"};
  for (const char16_t* text : texts) {
    EXPECT_EQ(FromUtf8(ToUtf8(U16String(text)).Data()), U16String(text)) << Utf8(text);
  }
  EXPECT_EQ(ToUtf8(U16String(u"\U0001F600")), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("\xD0\x9E\xD1\x82"), u"От");
  // A byte that is no UTF-8: Linux keeps it as U+DC00 + byte for the way
  // back, Windows makes it U+FFFD.
  U16String decoded = FromUtf8("a\xFFz");
  ASSERT_EQ(decoded.Length(), 3u);
#ifdef _WIN32
  EXPECT_EQ(decoded[1], 0xFFFD);
#else
  EXPECT_EQ(decoded[1], 0xDCFF);
  EXPECT_EQ(ToUtf8(decoded), "a\xFFz");
#endif
}

#ifdef _WIN32
// The 8-bit form is the ANSI code page: Windows-1252 for an English user,
// Windows-1251 for a Russian one.
TEST(AnsiConversions, FollowTheCodePage) {
  EXPECT_TRUE(ToNarrow(U16String()).IsEmpty());
  EXPECT_TRUE(FromNarrow("", 0).IsEmpty());
  EXPECT_EQ(ToNarrow(U16String(u"C:\\Templates")), "C:\\Templates");
  EXPECT_EQ(FromNarrow("C:\\Templates"), u"C:\\Templates");
  struct Case {
    UINT codePage;
    const char16_t* text;
    const char* bytes;
  } cases[] = {
      {1252, u"café", "caf\xE9"},
      {1252, u"Каталог", "???????"},
      {1251, u"Каталог", "\xCA\xE0\xF2\xE0\xEB\xEE\xE3"},
      {1251, u"日本", "??"},
  };
  bool checked = false;
  for (const Case& c : cases) {
    if (c.codePage != GetACP()) continue;
    checked = true;
    NarrowString narrow = ToNarrow(U16String(c.text));
    EXPECT_EQ(std::string(narrow.Data(), narrow.Length()), c.bytes) << Utf8(c.text);
    if (std::string(c.bytes).find('?') == std::string::npos) {
      EXPECT_EQ(FromNarrow(c.bytes), U16String(c.text));
    }
  }
  if (!checked) GTEST_SKIP() << "no cases for code page " << GetACP();
}
#else
class Conversions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LocaleExists("ru_RU.UTF-8"))
        << "locale ru_RU.UTF-8 is missing; run scripts/install-deps";
  }
};

TEST_F(Conversions, RoundTripsInUtf8Locale) {
  ScopedEnv lang("LANG", "ru_RU.UTF-8");
  ScopedEnv all("LC_ALL", nullptr);
  const char16_t* texts[] = {u"", u"/home/пользователь/шаблоны", u"plain", u"emoji \U0001F600 end",
                             u"\U00010348"};
  for (const char16_t* text : texts) {
    U16String original(text);
    NarrowString narrow = ToNarrow(original);
    EXPECT_EQ(FromNarrow(narrow), original);
  }
  // A pair travels as one character: four bytes in UTF-8.
  EXPECT_EQ(ToNarrow(U16String(u"\U0001F600")), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromNarrow("\xD0\x9E\xD1\x82").Length(), 2u);
  EXPECT_TRUE(ToNarrow(U16String()).IsEmpty());
  EXPECT_TRUE(FromNarrow("", 0).IsEmpty());
}

TEST_F(Conversions, UnconvertibleTextNeverStopsTheProgram) {
  ScopedEnv all("LC_ALL", nullptr);
  {
    ScopedEnv lang("LANG", "ru_RU.UTF-8");
    // Bytes that are not UTF-8 survive a round trip unchanged.
    const char bad[] = "a\xFF\xC3(z";
    U16String decoded = FromNarrow(bad, 5);
    EXPECT_EQ(decoded.Length(), 5u);
    EXPECT_EQ(decoded[1], 0xDCFF);
    NarrowString back = ToNarrow(decoded);
    EXPECT_EQ(std::string(back.Data(), back.Length()), std::string(bad, 5));
    // A lone surrogate that no byte stands for becomes "?".
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(ToNarrow(U16String(lone)), "x?y");
  }
  {
    ScopedEnv lang("LANG", "C");
    EXPECT_EQ(ToNarrow(U16String(u"дa")), "?a");
    U16String decoded = FromNarrow("\xD0\x94");
    EXPECT_EQ(decoded.Length(), 2u);
    EXPECT_EQ(ToNarrow(decoded), "\xD0\x94");
  }
}

TEST_F(Conversions, DoNotChangeTheProcessLocale) {
  ScopedEnv lang("LANG", "ru_RU.UTF-8");
  ScopedEnv all("LC_ALL", nullptr);
  std::string before = setlocale(LC_ALL, nullptr);
  ToNarrow(U16String(u"Установка"));
  FromNarrow("Установка");
  EXPECT_EQ(before, setlocale(LC_ALL, nullptr));
}

#endif

// Settings keys match in any case on both systems; other letters fold on
// Windows only (the user's locale), on Linux only A to Z fold.
TEST(NoCaseComparison, KeysAndLetters) {
#ifndef _WIN32
  ASSERT_TRUE(LocaleExists("ru_RU.UTF-8"))
      << "locale ru_RU.UTF-8 is missing; run scripts/install-deps";
  ScopedEnv lang("LANG", "ru_RU.UTF-8");
  ScopedEnv all("LC_ALL", nullptr);
#endif
  EXPECT_EQ(CompareNoCase(U16String(u"ConfigurationTemplatesLocation"),
                          U16String(u"configurationtemplateslocation")),
            0);
#ifdef _WIN32
  EXPECT_EQ(CompareNoCase(U16String(u"Каталог"), U16String(u"КАТАЛОГ")), 0);
  EXPECT_EQ(CompareNoCase(U16String(u"C:\\Шаблоны\\"), U16String(u"c:\\шаблоны\\")), 0);
#else
  EXPECT_NE(CompareNoCase(U16String(u"Каталог"), U16String(u"каталог")), 0);
#endif
  EXPECT_LT(CompareNoCase(U16String(u"abc"), U16String(u"ABD")), 0);
  EXPECT_GT(CompareNoCase(U16String(u"b"), U16String(u"A")), 0);
  EXPECT_NE(CompareNoCase(U16String(u"abc"), U16String(u"abcd")), 0);
  EXPECT_EQ(CompareNoCase(U16String(), U16String()), 0);
}

#ifdef _WIN32
TEST(TextFiles, ProfileAndWideOpen) {
  TempDir dir;
  {
    ScopedEnv profile("USERPROFILE", dir.path().c_str());
    EXPECT_EQ(HomeDirectory(), U16(dir.path()));
  }
  // The settings reader's mode: a UTF-16 file with its mark, under a name
  // that only UTF-16 can carry.
  const std::string path = dir / "настройки 日本.cfg";
  WriteFileBytes(path, std::string("\xFF\xFE"
                                   "k\0=\0\x1F\x04\r\0\n\0",
                                   12));
  FILE* f = OpenTextFile(U16(path), U16String(u"rt, ccs=UNICODE"));
  ASSERT_NE(f, nullptr);
  wchar_t line[16] = {};
  ASSERT_NE(fgetws(line, 16, f), nullptr);
  EXPECT_STREQ(line, L"k=\x41F\n");
  fclose(f);
  EXPECT_EQ(OpenTextFile(U16(dir / "missing"), U16String(u"rt")), nullptr);
}
#else
TEST(TextFiles, HomeAndOpen) {
  TempDir dir;
  {
    ScopedEnv home("HOME", dir.path().c_str());
    EXPECT_EQ(HomeDirectory(), U16(dir.path()));
  }
  WriteFileBytes(dir / "a.cfg", "k=v\n");
  FILE* f = OpenTextFile(U16(dir / "a.cfg"), U16String(u"rt, ccs=UNICODE"));
  ASSERT_NE(f, nullptr);
  char line[16] = {};
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "k=v\n");
  fclose(f);
  EXPECT_EQ(OpenTextFile(U16(dir / "missing"), U16String(u"rt")), nullptr);
}
#endif
