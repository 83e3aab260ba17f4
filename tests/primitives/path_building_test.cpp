#include "primitives/path_building.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "sim/sim_control.h"

namespace {

class PathBuildingTest : public testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
};

// A result buffer full of junk, so that a missing terminator shows.
void Spoil(PathBuffer& buffer) { memset(buffer, '#', sizeof(buffer)); }

TEST_F(PathBuildingTest, JoinPathExamples) {
  struct Case {
    const char* base;
    const char* name;
    const char* joined;
  };
  const Case cases[] = {
      {"C:", "RECYCLED\\SirC32.exe", "C:\\RECYCLED\\SirC32.exe"},
      {"C:\\", "RECYCLED\\SirC32.exe", "C:\\RECYCLED\\SirC32.exe"},
      {"C:\\WINDOWS", "SCam32.exe", "C:\\WINDOWS\\SCam32.exe"},
      {"C:\\WINDOWS\\", "SCam32.exe", "C:\\WINDOWS\\SCam32.exe"},
      // Only a backslash counts as already there.
      {"C:/WINDOWS/", "SCam32.exe", "C:/WINDOWS/\\SCam32.exe"},
      {"", "RECYCLED\\SirC32.exe", "\\RECYCLED\\SirC32.exe"},
      {"C:\\WINDOWS", "", "C:\\WINDOWS\\"},
  };
  for (const Case& c : cases) {
    PathBuffer result;
    Spoil(result);
    EXPECT_TRUE(JoinPath(c.base, c.name, result)) << c.base;
    EXPECT_STREQ(c.joined, result) << c.base << " + " << c.name;
  }
}

TEST_F(PathBuildingTest, JoinPathExactFitAndOneOver) {
  std::string base = "C:\\" + std::string(200, 'd');
  std::string name(259 - base.size() - 1, 'n');
  PathBuffer result;
  ASSERT_TRUE(JoinPath(base.c_str(), name.c_str(), result));
  EXPECT_EQ(base + "\\" + name, result);
  EXPECT_EQ(259u, strlen(result));

  name += "n";
  Spoil(result);
  EXPECT_FALSE(JoinPath(base.c_str(), name.c_str(), result));
  EXPECT_STREQ("", result);

  // The same with a base that already ends in a backslash.
  std::string slashed = base + "\\";
  name = std::string(259 - slashed.size(), 'n');
  ASSERT_TRUE(JoinPath(slashed.c_str(), name.c_str(), result));
  EXPECT_EQ(259u, strlen(result));
  name += "n";
  EXPECT_FALSE(JoinPath(slashed.c_str(), name.c_str(), result));
  EXPECT_STREQ("", result);
}

TEST_F(PathBuildingTest, JoinPathRefusesInputsLongerThanABuffer) {
  std::string tooLong(400, 'x');
  PathBuffer result;
  EXPECT_FALSE(JoinPath(tooLong.c_str(), "a", result));
  EXPECT_STREQ("", result);
  EXPECT_FALSE(JoinPath("C:", tooLong.c_str(), result));
  EXPECT_STREQ("", result);
  EXPECT_FALSE(JoinPath("", std::string(259, 'x').c_str(), result));
}

TEST_F(PathBuildingTest, JoinPathIntoItsOwnBase) {
  PathBuffer path = "C:\\WINDOWS";
  ASSERT_TRUE(JoinPath(path, "SYSTEM", path));
  ASSERT_TRUE(JoinPath(path, "rundll32.exe", path));
  EXPECT_STREQ("C:\\WINDOWS\\SYSTEM\\rundll32.exe", path);
}

TEST_F(PathBuildingTest, JoinPathDoesNotTakeASecondByteForABackslash) {
  // Shift-JIS "\x95\x5C" is one character whose second byte is 0x5C.
  const char base[] = "C:\\\x95\x5C";
  PathBuffer result;
  sim::SetCodePage(932);
  ASSERT_TRUE(JoinPath(base, "x.exe", result));
  EXPECT_STREQ("C:\\\x95\x5C\\x.exe", result);
  ASSERT_TRUE(JoinPath("C:\\\x95\x5C\\", "x.exe", result));
  EXPECT_STREQ("C:\\\x95\x5C\\x.exe", result);

  // On a single-byte code page the same byte is a backslash.
  sim::SetCodePage(1252);
  ASSERT_TRUE(JoinPath(base, "x.exe", result));
  EXPECT_STREQ("C:\\\x95\x5Cx.exe", result);
}

TEST_F(PathBuildingTest, DriveOf) {
  struct Case {
    const char* path;
    const char* drive;
  };
  const Case cases[] = {
      {"C:\\WINDOWS", "C:"},
      {"c:", "c:"},
      {"D:relative\\file", "D:"},
      {"\\\\server\\share", ""},
      {"\\RECYCLED", ""},
      {"C", ""},
      {"", ""},
      {"CC:\\x", ""},
  };
  for (const Case& c : cases) {
    PathBuffer drive;
    Spoil(drive);
    DriveOf(c.path, drive);
    EXPECT_STREQ(c.drive, drive) << c.path;
  }
}

TEST_F(PathBuildingTest, DriveOfReadsDoubleByteCharactersWhole) {
  PathBuffer drive;
  sim::SetCodePage(932);
  // The colon is the second byte of the first character: no drive.
  DriveOf("\x81:\\x", drive);
  EXPECT_STREQ("", drive);
  // A lead byte at the very end stands alone.
  DriveOf("\x81", drive);
  EXPECT_STREQ("", drive);

  sim::SetCodePage(1252);
  DriveOf("\x81:\\x", drive);
  EXPECT_STREQ("\x81:", drive);
}

TEST_F(PathBuildingTest, WithExtensionExamples) {
  struct Case {
    const char* path;
    const char* ext;
    const char* result;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\SYSTEM\\winsvrc.exe", "vxd",
       "C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"},
      {"C:\\WINDOWS\\winsvrc", "vxd", "C:\\WINDOWS\\winsvrc.vxd"},
      {"C:\\A.B\\file", "vxd", "C:\\A.B\\file.vxd"},
      {"C:\\WINDOWS\\winsvrc.exe", ".vxd", "C:\\WINDOWS\\winsvrc.vxd"},
      {"C:\\WINDOWS\\winsvrc.exe", "", "C:\\WINDOWS\\winsvrc"},
      {"C:\\archive.tar.gz", "vxd", "C:\\archive.tar.vxd"},
      {"C:/WINDOWS/winsvrc.exe", "vxd", "C:/WINDOWS/winsvrc.vxd"},
      {"C:\\a.b/file", "vxd", "C:\\a.b/file.vxd"},
      {"\\\\server\\share\\w.exe", "vxd", "\\\\server\\share\\w.vxd"},
      {"winsvrc.exe", "vxd", "winsvrc.vxd"},
      {"C:winsvrc.exe", "vxd", "C:winsvrc.vxd"},
      {"C:\\WINDOWS\\file.", "vxd", "C:\\WINDOWS\\file.vxd"},
      {"", "vxd", ".vxd"},
  };
  for (const Case& c : cases) {
    PathBuffer result;
    Spoil(result);
    EXPECT_TRUE(WithExtension(c.path, c.ext, result)) << c.path;
    EXPECT_STREQ(c.result, result) << c.path << " with " << c.ext;
  }
}

TEST_F(PathBuildingTest, WithExtensionIntoItsOwnPath) {
  PathBuffer path = "C:\\WINDOWS\\winsvrc.exe";
  ASSERT_TRUE(WithExtension(path, "vxd", path));
  EXPECT_STREQ("C:\\WINDOWS\\winsvrc.vxd", path);
}

TEST_F(PathBuildingTest, WithExtensionReadsDoubleByteCharactersWhole) {
  // "a.b\x95\x5C" followed by "c": on code page 932 the 0x5C is the second
  // byte of one character, so the last component is "a.b?c" and its
  // extension begins at the dot.
  const char path[] =
      "C:\\a.b\x95\x5C"
      "c";
  PathBuffer result;
  sim::SetCodePage(932);
  ASSERT_TRUE(WithExtension(path, "vxd", result));
  EXPECT_STREQ("C:\\a.vxd", result);
  EXPECT_EQ(3u, FileNameOffset(path));

  sim::SetCodePage(1252);
  ASSERT_TRUE(WithExtension(path, "vxd", result));
  EXPECT_STREQ(
      "C:\\a.b\x95\x5C"
      "c.vxd",
      result);
  EXPECT_EQ(8u, FileNameOffset(path));
}

TEST_F(PathBuildingTest, WithExtensionKeepsDoubleByteNamesIntact) {
  sim::SetCodePage(932);
  PathBuffer result;
  ASSERT_TRUE(WithExtension("C:\\\x95\x5C\\\x95\x5C.exe", "vxd", result));
  EXPECT_STREQ("C:\\\x95\x5C\\\x95\x5C.vxd", result);
  // A lead byte just before the end does not swallow the terminator.
  ASSERT_TRUE(WithExtension("C:\\x\x81", "vxd", result));
  EXPECT_STREQ("C:\\x\x81.vxd", result);
}

TEST_F(PathBuildingTest, WithExtensionExactFitAndOneOver) {
  // "C:\" + name + ".vxd": 3 + n + 4 characters.
  std::string directory = "C:\\" + std::string(100, 'd') + "\\";
  std::string base(259 - directory.size() - 4, 'b');
  PathBuffer result;
  ASSERT_TRUE(WithExtension((directory + base + ".e").c_str(), "vxd", result));
  EXPECT_EQ(directory + base + ".vxd", result);

  base += "b";
  Spoil(result);
  EXPECT_FALSE(WithExtension((directory + base).c_str(), "vxd", result));
  EXPECT_STREQ("", result);
}

TEST_F(PathBuildingTest, WithExtensionRefusesPartsThatWouldBeCut) {
  PathBuffer result;
  std::string base255(255, 'b');
  ASSERT_TRUE(WithExtension(("C:" + base255 + ".e").c_str(), "", result));
  EXPECT_EQ("C:" + base255, result);
  Spoil(result);
  EXPECT_FALSE(WithExtension(("C:" + base255 + "b").c_str(), "", result));
  EXPECT_STREQ("", result);

  // The directory counts with its closing separator.
  std::string directory255 = "\\" + std::string(253, 'd') + "\\";
  ASSERT_TRUE(WithExtension(("C:" + directory255 + "f").c_str(), "", result));
  EXPECT_EQ("C:" + directory255 + "f", result);
  std::string directory256 = "\\" + std::string(254, 'd') + "\\";
  EXPECT_FALSE(WithExtension(("C:" + directory256 + "f").c_str(), "", result));
  EXPECT_STREQ("", result);
}

TEST_F(PathBuildingTest, CopyTextExactFitAndOneOver) {
  PathBuffer result;
  std::string fits(259, 'x');
  ASSERT_TRUE(CopyText(fits.c_str(), result));
  EXPECT_EQ(fits, result);
  EXPECT_FALSE(CopyText((fits + "x").c_str(), result));
  EXPECT_STREQ("", result);
}

}  // namespace

namespace {

struct FindNameCase {
  const char* what;
  UINT codePage;
  const char* text;
  const char* name;
  int at;  // -1: not found
};

TEST(FindNameTest, WithoutCaseAndFromWholeCharactersOnly) {
  const FindNameCase cases[] = {
      {"same letters", 1252, "C:\\W\\wintask.exe \"%1\"", "\\wintask.exe", 4},
      {"other letters", 1252, "C:\\W\\Wintask.Exe %1", "\\wintask.exe", 4},
      {"capitals", 1252, "C:\\W\\WINTASK.EXE", "\\wintask.exe", 4},
      {"first of two", 1252, "a\\x.exe b\\X.EXE", "\\x.exe", 1},
      {"absent", 1252, "C:\\W\\winfile.exe", "\\wintask.exe", -1},
      {"cut at the end", 1252, "C:\\W\\wintask.ex", "\\wintask.exe", -1},
      {"empty text", 1252, "", "\\x", -1},
      {"empty name", 1252, "abc", "", 0},
      {"accented letters are not folded", 1252, "\xc4x", "\xe4x", -1},
      // 0x95 0x5C is one Shift-JIS character whose second byte is a
      // backslash.
      {"second byte is no separator", 932, "C:\\\x95\\x.exe", "\\x.exe", -1},
      {"after a double-byte character", 932, "C:\\\x95\\\\x.exe", "\\x.exe", 5},
      {"double-byte name, byte for byte", 932, "C:\\\x95\\a", "\x95\\A", 3},
      {"double-byte name, second byte differs", 932, "C:\\\x95\\a", "\x95|a",
       -1},
  };
  for (const FindNameCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset();
    sim::SetCodePage(c.codePage);

    const char* found = FindName(c.text, c.name);

    EXPECT_EQ(c.at, found == NULL ? -1 : static_cast<int>(found - c.text));
  }
}

}  // namespace
