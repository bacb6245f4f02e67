// The wizard window driven in this process on a real X server: its layout,
// the button row and page of every state, the transitions, the message box,
// the Escape key and the window manager's close request.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "core/startup.h"
#include "localization/language_choice.h"
#include "localization/message_catalogue.h"
#include "tests/gui/gui_test_support.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/tree_snapshot.h"
#include "ui/gtk/message_box.h"

namespace {

struct Row {
  ButtonLook back, next, cancel;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "Back " << row.back << "; Next " << row.next << "; Cancel " << row.cancel;
}

const KitDescription kEnglish{u"en", u"Demo Templates", u"Example Vendor", u"docs\\about.html"};

class WizardWindowTest : public ::testing::Test {
 protected:
  WizardWindowTest()
      : home_("HOME", (root_ / "home").c_str()), tmpdir_("TMPDIR", (root_ / "tmp").c_str()) {
    MakeDirs(root_ / "home");
    MakeDirs(root_ / "tmp");
    MakeDirs(root_ / "kit");
    char* previous = getcwd(nullptr, 0);
    savedDirectory_ = previous;
    free(previous);
  }
  ~WizardWindowTest() override {
    dialog_.reset();
    ProcessPendingEvents();
    if (chdir(savedDirectory_.c_str()) != 0) ADD_FAILURE() << "cannot return to the directory";
  }

  void SetUp() override {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "the window tests need an X server in DISPLAY";
    // A desktop's GTK modules would load into the window under test.
    unsetenv("GTK_MODULES");
    ChooseLanguage("en");
  }

  // Kit in the working directory, startup, window and welcome page.
  void StartWizard(const std::vector<KitDescription>& descriptions,
                   const std::vector<std::pair<std::string, std::string>>& files,
                   bool silent = false) {
    WriteKit(root_ / "kit/brvx.bkd", descriptions, files);
    ASSERT_EQ(chdir((root_ / "kit").c_str()), 0);
    dialog_ = std::make_unique<CInstallerDlg>(
        1, arguments_, silent, ToNarrow(GetMessageText("IDR_MAINFRAME")), u"en", true);
    RecordingReporter reporter;
    ASSERT_TRUE(RunStartupSequence(dialog_->Context(), reporter)) << reporter.First();
    dialog_->CreateWizardWindow();
    dialog_->ShowWelcomePage();
    SettleWindow(dialog_->Window());
  }
  void StartWizard() { StartWizard({kEnglish}, {{"a.txt", "new a"}, {"docs\\about.html", "x"}}); }

  // Welcome, Next, a target of our own, Next: the copying runs to its end.
  void InstallInto(const std::string& target) {
    dialog_->OnNextClicked();
    dialog_->DestinationPage()->SetDirectory(U16(target));
    dialog_->OnNextClicked();
  }

  Row RowNow() {
    return {LookOf(dialog_->BackButton()), LookOf(dialog_->NextButton()),
            LookOf(dialog_->CancelButton())};
  }

  TempDir root_;
  ScopedEnv home_;
  ScopedEnv tmpdir_;
  std::string savedDirectory_;
  char program_[6] = "setup";
  char* arguments_[2] = {program_, nullptr};
  std::unique_ptr<CInstallerDlg> dialog_;
};

TEST_F(WizardWindowTest, WindowAndPagesArePlacedPixelForPixel) {
  StartWizard();
  GtkWidget* window = dialog_->Window();
  EXPECT_EQ(PlacementOf(window).width, 500);
  EXPECT_EQ(PlacementOf(window).height, 360);
  EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(window)), Text("IDR_MAINFRAME"));
  EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(window)), GDK_WINDOW_TYPE_HINT_MENU);
  EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
  GdkPixbuf* icon = gtk_window_get_icon(GTK_WINDOW(window));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(icon), 256);
  EXPECT_TRUE(gdk_pixbuf_get_has_alpha(icon));

  // What the window manager is told: it cannot be resized.
  EXPECT_EQ(SizeHintsOf(window), "min 500x360 max 500x360 base 500x360");

  EXPECT_EQ(PlacementOf(dialog_->Separator()), (Placement{10, 310, 480, 5}));
  EXPECT_EQ(PlacementOf(dialog_->BackButton()), (Placement{230, 320, 80, 30}));
  EXPECT_EQ(PlacementOf(dialog_->NextButton()), (Placement{310, 320, 80, 30}));
  EXPECT_EQ(PlacementOf(dialog_->CancelButton()), (Placement{410, 320, 80, 30}));

  const auto& welcome = dialog_->WelcomePage()->Widgets();
  ASSERT_EQ(welcome.size(), 2u);
  EXPECT_TRUE(GTK_IS_IMAGE(welcome[0]));
  EXPECT_EQ(PlacementOf(welcome[0]), (Placement{0, 0, 158, 286}));
  EXPECT_EQ(PlacementOf(welcome[1]), (Placement{170, 10, 330, 250}));
  EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(welcome[1])));
  gfloat xalign = 1, yalign = 1;
  gtk_misc_get_alignment(GTK_MISC(welcome[1]), &xalign, &yalign);
  EXPECT_EQ(xalign, 0.0f);
  EXPECT_EQ(yalign, 0.0f);

  dialog_->OnNextClicked();
  SettleWindow(dialog_->Window());
  const auto& destination = dialog_->DestinationPage()->Widgets();
  ASSERT_EQ(destination.size(), 5u);
  EXPECT_EQ(PlacementOf(destination[0]), (Placement{0, 0, 158, 286}));
  EXPECT_EQ(PlacementOf(destination[1]), (Placement{170, 10, 330, 250}));
  EXPECT_EQ(LabelText(destination[1]), Text("IDS_DESTINATION_PROMPT"));
  EXPECT_EQ(PlacementOf(destination[2]).x, 170);
  EXPECT_EQ(PlacementOf(destination[2]).y, 255);
  EXPECT_EQ(LabelText(destination[2]), Text("IDS_TEMPLATE_CATALOG"));
  EXPECT_EQ(PlacementOf(destination[3]), (Placement{170, 275, 280, 30}));
  EXPECT_EQ(PlacementOf(destination[4]), (Placement{460, 275, 30, 30}));
  EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(destination[4])), std::string("..."));
  for (GtkWidget* widget : welcome) EXPECT_FALSE(gtk_widget_get_visible(widget));

  dialog_->DestinationPage()->SetDirectory(U16(root_ / "target"));
  dialog_->OnNextClicked();
  ASSERT_EQ(dialog_->State(), WizardState::Success);
  SettleWindow(dialog_->Window());
  const auto& progress = dialog_->ProgressPageOf()->Widgets();
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(PlacementOf(progress[1]).width, 480);
  for (GtkWidget* widget : progress) EXPECT_FALSE(gtk_widget_get_visible(widget));
  const auto& success = dialog_->SuccessPage()->Widgets();
  ASSERT_EQ(success.size(), 3u);
  EXPECT_EQ(PlacementOf(success[0]), (Placement{0, 0, 158, 286}));
  EXPECT_EQ(PlacementOf(success[1]), (Placement{170, 10, 330, 250}));
  EXPECT_EQ(PlacementOf(success[2]).x, 170);
  EXPECT_EQ(PlacementOf(success[2]).y, 170);
}

TEST_F(WizardWindowTest, ProgressPageIsPlacedAndFollowsThePercentage) {
  StartWizard();
  ProgressPage page(dialog_->Container(), 480);
  dialog_->ShowPage(&page);
  SettleWindow(dialog_->Window());
  EXPECT_EQ(PlacementOf(page.StatusLabel()).x, 10);
  EXPECT_EQ(PlacementOf(page.StatusLabel()).y, 130);
  EXPECT_EQ(PlacementOf(page.Bar()), (Placement{10, 150, 480, 20}));
  for (int percentage : {0, 1, 50, 99}) {
    page.Update(percentage);
    EXPECT_EQ(LabelText(page.StatusLabel()), Text("IDS_PROGRESS_START")) << percentage;
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(page.Bar())),
                     percentage / 100.0);
  }
  page.Update(100);
  EXPECT_EQ(LabelText(page.StatusLabel()), Text("IDS_INSTALL_FINISH"));
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(page.Bar())), 1.0);
}

TEST_F(WizardWindowTest, EveryStateHasItsButtonRowAndPage) {
  StartWizard({kEnglish}, SlowKitFiles());
  const std::string next = Text("IDS_WIZARD_NEXT"), finish = Text("IDS_WIZARD_FINISH");
  const std::string back = Text("IDS_WIZARD_BACK"), cancel = Text("IDS_WIZARD_CANCEL");

  EXPECT_EQ(dialog_->State(), WizardState::Welcome);
  EXPECT_EQ(dialog_->CurrentPage(), dialog_->WelcomePage());
  EXPECT_EQ(
      RowNow(),
      (Row{{true, false, back, false}, {true, true, next, true}, {true, true, cancel, false}}));

  dialog_->OnNextClicked();
  EXPECT_EQ(dialog_->State(), WizardState::Destination);
  EXPECT_EQ(dialog_->CurrentPage(), dialog_->DestinationPage());
  EXPECT_EQ(
      RowNow(),
      (Row{{true, true, back, false}, {true, true, next, true}, {true, true, cancel, false}}));

  Row copyingRow{};
  WizardDialogPage* copyingPage = nullptr;
  WhenInLoop during([&] { return dialog_->State() == WizardState::Copying; },
                    [&] {
                      copyingRow = RowNow();
                      copyingPage = dialog_->CurrentPage();
                    });
  dialog_->DestinationPage()->SetDirectory(U16(root_ / "target"));
  dialog_->OnNextClicked();
  ASSERT_TRUE(during.done()) << "the copying ended before the loop ran";
  EXPECT_EQ(copyingPage, dialog_->ProgressPageOf());
  EXPECT_EQ(
      copyingRow,
      (Row{{true, false, back, false}, {true, false, next, true}, {true, true, cancel, false}}));

  EXPECT_EQ(dialog_->State(), WizardState::Success);
  EXPECT_EQ(dialog_->CurrentPage(), dialog_->SuccessPage());
  EXPECT_EQ(
      RowNow(),
      (Row{{false, false, back, false}, {true, true, finish, true}, {true, false, cancel, false}}));
  EXPECT_TRUE(dialog_->SuccessPage()->WantsDescription());
  EXPECT_TRUE(FileExists(root_ / "target/d1299/f.txt"));
}

TEST_F(WizardWindowTest, FailedInstallationEndsOnTheErrorPageAfterTheErrorBox) {
  StartWizard({kEnglish}, {{"a.txt", "new a"}, {"sub\\c.txt", "new c"}});
  // "sub" is a file where the kit needs a folder: the second entry fails.
  MakeDirs(root_ / "target");
  WriteFileBytes(root_ / "target/a.txt", "old a");
  WriteFileBytes(root_ / "target/sub", "a file");
  SetMTime(root_ / "target/a.txt", kOldSeconds);
  TreeSnapshot before = TakeSnapshot(root_ / "target");
  BoxAnswerer answerer(GTK_RESPONSE_OK);
  InstallInto(root_ / "target");
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].text, Text("IDS_INSTALL_ERROR"));
  EXPECT_EQ(answerer.seen()[0].title, Text("IDR_MAINFRAME"));
  EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_ERROR);
  EXPECT_TRUE(answerer.seen()[0].hasOk);

  EXPECT_EQ(dialog_->State(), WizardState::Error);
  EXPECT_EQ(dialog_->CurrentPage(), dialog_->ErrorPage());
  EXPECT_EQ(LabelText(dialog_->ErrorPage()->TextLabel()), Text("IDS_ERROR_FINISH"));
  EXPECT_EQ(RowNow(), (Row{{false, false, Text("IDS_WIZARD_BACK"), false},
                           {true, true, Text("IDS_WIZARD_FINISH"), true},
                           {true, false, Text("IDS_WIZARD_CANCEL"), false}}));
  dialog_->WaitForWorkerEnd();
  EXPECT_EQ(TakeSnapshot(root_ / "target"), before);
  EXPECT_FALSE(FileExists(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg"));
}

TEST_F(WizardWindowTest, SilentRunHidesBackAndNextAndFinishesByItself) {
  StartWizard({kEnglish}, {{"a.txt", "new a"}}, true);
  EXPECT_EQ(dialog_->State(), WizardState::Welcome);
  EXPECT_FALSE(gtk_widget_get_visible(dialog_->BackButton()));
  EXPECT_FALSE(gtk_widget_get_visible(dialog_->NextButton()));
  EXPECT_TRUE(gtk_widget_get_visible(dialog_->CancelButton()));
  EXPECT_TRUE(gtk_widget_get_sensitive(dialog_->CancelButton()));
  dialog_->Context().targetDirectory = U16(root_ / "target");
  // No input and no timer: the worker's notifications alone end the loop.
  auto started = std::chrono::steady_clock::now();
  dialog_->RunInstallation();
  dialog_->WaitForWorkerEnd();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_EQ(dialog_->State(), WizardState::Success);
  EXPECT_EQ(ReadFileBytes(root_ / "target/a.txt"), "new a");
  EXPECT_EQ(ReadFileBytes(root_ / "home/.Tarn/tarnlaunch/tarnlaunch.cfg"),
            "ConfigurationTemplatesLocation=" + (root_ / "target") + "\n");
}

TEST_F(WizardWindowTest, BackShowsTheSameWelcomeAndNextTheProposalAgain) {
  StartWizard();
  U16String proposal = dialog_->Context().targetDirectory;
  std::string welcome = LabelText(dialog_->WelcomePage()->TextLabel());
  MessagePage* page = dialog_->WelcomePage();
  dialog_->OnNextClicked();
  EXPECT_EQ(dialog_->DestinationPage()->GetDirectory(), proposal);
  dialog_->DestinationPage()->SetDirectory(u"/somewhere/else");
  dialog_->OnBackClicked();
  EXPECT_EQ(dialog_->State(), WizardState::Welcome);
  EXPECT_EQ(dialog_->WelcomePage(), page);
  EXPECT_EQ(dialog_->CurrentPage(), page);
  EXPECT_EQ(LabelText(page->TextLabel()), welcome);
  EXPECT_FALSE(gtk_widget_get_sensitive(dialog_->BackButton()));
  dialog_->OnBackClicked();  // nothing in Welcome
  EXPECT_EQ(dialog_->State(), WizardState::Welcome);
  dialog_->OnNextClicked();
  EXPECT_EQ(dialog_->DestinationPage()->GetDirectory(), proposal);
}

TEST_F(WizardWindowTest, EmptyDirectoryIsRefusedWithAPlainBox) {
  StartWizard();
  dialog_->OnNextClicked();
  dialog_->DestinationPage()->SetDirectory(u"");
  BoxAnswerer answerer(GTK_RESPONSE_OK);
  dialog_->OnNextClicked();
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].text, Text("IDS_SETUP_EMPTYTARGET"));
  EXPECT_EQ(answerer.seen()[0].title, Text("IDR_MAINFRAME"));
  EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_OTHER);
  EXPECT_TRUE(answerer.seen()[0].hasOk);
  EXPECT_EQ(dialog_->State(), WizardState::Destination);
  EXPECT_EQ(dialog_->CurrentPage(), dialog_->DestinationPage());
}

TEST_F(WizardWindowTest, TypedDirectoryIsUsedWithSlashesAndBlanksKept) {
  struct Case {
    std::string typed;      // relative to the kit folder, the working directory
    std::string installed;  // where a.txt must land
  } cases[] = {
      {"back\\slashed\\dir", "back/slashed/dir/a.txt"},
      {"   ", "   /a.txt"},
  };
  for (const Case& c : cases) {
    StartWizard({kEnglish}, {{"a.txt", "new a"}});
    InstallInto(c.typed);
    EXPECT_EQ(dialog_->State(), WizardState::Success) << c.typed;
    EXPECT_TRUE(FileExists(root_ / ("kit/" + c.installed))) << c.typed;
    dialog_->WaitForWorkerEnd();
    dialog_.reset();
  }
}

TEST_F(WizardWindowTest, EscapeAsksBeforeClosingOnEveryPageButCopying) {
  enum class Page { Welcome, Destination, Success, Error };
  struct Case {
    Page page;
    int answer;
    bool closes;
  } cases[] = {
      {Page::Welcome, GTK_RESPONSE_NO, false},
      {Page::Welcome, GTK_RESPONSE_YES, true},
      {Page::Destination, GTK_RESPONSE_NO, false},
      {Page::Destination, GTK_RESPONSE_YES, true},
      {Page::Welcome, GTK_RESPONSE_DELETE_EVENT, false},
      {Page::Success, GTK_RESPONSE_NO, false},
      {Page::Success, GTK_RESPONSE_YES, true},
      {Page::Error, GTK_RESPONSE_YES, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.page) * 100 + c.answer);
    if (c.page == Page::Error) {
      StartWizard({kEnglish}, {{"sub\\c.txt", "c"}});
      MakeDirs(root_ / "target");
      WriteFileBytes(root_ / "target/sub", "a file");
    } else {
      StartWizard();
    }
    if (c.page != Page::Welcome) dialog_->OnNextClicked();
    if (c.page == Page::Success || c.page == Page::Error) {
      BoxAnswerer errorBox(GTK_RESPONSE_OK);
      dialog_->DestinationPage()->SetDirectory(U16(root_ / "target"));
      dialog_->OnNextClicked();
    }
    WizardState state = dialog_->State();
    WizardDialogPage* page = dialog_->CurrentPage();
    BoxAnswerer answerer(c.answer);
    EXPECT_TRUE(PressKey(dialog_->Window(), GDK_Escape));
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].text, Text("IDS_ACCEPT_CANCEL"));
    EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_QUESTION);
    EXPECT_TRUE(answerer.seen()[0].hasYes && answerer.seen()[0].hasNo);
    EXPECT_EQ(dialog_->Window() == nullptr, c.closes);
    if (!c.closes) {
      EXPECT_EQ(dialog_->State(), state);
      EXPECT_EQ(dialog_->CurrentPage(), page);
    }
    dialog_->WaitForWorkerEnd();
    dialog_.reset();
  }
}

// A cancel whose rollback cannot put an original back: its directory was
// made immutable after the original went into the backup. The wizard says
// where the original is kept, in a box of its own, and shows the error page.
TEST_F(WizardWindowTest, AnOriginalThatCannotGoBackIsShownWhereItIsKept) {
  if (geteuid() != 0) GTEST_SKIP() << "chattr +i needs root";
  const std::string locked = root_ / "target/d1000";
  MakeDirs(locked);
  if (Shell("chattr +i '" + locked + "' 2>/dev/null") != 0 ||
      Shell("chattr -i '" + locked + "'") != 0)
    GTEST_SKIP() << "this file system has no immutable attribute";
  WriteFileBytes(locked + "/f.txt", "old");
  SetMTime(locked + "/f.txt", kOldSeconds);
  StartWizard({kEnglish}, SlowKitFiles());
  // The first entry replaces the original; then the directory is locked and
  // the copying cancelled.
  WhenInLoop during([&] { return ReadFileBytes(locked + "/f.txt") == "file 0"; },
                    [&] {
                      Shell("chattr +i '" + locked + "'");
                      gtk_button_clicked(GTK_BUTTON(dialog_->CancelButton()));
                    });
  BoxAnswerer answerer(GTK_RESPONSE_OK);
  InstallInto(root_ / "target");
  Shell("chattr -i '" + locked + "'");
  ASSERT_TRUE(during.done());
  uint32_t result = 0;
  ASSERT_TRUE(dialog_->Worker().HasEnded(&result));
  EXPECT_EQ(result, 1223u) << "the copying ended before the cancel";
  const std::string kept = Utf8(dialog_->Worker().KeptBackupDirectory());
  EXPECT_EQ(ReadFileBytes(kept + "d1000/f.txt"), "old");
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].text, Text("IDS_RESTORE_KEPTFILES") + " " + kept);
  EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_ERROR);
  EXPECT_EQ(dialog_->State(), WizardState::Error);
  EXPECT_EQ(dialog_->CurrentPage(), dialog_->ErrorPage());
}

TEST_F(WizardWindowTest, OtherKeysArePassedOn) {
  StartWizard();
  GdkEventKey key{};
  key.keyval = GDK_Return;
  EXPECT_FALSE(dialog_->OnKeyPress(&key));
  key.keyval = GDK_a;
  EXPECT_FALSE(dialog_->OnKeyPress(&key));
  EXPECT_EQ(dialog_->State(), WizardState::Welcome);
}

TEST_F(WizardWindowTest, CancelDuringCopyingAsksNothingAndRestoresTheDirectory) {
  enum class Trigger { CancelButton, Escape, CloseRequest };
  for (Trigger trigger : {Trigger::CancelButton, Trigger::Escape, Trigger::CloseRequest}) {
    SCOPED_TRACE(static_cast<int>(trigger));
    StartWizard({kEnglish}, SlowKitFiles());
    MakeDirs(root_ / "target/d1100");
    WriteFileBytes(root_ / "target/d1100/f.txt", "old");
    SetMTime(root_ / "target/d1100/f.txt", kOldSeconds);
    TreeSnapshot before = TakeSnapshot(root_ / "target");
    bool consumed = false;
    WhenInLoop during([&] { return dialog_->State() == WizardState::Copying; },
                      [&] {
                        if (trigger == Trigger::CancelButton)
                          gtk_button_clicked(GTK_BUTTON(dialog_->CancelButton()));
                        else if (trigger == Trigger::Escape)
                          consumed = PressKey(dialog_->Window(), GDK_Escape);
                        else
                          consumed = RequestClose(dialog_->Window());
                      });
    BoxAnswerer answerer(GTK_RESPONSE_YES);
    InstallInto(root_ / "target");
    ASSERT_TRUE(during.done());
    if (trigger != Trigger::CancelButton) {
      EXPECT_TRUE(consumed);
    }
    EXPECT_TRUE(answerer.seen().empty()) << answerer.seen()[0].text;
    ASSERT_NE(dialog_->Window(), nullptr);
    EXPECT_EQ(dialog_->State(), WizardState::Error);
    EXPECT_EQ(dialog_->CurrentPage(), dialog_->ErrorPage());
    // The loop left only after the worker's end, so the rollback is done.
    uint32_t result = 0;
    EXPECT_TRUE(dialog_->Worker().HasEnded(&result));
    EXPECT_EQ(result, 1223u);
    EXPECT_EQ(TakeSnapshot(root_ / "target"), before);
    EXPECT_EQ(CountEntriesStartingWith(root_ / "tmp", "brstp"), 0);
    dialog_.reset();
  }
}

TEST_F(WizardWindowTest, CloseRequestOutsideCopyingDestroysTheWindow) {
  StartWizard();
  BoxAnswerer answerer(GTK_RESPONSE_NO);
  EXPECT_FALSE(RequestClose(dialog_->Window()));
  EXPECT_EQ(dialog_->Window(), nullptr);
  EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(WizardWindowTest, WelcomeTextNamesProductAndVendorOrTheDefaults) {
  const std::string title = Text("IDS_WELCOME_TITLE");
  const std::string defaults = " " + Text("IDS_DEFPRODUCT") + " (" + Text("IDS_DEFPROVIDER") + ").";
  struct Case {
    std::vector<KitDescription> descriptions;
    std::string expected;
  } cases[] = {
      {{kEnglish}, title + " Demo Templates (Example Vendor)."},
      {{}, title + defaults},
      {{{u"ru", u"P", u"V", u""}}, title + defaults},
      {{{u"EN", u"Product", u"", u""}}, title + " Product (" + Text("IDS_DEFPROVIDER") + ")."},
  };
  for (const Case& c : cases) {
    StartWizard(c.descriptions, {{"a.txt", "a"}});
    EXPECT_EQ(LabelText(dialog_->WelcomePage()->TextLabel()), c.expected);
    dialog_.reset();
  }
}

TEST_F(WizardWindowTest, MessageBoxKindsAndAnswers) {
  StartWizard();
  struct Case {
    uint32_t kind;
    int response;
    GtkMessageType type;
    bool yesNo;
    int answer;
  } cases[] = {
      {kMessageErrorOk, GTK_RESPONSE_OK, GTK_MESSAGE_ERROR, false, kAnswerOk},
      {kMessageQuestionYesNo, GTK_RESPONSE_YES, GTK_MESSAGE_QUESTION, true, kAnswerYes},
      {kMessageQuestionYesNo, GTK_RESPONSE_NO, GTK_MESSAGE_QUESTION, true, kAnswerNo},
      {kMessageQuestionYesNo, GTK_RESPONSE_DELETE_EVENT, GTK_MESSAGE_QUESTION, true, kAnswerNone},
      {kMessagePlainOk, GTK_RESPONSE_OK, GTK_MESSAGE_OTHER, false, kAnswerOk},
      {kMessagePlainOk, GTK_RESPONSE_DELETE_EVENT, GTK_MESSAGE_OTHER, false, kAnswerNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    BoxAnswerer answerer(c.response);
    EXPECT_EQ(dialog_->ShowMessage(u"100% sure %s %d", c.kind), c.answer);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].text, "100% sure %s %d");
    EXPECT_EQ(answerer.seen()[0].title, Text("IDR_MAINFRAME"));
    EXPECT_EQ(answerer.seen()[0].type, c.type);
    EXPECT_EQ(answerer.seen()[0].hasYes, c.yesNo);
    EXPECT_EQ(answerer.seen()[0].hasOk, !c.yesNo);
  }
}

TEST_F(WizardWindowTest, FolderChooserReplacesTheEntryOnlyWhenAccepted) {
  StartWizard();
  dialog_->OnNextClicked();
  DirSelectPage* page = dialog_->DestinationPage();
  MakeDirs(root_ / "chosen");
  // GLib keeps the first HOME it saw for the whole process; after an earlier
  // test in this process that folder is gone, and the chooser complains.
  std::string glibHome = g_get_home_dir();
  bool madeHome = !FileExists(glibHome);
  if (madeHome) MakeDirs(glibHome);
  page->SetDirectory(u"typed by hand");
  {
    BoxAnswerer answerer(GTK_RESPONSE_CANCEL);
    gtk_button_clicked(GTK_BUTTON(page->BrowseButton()));
    ASSERT_FALSE(answerer.seen().empty());
    EXPECT_TRUE(answerer.seen().back().chooser);
  }
  EXPECT_EQ(page->GetDirectory(), u"typed by hand");
  {
    BoxAnswerer answerer(GTK_RESPONSE_DELETE_EVENT);
    page->Browse();
  }
  EXPECT_EQ(page->GetDirectory(), u"typed by hand");
  {
    std::string chosen = root_ / "chosen";
    BoxAnswerer answerer(GTK_RESPONSE_ACCEPT, [&](GtkWidget* chooser) {
      gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), chosen.c_str());
      // The chooser reads the folder in the background.
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (std::chrono::steady_clock::now() < deadline) {
        gchar* now = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        bool there = now && chosen == now;
        g_free(now);
        if (there) break;
        gtk_main_iteration_do(FALSE);
        g_usleep(2000);
      }
    });
    page->Browse();
    EXPECT_EQ(Utf8(page->GetDirectory()), chosen);
    for (const auto& seen : answerer.seen()) EXPECT_TRUE(seen.chooser) << seen.text;
  }
  if (madeHome) Shell("rm -rf '" + glibHome + "'");
}

TEST_F(WizardWindowTest, FinishOpensTheDescriptionWhenWantedAndPresent) {
  // A stand-in for the desktop's opener records what it is asked to open.
  std::string opened = root_ / "opened.log";
  MakeDirs(root_ / "bin");
  WriteFileBytes(root_ / "bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened + "'\n");
  Shell("chmod +x '" + (root_ / "bin/xdg-open") + "'");
  std::string path = std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
  ScopedEnv withOpener("PATH", ((root_ / "bin") + ":" + path).c_str());

  struct Case {
    std::string target;
    U16String link;
    bool clearBox;
    bool opens;
  } cases[] = {
      {root_ / "t1", u"docs\\about.html", false, true},
      {root_ / "t1/", u"\\docs\\about.html", false, true},
      {root_ / "t1", u"docs\\about.html", true, false},
      {root_ / "t1", u"docs\\missing.html", false, false},
      {root_ / "t1", u"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + " " + Utf8(c.link));
    std::remove(opened.c_str());
    StartWizard({{u"en", u"P", u"V", c.link}}, {{"a.txt", "a"}, {"docs\\about.html", "<html/>"}});
    InstallInto(c.target);
    ASSERT_EQ(dialog_->State(), WizardState::Success);
    if (c.clearBox)
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_->SuccessPage()->CheckBox()), FALSE);
    dialog_->OnNextClicked();
    EXPECT_EQ(dialog_->Window(), nullptr);
    EXPECT_EQ(FileExists(opened) ? ReadFileBytes(opened) : "",
              c.opens ? (root_ / "t1/docs/about.html") + "\n" : "");
    dialog_->WaitForWorkerEnd();
    dialog_.reset();
  }
}

}  // namespace
