// What the boot-time schedule relies on from the profile calls: duplicate
// keys (several NUL= lines in [rename]) survive a section rewrite and come
// back in file order; writing a key replaces its first line.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "contract/file_contract_support.h"
#include "platform/windows_api.h"

namespace {

class ProfileContract : public file_contract::ScratchDirectory {
 protected:
  // The section as GetPrivateProfileSectionA returns it, NULs shown as '|'.
  std::string Section(const std::string& file, const char* section,
                      DWORD* returned = NULL) {
    char buffer[1024];
    memset(buffer, 'x', sizeof buffer);
    DWORD length =
        GetPrivateProfileSectionA(section, buffer, sizeof buffer, file.c_str());
    if (returned != NULL) *returned = length;
    std::string text(buffer, length + 1);
    for (char& c : text) {
      if (c == '\0') c = '|';
    }
    return text;
  }

  // An empty file to write sections into: the section write does not create
  // a file named by a full path.
  std::string EmptyFile(const std::string& name) {
    std::string path = Path(name);
    Write(path, "");
    return path;
  }
};

const char kThreeEntries[] =
    "NUL=C:\\A.EXE\0NUL=C:\\B.EXE\0C:\\R.EXE=C:\\S.EXE\0";

TEST_F(ProfileContract, SectionWriteKeepsDuplicatesInOrder) {
  std::string ini = EmptyFile("wininit.ini");
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", kThreeEntries, ini.c_str()));
  DWORD length = 0;
  EXPECT_EQ("NUL=C:\\A.EXE|NUL=C:\\B.EXE|C:\\R.EXE=C:\\S.EXE||",
            Section(ini, "rename", &length));
  EXPECT_EQ(sizeof kThreeEntries - 1, length);
  std::string contents = Read(ini);
  EXPECT_NE(std::string::npos,
            contents.find("[rename]\r\nNUL=C:\\A.EXE\r\nNUL=C:\\B.EXE\r\n"))
      << contents;
}

TEST_F(ProfileContract, StringWriteCreatesFileAndSection) {
  std::string ini = Path("fresh.ini");
  ASSERT_FALSE(Exists(ini));
  ASSERT_TRUE(
      WritePrivateProfileStringA("rename", "NUL", "C:\\X.EXE", ini.c_str()));
  EXPECT_EQ("NUL=C:\\X.EXE||", Section(ini, "rename"));
  ASSERT_TRUE(WritePrivateProfileStringA("rename", "C:\\T.EXE", "C:\\F.EXE",
                                         ini.c_str()));
  EXPECT_EQ("NUL=C:\\X.EXE|C:\\T.EXE=C:\\F.EXE||", Section(ini, "rename"));
}

TEST_F(ProfileContract, StringWriteReplacesFirstOfDuplicateKeys) {
  std::string ini = EmptyFile("dup.ini");
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", kThreeEntries, ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("rename", "nul", "C:\\LATER.EXE",
                                         ini.c_str()));
  std::string section = Section(ini, "rename");
  EXPECT_NE(std::string::npos, section.find("=C:\\LATER.EXE|NUL=C:\\B.EXE|"))
      << section;
  EXPECT_EQ(std::string::npos, section.find("A.EXE")) << section;
}

TEST_F(ProfileContract, OtherSectionsStay) {
  std::string ini = Path("mixed.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("before", "one", "1", ini.c_str()));
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", kThreeEntries, ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("after", "two", "2", ini.c_str()));
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", "NUL=C:\\ONLY.EXE\0", ini.c_str()));
  EXPECT_EQ("one=1||", Section(ini, "before"));
  EXPECT_EQ("NUL=C:\\ONLY.EXE||", Section(ini, "rename"));
  EXPECT_EQ("two=2||", Section(ini, "after"));
}

TEST_F(ProfileContract, NullValueDeletesKeyAndNullKeyDeletesSection) {
  std::string ini = Path("delete.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("rename", "first", "1", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("rename", "second", "2", ini.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("other", "kept", "3", ini.c_str()));

  ASSERT_TRUE(WritePrivateProfileStringA("rename", "first", NULL, ini.c_str()));
  EXPECT_EQ("second=2||", Section(ini, "rename"));
  ASSERT_TRUE(WritePrivateProfileStringA("rename", NULL, NULL, ini.c_str()));
  DWORD length = 99;
  Section(ini, "rename", &length);
  EXPECT_EQ(0u, length);
  EXPECT_EQ("kept=3||", Section(ini, "other"));
}

bool NotFoundOrNoError(DWORD error) {
  return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ||
         error == ERROR_PATH_NOT_FOUND;
}

TEST_F(ProfileContract, MissingSectionOrFileReadsEmpty) {
  std::string ini = Path("empty.ini");
  char buffer[16];
  memset(buffer, 'x', sizeof buffer);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(0u, GetPrivateProfileSectionA("rename", buffer, sizeof buffer,
                                          ini.c_str()));
  EXPECT_EQ('\0', buffer[0]);
  // What the schedule tells from a failed read.
  EXPECT_TRUE(NotFoundOrNoError(GetLastError())) << GetLastError();
  ASSERT_TRUE(WritePrivateProfileStringA("other", "k", "v", ini.c_str()));
  memset(buffer, 'x', sizeof buffer);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(0u, GetPrivateProfileSectionA("rename", buffer, sizeof buffer,
                                          ini.c_str()));
  EXPECT_EQ('\0', buffer[0]);
  EXPECT_TRUE(NotFoundOrNoError(GetLastError())) << GetLastError();
}

// The boot-time schedule tells an empty section from a failed read by the
// error code alone, so reading nothing must not leave any other code.
TEST_F(ProfileContract, MissingSectionOrFileLeavesNoErrorButNotFound) {
  std::string ini = Path("quiet.ini");
  char buffer[16];
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(0u, GetPrivateProfileSectionA("rename", buffer, sizeof buffer,
                                          ini.c_str()));
  DWORD error = GetLastError();
  EXPECT_TRUE(error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) << error;
  ASSERT_TRUE(WritePrivateProfileStringA("other", "k", "v", ini.c_str()));
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(0u, GetPrivateProfileSectionA("rename", buffer, sizeof buffer,
                                          ini.c_str()));
  error = GetLastError();
  EXPECT_TRUE(error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) << error;
}

TEST_F(ProfileContract, SectionReadOfAFileHeldOpenFailsWithItsError) {
  std::string ini = EmptyFile("held.ini");
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", kThreeEntries, ini.c_str()));
  file_contract::ScopedHandle holder(
      file_contract::Open(ini, GENERIC_READ, 0, OPEN_EXISTING));
  ASSERT_TRUE(holder.valid());
  char buffer[64];
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(0u, GetPrivateProfileSectionA("rename", buffer, sizeof buffer,
                                          ini.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
}

TEST_F(ProfileContract, SectionReadSkipsCommentsAndTrimsKeysAndValues) {
  std::string ini = Path("hand.ini");
  Write(ini,
        "; setup\r\n[rename]\r\n; inner comment\r\nNUL=C:\\A.EXE\r\n"
        "  spaced  =  value  \r\nnoequals\r\n\r\n[other]\r\nx=1");
  DWORD length = 0;
  EXPECT_EQ("NUL=C:\\A.EXE|spaced=value|noequals||",
            Section(ini, "RENAME", &length));
  EXPECT_EQ(35u, length);
  ASSERT_TRUE(
      WritePrivateProfileStringA("rename", "NUL", "C:\\B.EXE", ini.c_str()));
  std::string contents = Read(ini);
  EXPECT_NE(std::string::npos, contents.find("; setup\r\n[rename]\r\n"))
      << contents;
  EXPECT_NE(std::string::npos, contents.find("NUL=C:\\B.EXE\r\n")) << contents;
  EXPECT_EQ("x=1||", Section(ini, "other"));
}

TEST_F(ProfileContract, TooSmallBufferReturnsSizeLessTwo) {
  std::string ini = EmptyFile("small.ini");
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", kThreeEntries, ini.c_str()));
  char buffer[20];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(
      sizeof buffer - 2,
      GetPrivateProfileSectionA("rename", buffer, sizeof buffer, ini.c_str()));
  EXPECT_EQ('\0', buffer[sizeof buffer - 1]);
  EXPECT_EQ(0, strncmp(buffer, "NUL=C:\\A.EXE", 13));
}

}  // namespace
