// The users who are not logged on: their registries loaded for the cleaning
// and unloaded before the closing report, on every way out.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;

string WithPath(const char* format, const string& path) {
  string text = format;
  text.replace(text.find("%s"), 2, path);
  return text;
}

string NotReachedText(const string& folder) {
  return WithPath(kProfileNotReachedFormat, folder);
}

string LeftLoadedText(const string& folder) {
  return WithPath(kProfileLeftLoadedFormat, folder);
}

int RunWithKey() {
  sim::QueueInput(KeyRecord(true, VK_RETURN, '\r'));
  return CleaningRun();
}

bool Contains(const string& text, const string& part) {
  return text.find(part) != string::npos;
}

class UserProfilesTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    user_ = scene::PlantAwayUser(GetParam());
    scene::UnloadAwayUser(user_);
    // The machine's mark: on the 9x line Sircam is known by it alone.
    scene::PlantSircamMarker();
  }

  bool Nt() const { return GetParam() == sim::Line::Nt; }

  scene::AwayUser user_;
};

TEST_P(UserProfilesTest, AUserWhoIsNotLoggedOnIsCleanedAndUnloaded) {
  ASSERT_FALSE(sim::KeyExists(HKEY_USERS, user_.name));

  EXPECT_EQ(0, RunWithKey());

  EXPECT_FALSE(sim::FileExists(user_.startupCopy));
  EXPECT_TRUE(sim::FileExists(user_.expandedFolder +
                              "\\Start Menu\\Programs\\Startup\\Office.lnk"));
  EXPECT_TRUE(sim::LoadedHives().empty());
  EXPECT_EQ(0, sim::OpenKeyCount());
  EXPECT_EQ(0, sim::OpenHandleCount());
  const string output = sim::ConsoleOutput();
  EXPECT_TRUE(Contains(output, kNavidadResultA));
  EXPECT_TRUE(Contains(output, kSircamResult));
  EXPECT_FALSE(Contains(output, " profile. \n"));

  ASSERT_TRUE(sim::LoadProfile(user_.name));
  EXPECT_FALSE(sim::KeyExists(HKEY_USERS,
                              user_.name + "\\" + scene::kAwayNavidadMarker));
  EXPECT_EQ(
      string("slow\0", 5),
      sim::ValueData(HKEY_USERS, user_.name + "\\Software\\Vendor", "Mode"));
  if (Nt()) {
    EXPECT_FALSE(sim::KeyExists(
        HKEY_USERS, scene::SircamVirtualMarkerKey(user_.name, false)));
  }
}

TEST_P(UserProfilesTest, AProfileThatCannotBeLoadedIsNamedAndNothingElseLost) {
  struct Case {
    const char* what;
    void (*spoil)(const scene::AwayUser& user);
  };
  const Case cases[] = {
      {"file missing",
       [](const scene::AwayUser& user) { DeleteFileA(user.hiveFile.c_str()); }},
      {"file damaged",
       [](const scene::AwayUser& user) {
         sim::PutFile(user.hiveFile, "not a hive");
       }},
      {"file in use",
       [](const scene::AwayUser& user) {
         CreateFileA(user.hiveFile.c_str(), GENERIC_READ, 0, NULL,
                     OPEN_EXISTING, 0, NULL);
       }},
      {"no privileges",
       [](const scene::AwayUser&) {
         sim::FailCall("AdjustTokenPrivileges", ERROR_ACCESS_DENIED, 1, true);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!Nt() && string(c.what) == "no privileges") continue;
    SetUp();
    scene::PlantNavidadMarker("Emanuel");
    c.spoil(user_);
    const string hiveBefore = sim::FileExists(user_.hiveFile)
                                  ? sim::FileContents(user_.hiveFile)
                                  : "(none)";

    EXPECT_EQ(0, RunWithKey());

    const string output = sim::ConsoleOutput();
    EXPECT_TRUE(Contains(output, NotReachedText(user_.expandedFolder)))
        << output;
    EXPECT_TRUE(Contains(output, kNavidadResultA));
    EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Emanuel"));
    EXPECT_TRUE(sim::FileExists(user_.startupCopy));
    EXPECT_EQ(hiveBefore, sim::FileExists(user_.hiveFile)
                              ? sim::FileContents(user_.hiveFile)
                              : "(none)");
    EXPECT_TRUE(sim::LoadedHives().empty());
    sim::ClearFailures();
  }
}

TEST_P(UserProfilesTest, TheStoppedRunLeavesNothingLoaded) {
  sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED, 1, true);
  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 1, true);
  sim::ClearCallLog();

  EXPECT_EQ(3, RunWithKey());

  EXPECT_LT(0, sim::CallCount("RegLoadKeyA"));
  EXPECT_TRUE(sim::LoadedHives().empty());
  EXPECT_EQ(0, sim::ControlHandlerCount());
}

TEST_P(UserProfilesTest, ALimitedAccountLoadsNothing) {
  if (!Nt()) GTEST_SKIP() << "the 9x line has no accounts";
  sim::SetAccount(sim::Account::User);

  EXPECT_EQ(5, RunWithKey());

  EXPECT_EQ(0, sim::CallCount("RegLoadKeyA"));
  EXPECT_TRUE(sim::LoadedHives().empty());
  EXPECT_TRUE(sim::FileExists(user_.startupCopy));
}

TEST_P(UserProfilesTest, LoggedOnServiceAndBackupProfilesAreNotLoaded) {
  ASSERT_TRUE(sim::LoadProfile(user_.name));
  const string list =
      Nt() ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
           : "Software\\Microsoft\\Windows\\CurrentVersion\\ProfileList\\";
  // Only the NT line names its profiles by SID.
  for (const char* name :
       {"S-1-5-18", "S-1-5-19", "S-1-5-20", "S-1-5-21-0-0-0-1003.bak"}) {
    if (!Nt()) break;
    sim::SetStringValue(HKEY_LOCAL_MACHINE, list + name, "ProfileImagePath",
                        "C:\\Elsewhere");
  }

  EXPECT_EQ(0, RunWithKey());

  EXPECT_EQ(0, sim::CallCount("RegLoadKeyA"));
  EXPECT_FALSE(sim::FileExists(user_.startupCopy));
  EXPECT_FALSE(Contains(sim::ConsoleOutput(), " profile. \n"));
}

// A scanner that opened a key of the user's registry as soon as it appeared,
// and keeps it open.
TEST_P(UserProfilesTest, ARegistryHeldOpenIsTriedAgainThenNamed) {
  sim::FailCall("RegUnLoadKeyA", ERROR_ACCESS_DENIED, 1, true);

  EXPECT_EQ(0, RunWithKey());

  const string output = sim::ConsoleOutput();
  EXPECT_TRUE(Contains(output, LeftLoadedText(user_.expandedFolder))) << output;
  EXPECT_LT(output.find(LeftLoadedText(user_.expandedFolder)),
            output.find(kClosingPrompt));
  EXPECT_LE(5, sim::CallCount("RegUnLoadKeyA"));
  EXPECT_LE(4, sim::CallCount("Sleep"));
  EXPECT_FALSE(sim::LoadedHives().empty());
}

TEST_P(UserProfilesTest, AKeyHeldForAMomentIsUnloadedOnTheNextTry) {
  sim::FailCall("RegUnLoadKeyA", ERROR_ACCESS_DENIED, 1);

  EXPECT_EQ(0, RunWithKey());

  EXPECT_TRUE(sim::LoadedHives().empty());
  EXPECT_EQ(1, sim::CallCount("Sleep"));
  EXPECT_FALSE(Contains(sim::ConsoleOutput(), " profile. \n"));
}

TEST_P(UserProfilesTest, CtrlBreakDuringTheCleaningUnloadsFirst) {
  for (DWORD event : {static_cast<DWORD>(CTRL_BREAK_EVENT),
                      static_cast<DWORD>(CTRL_CLOSE_EVENT)}) {
    SetUp();
    // While the Sircam cleaner works, with no key open.
    sim::ControlEventAtCall("GetSystemDirectoryA", 1, event);

    RunWithKey();

    EXPECT_TRUE(sim::EndedByControlEvent());
    EXPECT_TRUE(sim::LoadedHivesAtEnd().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, UserProfilesTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x),
                         [](const testing::TestParamInfo<sim::Line>& info) {
                           return info.param == sim::Line::Nt ? "Nt" : "Win9x";
                         });

// Windows 95 loads no hive by its long name: the short one is given.
TEST(UserProfiles9xTest, AProfileFolderWithALongNameIsLoadedByItsShortName) {
  sim::Reset(sim::Line::Win9x);
  scene::AwayUser user = scene::PlantAwayUser(
      sim::Line::Win9x, "away", "C:\\WINDOWS\\Profiles\\Away From Home");
  scene::UnloadAwayUser(user);
  scene::PlantSircamMarker();

  EXPECT_EQ(0, RunWithKey());

  EXPECT_FALSE(sim::FileExists(user.startupCopy));
  EXPECT_TRUE(sim::LoadedHives().empty());
}

// An NT profile folder written with a variable that does not expand (or
// expands past a path) is named as it is written.
TEST(UserProfilesNtTest, AFolderThatDoesNotExpandIsNamedAsWritten) {
  sim::Reset(sim::Line::Nt);
  scene::AwayUser user = scene::PlantAwayUser(
      sim::Line::Nt, "S-1-5-21-0-0-0-1004", "%Unknown%\\Away");
  scene::UnloadAwayUser(user);
  sim::FailCall("ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY);

  EXPECT_EQ(0, RunWithKey());

  EXPECT_TRUE(
      Contains(sim::ConsoleOutput(), NotReachedText("%Unknown%\\Away")));
  EXPECT_TRUE(sim::LoadedHives().empty());
}

}  // namespace
