// What scheduling a removal for the next system start relies on besides the
// single calls: the [rename] section read whole and written back with a line
// appended at the length the read returned, and a short directory name that
// names the same place for a file that does not exist yet.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "contract/contract_support.h"
#include "contract/file_contract_support.h"
#include "platform/windows_api.h"

namespace {

using file_contract::IsNtLine;
using file_contract::Open;
using file_contract::ScopedHandle;

class RemovalSupportContract : public file_contract::ScratchDirectory {};

bool IsShortComponent(const std::string& name) {
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string extension =
      dot == std::string::npos ? std::string() : name.substr(dot + 1);
  return !base.empty() && base.size() <= 8 && extension.size() <= 3 &&
         name.find(' ') == std::string::npos &&
         extension.find('.') == std::string::npos;
}

TEST_F(RemovalSupportContract, SectionReadAndWrittenBackWithALineAppended) {
  std::string ini = Path("wininit.ini");
  Write(ini,
        "[before]\r\nkeep=1\r\n"
        "[rename]\r\nNUL=C:\\A.EXE\r\nNUL=C:\\B.EXE\r\n"
        "[after]\r\nNUL=C:\\C.EXE\r\n");

  char section[256];
  memset(section, 'x', sizeof section);
  DWORD used =
      GetPrivateProfileSectionA("rename", section, sizeof section, ini.c_str());
  ASSERT_EQ(strlen("NUL=C:\\A.EXE") * 2 + 2, used);
  const char appended[] = "C:\\T.EXE=C:\\S.EXE";
  memcpy(section + used, appended, sizeof appended);
  section[used + sizeof appended] = '\0';
  ASSERT_TRUE(WritePrivateProfileSectionA("rename", section, ini.c_str()));

  std::string contents = Read(ini);
  EXPECT_NE(std::string::npos,
            contents.find("[rename]\r\nNUL=C:\\A.EXE\r\nNUL=C:\\B.EXE\r\n"
                          "C:\\T.EXE=C:\\S.EXE\r\n"))
      << contents;
  EXPECT_NE(std::string::npos, contents.find("[before]\r\nkeep=1\r\n"))
      << contents;
  EXPECT_NE(std::string::npos, contents.find("[after]\r\nNUL=C:\\C.EXE\r\n"))
      << contents;
}

// WritePrivateProfileSection "does not create a file if lpFileName contains
// the full path and filename of a file that does not exist" (its reference
// page, 1992 and 1998 editions); WritePrivateProfileString does, which is
// how the first entry of a missing wininit.ini gets written. Wine's section
// write creates the file all the same: that is Wine's, not Windows', and
// the program never relies on it.
TEST_F(RemovalSupportContract, OnlyTheStringWriteCreatesAFileNamedByItsPath) {
  std::string ini = Path("new.ini");
  char section[16];
  EXPECT_EQ(0u, GetPrivateProfileSectionA("rename", section, sizeof section,
                                          ini.c_str()));
  const char entry[] = "NUL=C:\\X.EXE\0";
  SetLastError(ERROR_SUCCESS);
  BOOL written = WritePrivateProfileSectionA("rename", entry, ini.c_str());
  if (contract::AgainstWine()) {
    EXPECT_TRUE(written) << "Wine creates it";
    EXPECT_EQ("[rename]\r\nNUL=C:\\X.EXE\r\n", Read(ini));
    return;
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(Exists(ini));

  ASSERT_TRUE(
      WritePrivateProfileStringA("rename", "NUL", "C:\\X.EXE", ini.c_str()));
  EXPECT_EQ("[rename]\r\nNUL=C:\\X.EXE\r\n", Read(ini));
}

TEST_F(RemovalSupportContract, ShortDirectoryNamesTheSamePlace) {
  std::string directory = Path("Long Directory Name");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), NULL));
  char shortDirectory[MAX_PATH];
  DWORD length = GetShortPathNameA(directory.c_str(), shortDirectory,
                                   sizeof shortDirectory);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
  std::string shortened = shortDirectory;
  EXPECT_EQ(std::string::npos, shortened.find(' ')) << shortened;
  EXPECT_TRUE(IsShortComponent(shortened.substr(shortened.rfind('\\') + 1)))
      << shortened;

  // A file made under the short directory is the file of the long one.
  std::string viaLong = Path("Long Directory Name\\rundll32.exe");
  Write(shortened + "\\rundll32.exe", "made");
  EXPECT_EQ("made", Read(viaLong));
}

// The line is told by what MoveFileExA does: Windows 95, 98 and ME export
// it as a stub that fails with ERROR_CALL_NOT_IMPLEMENTED, and schedule
// through wininit.ini instead. Wine implements it whatever version it
// reports: its win98 prefixes are NT systems reporting the 9x line, as a
// compatibility mode makes Windows NT do.
TEST_F(RemovalSupportContract, DelayedDeletionIsRecordedOrNotImplemented) {
  std::string path = Path("running.exe");
  Write(path, "worm");
  ScopedHandle held(Open(path, GENERIC_READ, 0, OPEN_EXISTING));
  ASSERT_TRUE(held.valid());

  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  if (!IsNtLine() && !contract::AgainstWine()) {
    EXPECT_FALSE(MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
  } else {
    EXPECT_TRUE(MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(MoveFileExA(path.c_str(), Path("renamed.exe").c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT));
  }
  held.Close();
  EXPECT_EQ("worm", Read(path)) << "nothing happens before the restart";
}

}  // namespace
