// What both wizards show, decided in one place: the welcome text with its
// defaults and the description file's path and presence.
#include "core/wizard_decisions.h"

#include <gtest/gtest.h>

#include <string>

#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "tests/support/test_support.h"

namespace {

class WizardDecisionsTest : public ::testing::Test {
 protected:
  WizardDecisionsTest() { ChooseLanguage("en"); }

  SetupContext context_;
  TempDir root_;
};

TEST_F(WizardDecisionsTest, WelcomeTextNamesProductAndVendorOrTheDefaults) {
  const std::string title = Utf8(GetMessageText("IDS_WELCOME_TITLE"));
  context_.languageCode = u"de";
  context_.kit.descriptions = {{u"en", u"Product", u"Vendor", u""},
                               {u"de", u"Produkt", u"Hersteller", u""}};
  EXPECT_EQ(Utf8(WelcomeText(context_)), title + " Produkt (Hersteller).");
  context_.kit.descriptions = {{u"de", u"", u"", u""}};
  EXPECT_EQ(Utf8(WelcomeText(context_)), title + " " + Utf8(GetMessageText("IDS_DEFPRODUCT")) +
                                             " (" + Utf8(GetMessageText("IDS_DEFPROVIDER")) + ").");
}

TEST_F(WizardDecisionsTest, DescriptionPathIsTheSameWithOrWithoutSeparators) {
  const std::string dir = root_ / "templates";
  const std::string expected = NativePath(dir + "/docs/about.html");
  context_.languageCode = u"en";
  for (const std::string& target : {dir, dir + kPathSeparator}) {
    for (const char16_t* link :
         {u"docs\\about.html", u"\\docs\\about.html", u"/docs\\about.html"}) {
      SCOPED_TRACE(target + " " + Utf8(U16String(link)));
      context_.targetDirectory = U16(target);
      context_.kit.descriptions = {{u"en", u"Product", u"Vendor", link}};
      EXPECT_EQ(Utf8(DescriptionPath(context_)), expected);
    }
  }
  EXPECT_FALSE(DescriptionExists(context_));
  MakeDirs(NativePath(dir + "/docs"));
  WriteFileBytes(expected, "<html/>");
  EXPECT_TRUE(DescriptionExists(context_));
}

TEST_F(WizardDecisionsTest, AKitWithoutDescriptionHasNothingToOpen) {
  context_.targetDirectory = U16(root_.path());
  for (const char16_t* link : {u"", u"\\", u"/"}) {
    context_.kit.descriptions = {{u"en", u"Product", u"Vendor", link}};
    EXPECT_TRUE(DescriptionPath(context_).IsEmpty());
    EXPECT_FALSE(DescriptionExists(context_));
  }
}

}  // namespace
