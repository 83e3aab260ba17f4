#include "cleaners/cleaners.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/run_state.h"
#include "report/texts.h"
#include "sim/sim_control.h"
#include "support/host/worm_scene.h"

namespace {

std::string DefaultText(const std::string& path) {
  std::string data = sim::ValueData(HKEY_CLASSES_ROOT, path, "");
  return data.substr(0, data.find('\0'));
}

class BleBlaCleanerTest : public ::testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(0, sim::OpenHandleCount());
  }
  RunState run_ = {true, false};
};

TEST_P(BleBlaCleanerTest, AbsentWormChangesNothingAndPrintsNothing) {
  // Everything the worm leaves but its mark.
  for (const char* extension : scene::kBleBlaExtensions) {
    sim::SetStringValue(HKEY_CLASSES_ROOT, extension, "", "rnjfile");
  }
  sim::SetStringValue(HKEY_CLASSES_ROOT, "jpegfile", "", "JPEG Image");
  sim::PutFile(scene::kBleBlaFile, "MZ worm");
  std::string registryBefore = sim::RegistryDump();
  std::string filesBefore = sim::FileSystemDump();

  CleanBleBla(run_);

  EXPECT_EQ("", sim::ConsoleOutput());
  EXPECT_EQ(registryBefore, sim::RegistryDump());
  EXPECT_EQ(filesBefore, sim::FileSystemDump());
  EXPECT_TRUE(run_.NothingToClean);
  EXPECT_FALSE(run_.RestartNeeded);
}

TEST_P(BleBlaCleanerTest, RemovesFileTypeWithItsCommandSubkeyAndWormFile) {
  scene::PlantBleBla();

  CleanBleBla(run_);

  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, "rnjfile"));
  EXPECT_FALSE(sim::FileExists(scene::kBleBlaFile));
  EXPECT_EQ(std::string(kBleBlaResult) + kDownloadAdvice, sim::ConsoleOutput());
  EXPECT_FALSE(run_.NothingToClean);
  EXPECT_FALSE(run_.RestartNeeded);
}

struct LinkCase {
  const char* extension;
  const char* expectedType;
};

TEST_P(BleBlaCleanerTest, LinksExtensionsToTypesPresentAndClearsTheRest) {
  // The system has only some of the candidate types, and lacks two of the
  // extensions.
  scene::PlantBleBla({".mpeg", ".lha"});
  for (const char* type : {"jpegfile", "Paint.Picture", "giffile",
                           "wordpad.document.1", "winzip", "regfile"}) {
    sim::CreateKey(HKEY_CLASSES_ROOT, type);
  }

  CleanBleBla(run_);

  const LinkCase cases[] = {
      {".jpg", "jpegfile"}, {".jpeg", "jpegfile"},
      {".jpe", "jpegfile"}, {".bmp", "Paint.Picture"},
      {".gif", "giffile"},  {".avi", ""},
      {".mpg", ""},         {".mp2", ""},
      {".wmf", ""},         {".wma", ""},
      {".wmv", ""},         {".mp3", ""},
      {".vqf", ""},         {".doc", "wordpad.document.1"},
      {".xls", ""},         {".zip", "winzip"},
      {".rar", ""},         {".arj", "winzip"},
      {".reg", "regfile"},
  };
  for (const LinkCase& c : cases) {
    EXPECT_EQ(c.expectedType, DefaultText(c.extension)) << c.extension;
  }
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, ".mpeg"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, ".lha"));
}

TEST_P(BleBlaCleanerTest, PrefersTheFirstCandidateWhenAllArePresent) {
  scene::PlantBleBla();
  for (const char* type :
       {"jpegfile", "Paint.Picture", "giffile", "avifile", "mpegfile",
        "wmafile", "wmvfile", "mp3file", "word.document.8",
        "wordpad.document.1", "excel.sheet.8", "winzip", "winrar",
        "archivefile", "regfile"}) {
    sim::CreateKey(HKEY_CLASSES_ROOT, type);
  }

  CleanBleBla(run_);

  const LinkCase cases[] = {
      {".jpg", "jpegfile"},        {".jpeg", "jpegfile"},
      {".jpe", "jpegfile"},        {".bmp", "Paint.Picture"},
      {".gif", "giffile"},         {".avi", "avifile"},
      {".mpg", "mpegfile"},        {".mpeg", "mpegfile"},
      {".mp2", "mpegfile"},        {".wmf", ""},
      {".wma", "wmafile"},         {".wmv", "wmvfile"},
      {".mp3", "mp3file"},         {".vqf", ""},
      {".doc", "word.document.8"}, {".xls", "excel.sheet.8"},
      {".zip", "winzip"},          {".rar", "winrar"},
      {".arj", "archivefile"},     {".reg", "regfile"},
  };
  for (const LinkCase& c : cases) {
    EXPECT_EQ(c.expectedType, DefaultText(c.extension)) << c.extension;
  }
}

// An extension linked elsewhere (a Windows XP .zip, an archiver's .lha) is
// not the worm's: it keeps its link, its subkeys and its key.
TEST_P(BleBlaCleanerTest, ExtensionsTheWormDidNotTakeKeepTheirLinks) {
  scene::PlantBleBla({".zip", ".lha"});
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".zip", "", "CompressedFolder");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".lha", "", "Archiver.lha");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".lha\\ShellNew", "NullFile", "");
  sim::CreateKey(HKEY_CLASSES_ROOT, "winzip");

  CleanBleBla(run_);

  EXPECT_EQ("CompressedFolder", DefaultText(".zip"));
  EXPECT_EQ("Archiver.lha", DefaultText(".lha"));
  EXPECT_TRUE(
      sim::ValueExists(HKEY_CLASSES_ROOT, ".lha\\ShellNew", "NullFile"));
  EXPECT_EQ("winzip", DefaultText(".arj"));
}

// .lha goes only when the worm's link is all it holds: what another program
// keeps there stays, on both lines, and only the link is cleared.
TEST_P(BleBlaCleanerTest, LhaIsDeletedOnlyWhenTheLinkIsAllItHolds) {
  struct Case {
    const char* otherKey;  // NULL: the link alone
    const char* otherValue;
  } cases[] = {
      {NULL, NULL}, {".lha", "Content Type"}, {".lha\\ShellNew", "NullFile"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.otherKey != NULL ? c.otherKey : "the link alone");
    SetUp();
    sim::CreateKey(HKEY_CLASSES_ROOT, "rnjfile");
    sim::SetStringValue(HKEY_CLASSES_ROOT, ".lha", "", "rnjfile");
    if (c.otherKey != NULL) {
      sim::SetStringValue(HKEY_CLASSES_ROOT, c.otherKey, c.otherValue, "kept");
    }

    CleanBleBla(run_);

    EXPECT_EQ(c.otherKey != NULL, sim::KeyExists(HKEY_CLASSES_ROOT, ".lha"));
    if (c.otherKey != NULL) {
      EXPECT_EQ("", DefaultText(".lha"));
      EXPECT_TRUE(
          sim::ValueExists(HKEY_CLASSES_ROOT, c.otherKey, c.otherValue));
    }
  }
}

TEST_P(BleBlaCleanerTest, MissingWormFileGetsTheCleanersOwnText) {
  sim::CreateKey(HKEY_CLASSES_ROOT, "rnjfile\\shell\\open\\command");

  CleanBleBla(run_);

  EXPECT_EQ(scene::CannotDeleteText("c:\\windows\\sysrnj.exe") + kBleBlaResult +
                kDownloadAdvice,
            sim::ConsoleOutput());
  EXPECT_FALSE(run_.RestartNeeded);
  EXPECT_FALSE(run_.NothingToClean);
}

TEST_P(BleBlaCleanerTest, LockedWormFileIsDeferredWithoutRestartAdvice) {
  scene::PlantBleBla();
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  CleanBleBla(run_);

  EXPECT_EQ(std::string(kBleBlaResult) + kDownloadAdvice, sim::ConsoleOutput());
  EXPECT_TRUE(run_.RestartNeeded);
  EXPECT_FALSE(run_.NothingToClean);
  EXPECT_TRUE(sim::FileExists(scene::kBleBlaFile));
  if (GetParam() == sim::Line::Nt) {
    ASSERT_EQ(1u, sim::BootTimeMoves().size());
    EXPECT_EQ("c:\\windows\\sysrnj.exe", sim::BootTimeMoves()[0].first);
    EXPECT_EQ("", sim::BootTimeMoves()[0].second);
  }

  sim::Restart();

  EXPECT_FALSE(sim::FileExists(scene::kBleBlaFile));
}

INSTANTIATE_TEST_SUITE_P(BothLines, BleBlaCleanerTest,
                         ::testing::Values(sim::Line::Nt, sim::Line::Win9x),
                         [](const ::testing::TestParamInfo<sim::Line>& info) {
                           return std::string(
                               info.param == sim::Line::Nt ? "Nt" : "Win9x");
                         });

}  // namespace
