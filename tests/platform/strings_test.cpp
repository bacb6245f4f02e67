#include "platform/strings.h"

#include <gtest/gtest.h>

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

TEST_F(Conversions, CompareNoCaseFoldsAsciiOnly) {
  ScopedEnv lang("LANG", "ru_RU.UTF-8");
  ScopedEnv all("LC_ALL", nullptr);
  EXPECT_EQ(CompareNoCase(U16String(u"ConfigurationTemplatesLocation"),
                          U16String(u"configurationtemplateslocation")),
            0);
  EXPECT_NE(CompareNoCase(U16String(u"Каталог"), U16String(u"каталог")), 0);
  EXPECT_LT(CompareNoCase(U16String(u"abc"), U16String(u"ABD")), 0);
  EXPECT_GT(CompareNoCase(U16String(u"b"), U16String(u"A")), 0);
}

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
