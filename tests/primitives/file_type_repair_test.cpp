#include "primitives/file_type_repair.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "sim/sim_control.h"

namespace {

// How every default value of this program is written: the text, then zero
// bytes up to 260. The 9x line keeps a text only up to its NUL.
std::string Written(const std::string& text) {
  if (sim::CurrentLine() == sim::Line::Win9x) return text + '\0';
  return text + std::string(260 - text.size(), '\0');
}

std::string Default(const std::string& key) {
  return sim::ValueData(HKEY_CLASSES_ROOT, key, "");
}

class FileTypeRepairTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ("", sim::ConsoleOutput());
  }
};

TEST_P(FileTypeRepairTest, ExtensionGetsTheFirstTypeThatExists) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".arj", "", "wormtype");
  sim::CreateKey(HKEY_CLASSES_ROOT, "winzip");

  RepairAssociation(".arj;", "archivefile;winzip;", "wormtype");

  EXPECT_EQ(Written("winzip"), Default(".arj"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, "archivefile"));
}

// A file type is only looked up, so one that the user may read but not
// change (an administrator's key on NT) is still found.
TEST_P(FileTypeRepairTest, TypeTheUserCannotChangeIsStillFound) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".zip", "", "wormtype");
  sim::MakeKeyReadOnlyForUser(HKEY_CLASSES_ROOT, "winzip");

  RepairAssociation(".zip;", "winzip;", "wormtype");

  EXPECT_EQ(Written("winzip"), Default(".zip"));
}

TEST_P(FileTypeRepairTest, EarlierTypeIsPreferred) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpg", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpeg", "", "wormtype");
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  sim::CreateKey(HKEY_CLASSES_ROOT, "pjpegfile");

  RepairAssociation(".jpg;.jpeg;.jpe;", "jpegfile;pjpegfile;", "wormtype");

  EXPECT_EQ(Written("jpegfile"), Default(".jpg"));
  EXPECT_EQ(Written("jpegfile"), Default(".jpeg"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, ".jpe"));
}

TEST_P(FileTypeRepairTest, WithoutAnyTypeTheExtensionsAreEmptied) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".mpg", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".mp2", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".mp", "", "untouched");
  std::string mp = Default(".mp");

  RepairAssociation(".mpg;.mpeg;.mp2;", "mpegfile;", "wormtype");

  EXPECT_EQ(Written(""), Default(".mpg"));
  EXPECT_EQ(Written(""), Default(".mp2"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, ".mpeg"));
  EXPECT_EQ(mp, Default(".mp"));
}

TEST_P(FileTypeRepairTest, EmptyListsChangeNothing) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".arj", "", "wormtype");
  sim::CreateKey(HKEY_CLASSES_ROOT, "winzip");
  std::string before = sim::RegistryDump();

  RepairAssociation("", "winzip;", "wormtype");
  RepairAssociation(";;", "winzip;", "wormtype");

  EXPECT_EQ(before, sim::RegistryDump());
  EXPECT_EQ(0, sim::CallCount("RegSetValueExA"));
}

TEST_P(FileTypeRepairTest, EmptyTypeItemIsNotTakenForTheRoot) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".arj", "", "wormtype");

  RepairAssociation(".arj;", ";", "wormtype");

  EXPECT_EQ(Written(""), Default(".arj"));
}

TEST_P(FileTypeRepairTest, ExtensionItemsOfMoreThanSevenCharactersAreSkipped) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".abcdef", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".abcdefg", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".abcdefg.x", "", "wormtype");
  sim::CreateKey(HKEY_CLASSES_ROOT, "goodtype");

  RepairAssociation(".abcdefg.x;.abcdefg;.abcdef;", "goodtype;", "wormtype");

  EXPECT_EQ(Written("goodtype"), Default(".abcdef"));
  EXPECT_EQ("wormtype", Default(".abcdefg").substr(0, 8));
  EXPECT_EQ("wormtype", Default(".abcdefg.x").substr(0, 8));
}

TEST_P(FileTypeRepairTest, LastItemWithoutItsSemicolonStillCounts) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".arj", "", "wormtype");
  sim::CreateKey(HKEY_CLASSES_ROOT, "winzip");

  RepairAssociation(".arj", "archivefile;winzip", "wormtype");

  EXPECT_EQ(Written("winzip"), Default(".arj"));
}

TEST_P(FileTypeRepairTest, ExtensionThatCannotBeOpenedIsPassedOver) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpg", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpeg", "", "wormtype");
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  // The type's open is the first, the first extension's the second.
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 2);

  RepairAssociation(".jpg;.jpeg;", "jpegfile;", "wormtype");

  EXPECT_EQ("wormtype", Default(".jpg").substr(0, 8));
  EXPECT_EQ(Written("jpegfile"), Default(".jpeg"));
}

// Only what the worm took over is given back: an extension linked
// elsewhere, by another program or the user, keeps its link.
TEST_P(FileTypeRepairTest, OnlyExtensionsTakenByTheWormTypeChange) {
  struct Case {
    const char* extension;
    std::string before;
    DWORD type;
    bool taken;
  } cases[] = {
      {".zip", "wormtype", REG_SZ, true},
      {".rar", "WormType", REG_SZ, true},
      {".arj", "WORMTYPE", REG_EXPAND_SZ, true},
      {".lzh", std::string("wormtype\0", 9), REG_SZ, true},
      {".cab", "CompressedFolder", REG_SZ, false},
      {".ace", "", REG_SZ, false},
      {".tar", "wormtypes", REG_SZ, false},
      {".tgz", "wormtyp", REG_SZ, false},
      {".gz", std::string("wormtype\0", 9), REG_BINARY, false},
  };
  sim::CreateKey(HKEY_CLASSES_ROOT, "archiver");
  std::string extensions;
  for (const Case& c : cases) {
    sim::SetRawValue(HKEY_CLASSES_ROOT, c.extension, "", c.type, c.before);
    extensions += std::string(c.extension) + ";";
    EXPECT_EQ(c.taken, HoldsOnlyTheLink(c.extension, "wormtype"))
        << c.extension;
  }
  sim::CreateKey(HKEY_CLASSES_ROOT, ".none");
  EXPECT_FALSE(HoldsOnlyTheLink(".none", "wormtype"));
  EXPECT_FALSE(HoldsOnlyTheLink(".missing", "wormtype"));
  EXPECT_FALSE(HoldsOnlyTheLink("", ""));

  RepairAssociation(extensions.c_str(), "archiver;", "wormtype");

  for (const Case& c : cases) {
    EXPECT_EQ(c.taken ? Written("archiver") : c.before, Default(c.extension))
        << c.extension;
  }
  EXPECT_FALSE(sim::ValueExists(HKEY_CLASSES_ROOT, ".none", ""));
}

TEST_P(FileTypeRepairTest, ClearTypeDefaultEmptiesATakenKeyOnly) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".wmf", "", "wormtype");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".wmf", "other", "kept");

  sim::SetStringValue(HKEY_CLASSES_ROOT, ".emf", "", "emffile");
  std::string emf = Default(".emf");

  ClearTypeDefault(".wmf", "wormtype");
  ClearTypeDefault(".vqf", "wormtype");
  ClearTypeDefault(".emf", "wormtype");

  EXPECT_EQ(Written(""), Default(".wmf"));
  EXPECT_EQ("kept",
            sim::ValueData(HKEY_CLASSES_ROOT, ".wmf", "other").substr(0, 4));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, ".vqf"));
  EXPECT_EQ(emf, Default(".emf"));

  std::string before = sim::RegistryDump();
  ClearTypeDefault("", "wormtype");
  EXPECT_EQ(before, sim::RegistryDump());
}

TEST_P(FileTypeRepairTest, ResetOpenCommandWritesAndCloses) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "",
                      "worm.exe \"%1\" %*");
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, 0,
                          KEY_READ | KEY_WRITE, &key));

  ResetOpenCommand(key);

  EXPECT_EQ(Written("\"%1\" %*"), Default(kExecutableOpenCommandKey));
}

// What the command is read back as tells whether it can be trusted: a
// failed read is no command, whatever the buffer held before.
TEST_P(FileTypeRepairTest, ReadingTheCommandTellsWhetherItWasRead) {
  struct Case {
    const char* name;
    bool planted;
    const char* failingCall;
    bool read;
    const char* command;
  };
  const Case cases[] = {
      {"written", true, nullptr, true, "\"%1\" %*"},
      {"no key", false, nullptr, false, ""},
      {"unreadable", true, "RegQueryValueExA", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Reset(GetParam());
    if (c.planted) {
      sim::SetStringValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "",
                          "worm.exe \"%1\" %*");
    }
    if (c.failingCall != nullptr) {
      // The read after the write, when the key opens for the write.
      sim::FailCall(c.failingCall, ERROR_ACCESS_DENIED, 1, true);
    }
    PathBuffer command = "junk";
    EXPECT_EQ(c.read, RestoreOpenCommand(command));
    EXPECT_STREQ(c.command, command);
    strcpy(command, "junk");
    EXPECT_EQ(c.read, ReadOpenCommand(command));
    EXPECT_STREQ(c.command, command);
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, FileTypeRepairTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
