// Reading what waits for the restart in the NT line's move list, in the forms
// other programs leave there.
#include "primitives/boot_schedule.h"

#include <string>

#include <gtest/gtest.h>

#include "sim/sim_control.h"

namespace {

using std::string;

const char kWorm[] = "C:\\WINNT\\worm.exe";
const char kSaved[] = "C:\\WINNT\\saved.exe";

string Pair(const string& source, const string& target) {
  return source + '\0' + target + '\0';
}

void SetMoveList(const char* value, const string& pairs) {
  sim::SetRawValue(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey, value,
                   REG_MULTI_SZ, pairs + '\0');
}

TEST(BootScheduleTest, FollowsAFileThroughTheMoveList) {
  const string kN = "\\??\\";
  struct Case {
    const char* what;
    const char* value;
    string pairs;
    bool present;  // whether the file is there now
    bool named, presentAfter, fromSaved;
  } cases[] = {
      {"nothing waits", sim::kMoveListValue, "", true, false, false, false},
      {"its deletion", sim::kMoveListValue, Pair(kN + kWorm, ""), true, true,
       false, false},
      {"its deletion, in other letters", sim::kMoveListValue,
       Pair(kN + "c:\\winnt\\WORM.EXE", ""), true, true, false, false},
      {"its deletion behind a prefix", sim::kMoveListValue,
       Pair("*1" + kN + kWorm, ""), true, true, false, false},
      {"its deletion in the second value", sim::kSecondMoveListValue,
       Pair(kN + kWorm, ""), true, true, false, false},
      {"a '?' for a character the code page lacks is no match",
       sim::kMoveListValue, Pair(kN + "C:\\WINNT\\w?rm.exe", ""), true, false,
       false, false},
      {"another file's deletion", sim::kMoveListValue,
       Pair(kN + "C:\\WINNT\\other.exe", ""), true, false, false, false},
      {"deleted, then the saved file renamed there", sim::kMoveListValue,
       Pair(kN + kWorm, "") + Pair(kN + kSaved, kN + kWorm), true, true, true,
       true},
      {"renamed there while it stays: the rename fails", sim::kMoveListValue,
       Pair(kN + kSaved, kN + kWorm), true, true, true, false},
      {"renamed there with '!': replaced", sim::kMoveListValue,
       Pair(kN + kSaved, "!" + kN + kWorm), true, true, true, true},
      {"renamed there, then deleted", sim::kMoveListValue,
       Pair(kN + kSaved, kN + kWorm) + Pair(kN + kWorm, ""), false, true, false,
       false},
      {"renamed away", sim::kMoveListValue,
       Pair(kN + kWorm, kN + "C:\\WINNT\\moved.exe"), true, true, false, false},
      {"a list cut short after a source", sim::kMoveListValue, kN + kWorm, true,
       false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(sim::Line::Nt);
    if (!c.pairs.empty()) SetMoveList(c.value, c.pairs);

    ScheduledFate fate =
        FollowSchedule(WindowsLine::Nt, kWorm, kSaved, c.present);

    EXPECT_EQ(c.named, fate.Named);
    EXPECT_EQ(c.presentAfter, fate.Present);
    EXPECT_EQ(c.fromSaved, fate.FromSource);
  }
}

// A 32-bit program on 64-bit Windows: its system directory is SysWOW64 to
// the native boot-time processor, and an entry naming the native System32
// names another file.
TEST(BootScheduleTest, SystemDirectoryAsTheNativeProcessorNamesIt) {
  const char kCopy[] = "C:\\WINNT\\system32\\SCam32.exe";
  struct Case {
    const char* what;
    bool wow64;
    const char* scheduled;
    bool named;
  } cases[] = {
      {"64-bit Windows, SysWOW64 named", true,
       "C:\\WINNT\\SysWOW64\\SCam32.exe", true},
      {"64-bit Windows, native System32 named", true,
       "C:\\WINNT\\System32\\SCam32.exe", false},
      {"32-bit Windows", false, "C:\\WINNT\\System32\\SCam32.exe", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(sim::Line::Nt);
    if (c.wow64) sim::MakeDirectory("C:\\WINNT\\SysWOW64");
    SetMoveList(sim::kMoveListValue, Pair(string("\\??\\") + c.scheduled, ""));

    EXPECT_EQ(c.named,
              FollowSchedule(WindowsLine::Nt, kCopy, NULL, true).Named);
  }
}

bool IsWorm(const char* name) { return string(name) == "worm.exe"; }

TEST(BootScheduleTest, AWaitingDeletionCountsWhileTheFileIsThere) {
  for (bool there : {true, false}) {
    SCOPED_TRACE(there);
    sim::Reset(sim::Line::Nt);
    if (there) sim::PutFile(kWorm, "MZ");
    sim::PutFile("C:\\WINNT\\other.exe", "MZ");
    SetMoveList(sim::kMoveListValue, Pair("\\??\\C:\\WINNT\\other.exe", "") +
                                         Pair(string("\\??\\") + kWorm, ""));

    EXPECT_EQ(there, ScheduledDeletionWaits(WindowsLine::Nt, IsWorm));
  }
}

// What cannot be read whole is no knowledge of what waits.
TEST(BootScheduleTest, AMoveListThatCannotBeReadNamesNothing) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile(kWorm, "MZ");
  SetMoveList(sim::kMoveListValue, Pair(string("\\??\\") + kWorm, ""));
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED, 1, true);

  EXPECT_FALSE(FollowSchedule(WindowsLine::Nt, kWorm, NULL, true).Named);
  EXPECT_FALSE(ScheduledDeletionWaits(WindowsLine::Nt, IsWorm));
  EXPECT_EQ(0, sim::OpenKeyCount());
}

}  // namespace
