// What the cleaning logic relies on from the file and directory calls: the
// error codes that classify a failed delete or rename, sharing, whole-file
// reading and rewriting, searches and short names.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "contract/file_contract_support.h"
#include "platform/windows_api.h"

namespace {

using file_contract::IsNtLine;
using file_contract::Open;
using file_contract::ScopedHandle;

class FileContract : public file_contract::ScratchDirectory {};

TEST_F(FileContract, DeleteRemovesFile) {
  std::string path = Path("gone.exe");
  Write(path, "x");
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_FALSE(Exists(path));
}

TEST_F(FileContract, DeleteMissingReportsFileOrPathNotFound) {
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(Path("absent.exe").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(Path("nodir\\absent.exe").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(FileContract, ReadOnlyFileCannotBeDeletedButCanBeRenamed) {
  std::string path = Path("locked.exe");
  std::string renamed = Path("renamed.exe");
  Write(path, "data");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(0u, GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);

  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_TRUE(Exists(path));

  EXPECT_TRUE(MoveFileA(path.c_str(), renamed.c_str()));
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ("data", Read(renamed));
}

TEST_F(FileContract, ClearingReadOnlyLetsTheFileBeDeleted) {
  std::string path = Path("guarded.exe");
  Write(path, "data");
  ASSERT_TRUE(SetFileAttributesA(
      path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  DWORD attributes = GetFileAttributesA(path.c_str());
  ASSERT_TRUE(SetFileAttributesA(
      path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)));
  EXPECT_EQ(0u, GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_FALSE(Exists(path));
}

// "If CREATE_ALWAYS and FILE_ATTRIBUTE_NORMAL are specified, CreateFile fails
// and sets the last error to ERROR_ACCESS_DENIED if the file exists and has
// the FILE_ATTRIBUTE_HIDDEN or FILE_ATTRIBUTE_SYSTEM attribute. To avoid the
// error, specify the same attributes as the existing file." (CreateFile)
TEST_F(FileContract, CreateAlwaysOverAHiddenFileNeedsItsAttributes) {
  const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  std::string path = Path("hidden.bat");
  Write(path, "content");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), kHiddenSystem));

  SetLastError(0);
  HANDLE plain = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (plain != INVALID_HANDLE_VALUE) CloseHandle(plain);
  if (contract::AgainstWine()) {
    // Wine creates over it all the same: Wine's, not Windows'.
    Write(path, "content");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), kHiddenSystem));
  } else {
    EXPECT_EQ(INVALID_HANDLE_VALUE, plain);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("content", Read(path));
  }

  HANDLE same = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                            kHiddenSystem, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, same);
  CloseHandle(same);
  EXPECT_EQ("", Read(path));
  EXPECT_EQ(kHiddenSystem, GetFileAttributesA(path.c_str()) & (kHiddenSystem));
}

TEST_F(FileContract, DirectoryCannotBeDeletedAsFile) {
  std::string directory = Path("sub");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), NULL));
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(directory.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_NE(0u,
            GetFileAttributesA(directory.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FileContract, FileHeldOpenWithoutDeleteSharingCannotBeDeletedOrMoved) {
  std::string path = Path("running.exe");
  std::string target = Path("moved.exe");
  Write(path, "worm");
  ScopedHandle held(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  ASSERT_TRUE(held.valid());

  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(MoveFileA(path.c_str(), target.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_FALSE(Exists(target));

  held.Close();
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(FileContract, FileHeldOpenWithDeleteSharingCanBeDeleted) {
  std::string path = Path("shared.exe");
  Write(path, "x");
  ScopedHandle held(Open(path, GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING));
  ASSERT_TRUE(held.valid());
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  held.Close();
  EXPECT_FALSE(Exists(path));
}

TEST_F(FileContract, MoveFailsOnExistingTargetAndMissingSource) {
  std::string source = Path("source.exe");
  std::string target = Path("target.exe");
  Write(source, "new");
  Write(target, "old");

  SetLastError(0);
  EXPECT_FALSE(MoveFileA(source.c_str(), target.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_EQ("new", Read(source));
  EXPECT_EQ("old", Read(target));

  SetLastError(0);
  EXPECT_FALSE(MoveFileA(Path("absent.exe").c_str(), Path("x.exe").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(MoveFileA(source.c_str(), Path("nodir\\target.exe").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(FileContract, MoveKeepsContentsUnderNewName) {
  std::string source = Path("run32.exe");
  std::string target = Path("rundll32.exe");
  Write(source, "original");
  EXPECT_TRUE(MoveFileA(source.c_str(), target.c_str()));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ("original", Read(target));
}

TEST_F(FileContract, MoveFileExReplacesOnlyWhenAsked) {
  if (!IsNtLine()) GTEST_SKIP() << "MoveFileExA is an NT-line call";
  std::string source = Path("fresh.exe");
  std::string target = Path("stale.exe");
  Write(source, "fresh");
  Write(target, "stale");
  SetLastError(0);
  EXPECT_FALSE(MoveFileExA(source.c_str(), target.c_str(), 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_TRUE(
      MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ("fresh", Read(target));
}

TEST_F(FileContract, CopyCreatesOrOverwritesAndKeepsTheSource) {
  std::string source = Path("run32.exe");
  std::string target = Path("rundll32.exe");
  Write(source, "original");

  EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE));
  EXPECT_EQ("original", Read(target));
  EXPECT_EQ("original", Read(source));

  Write(target, "worm");
  SetLastError(0);
  EXPECT_FALSE(CopyFileA(source.c_str(), target.c_str(), TRUE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
  EXPECT_EQ("worm", Read(target));
  EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE));
  EXPECT_EQ("original", Read(target));
}

TEST_F(FileContract, CopyFailsOnMissingSourceAndOnTargetInUse) {
  std::string source = Path("run32.exe");
  std::string target = Path("rundll32.exe");
  SetLastError(0);
  EXPECT_FALSE(CopyFileA(source.c_str(), target.c_str(), FALSE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(Exists(target));

  Write(source, "original");
  Write(target, "worm");
  {
    ScopedHandle running(
        Open(target, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    ASSERT_TRUE(running.valid());
    SetLastError(0);
    EXPECT_FALSE(CopyFileA(source.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  }
  EXPECT_EQ("worm", Read(target));
}

TEST_F(FileContract, DelayedMoveIsAcceptedAndLeavesFileForNow) {
  if (!IsNtLine()) GTEST_SKIP() << "MoveFileExA is an NT-line call";
  std::string path = Path("pending.exe");
  std::string target = Path("pending.new");
  Write(path, "x");
  EXPECT_TRUE(MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_TRUE(
      MoveFileExA(path.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ("x", Read(path));
  EXPECT_FALSE(Exists(target));
}

TEST_F(FileContract, CreateDispositionsOnExistingFile) {
  std::string path = Path("autoexec.bat");
  Write(path, "content");

  SetLastError(0);
  ScopedHandle createNew(
      Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
  EXPECT_FALSE(createNew.valid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());

  {
    SetLastError(0);
    ScopedHandle openAlways(Open(path, GENERIC_READ, 0, OPEN_ALWAYS));
    ASSERT_TRUE(openAlways.valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(7u, GetFileSize(openAlways.get(), NULL));
  }
  {
    SetLastError(0);
    ScopedHandle createAlways(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(createAlways.valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(0u, GetFileSize(createAlways.get(), NULL));
  }
  Write(path, "content");
  {
    ScopedHandle truncate(Open(path, GENERIC_WRITE, 0, TRUNCATE_EXISTING));
    ASSERT_TRUE(truncate.valid());
    EXPECT_EQ(0u, GetFileSize(truncate.get(), NULL));
  }
}

TEST_F(FileContract, CreateDispositionsOnMissingFile) {
  SetLastError(0);
  ScopedHandle openExisting(
      Open(Path("absent.bat"), GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_FALSE(openExisting.valid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

  SetLastError(0);
  ScopedHandle inMissingDirectory(
      Open(Path("nodir\\absent.bat"), GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_FALSE(inMissingDirectory.valid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  SetLastError(ERROR_ACCESS_DENIED);
  std::string created = Path("created.bat");
  ScopedHandle createAlways(Open(created, GENERIC_WRITE, 0, CREATE_ALWAYS));
  ASSERT_TRUE(createAlways.valid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  createAlways.Close();
  EXPECT_TRUE(Exists(created));
}

// A read-only file refuses opening for writing too (ERROR_ACCESS_DENIED), but
// Wine running as root opens it anyway, so that is checked on the host only.
TEST_F(FileContract, DirectoryCannotBeOpenedAsFile) {
  std::string directory = Path("folder");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), NULL));
  SetLastError(0);
  ScopedHandle folder(Open(directory, GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_FALSE(folder.valid());
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

struct SharingCase {
  DWORD firstAccess;
  DWORD firstShare;
  DWORD secondAccess;
  DWORD secondShare;
  bool secondOpens;
};

const DWORD kRead = GENERIC_READ;
const DWORD kWrite = GENERIC_WRITE;
const DWORD kShareRead = FILE_SHARE_READ;
const DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

TEST_F(FileContract, SharingModesAreCheckedBothWays) {
  const SharingCase cases[] = {
      {kRead, kShareRead, kRead, kShareRead, true},
      {kRead, kShareRead, kRead | kWrite, kShareBoth, false},
      {kRead, 0, kRead, kShareBoth, false},
      {kRead, kShareBoth, kRead, 0, false},
      {kRead, kShareBoth, kRead | kWrite, kShareRead, true},
      {kRead | kWrite, kShareRead, kRead, kShareRead, false},
      {kRead | kWrite, kShareBoth, kRead, kShareBoth, true},
      {kWrite, kShareBoth, kWrite, kShareBoth, true},
  };
  std::string path = Path("shared.bat");
  Write(path, "x");
  for (const SharingCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "first " << c.firstAccess << "/" << c.firstShare
                 << ", second " << c.secondAccess << "/" << c.secondShare);
    ScopedHandle first(Open(path, c.firstAccess, c.firstShare, OPEN_EXISTING));
    ASSERT_TRUE(first.valid());
    SetLastError(0);
    ScopedHandle second(
        Open(path, c.secondAccess, c.secondShare, OPEN_EXISTING));
    EXPECT_EQ(c.secondOpens, second.valid());
    if (!c.secondOpens) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
  }
}

TEST_F(FileContract, ReadWriteSeekAndSize) {
  std::string path = Path("data.bin");
  ScopedHandle file(
      Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS));
  ASSERT_TRUE(file.valid());
  DWORD count = 0;
  ASSERT_TRUE(WriteFile(file.get(), "hello world", 11, &count, NULL));
  EXPECT_EQ(11u, count);
  DWORD high = 99;
  EXPECT_EQ(11u, GetFileSize(file.get(), &high));
  EXPECT_EQ(0u, high);

  EXPECT_EQ(6u, SetFilePointer(file.get(), 6, NULL, FILE_BEGIN));
  char buffer[32] = {0};
  ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &count, NULL));
  EXPECT_EQ(5u, count);
  EXPECT_EQ("world", std::string(buffer, count));
  count = 99;
  ASSERT_TRUE(ReadFile(file.get(), buffer, sizeof buffer, &count, NULL));
  EXPECT_EQ(0u, count);

  EXPECT_EQ(6u, SetFilePointer(file.get(), -5, NULL, FILE_END));
  EXPECT_EQ(8u, SetFilePointer(file.get(), 2, NULL, FILE_CURRENT));
  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER,
            SetFilePointer(file.get(), -9, NULL, FILE_CURRENT));
  EXPECT_EQ(131u, GetLastError());  // ERROR_NEGATIVE_SEEK
  EXPECT_EQ(8u, SetFilePointer(file.get(), 0, NULL, FILE_CURRENT));

  ASSERT_TRUE(WriteFile(file.get(), "RLD!!", 5, &count, NULL));
  EXPECT_EQ(13u, GetFileSize(file.get(), NULL));
  file.Close();
  EXPECT_EQ("hello woRLD!!", Read(path));
}

TEST_F(FileContract, ReadAndWriteNeedTheMatchingAccess) {
  std::string path = Path("access.bin");
  Write(path, "abc");
  char buffer[8];
  DWORD count = 0;
  {
    ScopedHandle writeOnly(Open(path, GENERIC_WRITE, 0, OPEN_EXISTING));
    ASSERT_TRUE(writeOnly.valid());
    SetLastError(0);
    EXPECT_FALSE(
        ReadFile(writeOnly.get(), buffer, sizeof buffer, &count, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  }
  {
    ScopedHandle readOnly(Open(path, GENERIC_READ, 0, OPEN_EXISTING));
    ASSERT_TRUE(readOnly.valid());
    SetLastError(0);
    EXPECT_FALSE(WriteFile(readOnly.get(), "x", 1, &count, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  }
  EXPECT_EQ("abc", Read(path));
}

TEST_F(FileContract, ClosedHandleIsInvalid) {
  std::string path = Path("closed.bin");
  Write(path, "abc");
  HANDLE file = Open(path, GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  ASSERT_TRUE(CloseHandle(file));
  SetLastError(0);
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(file, NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(FileContract, FindFirstFileDescribesTheFile) {
  std::string path = Path("Long Worm Name.html");
  Write(path, "12345");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  EXPECT_STREQ("Long Worm Name.html", data.cFileName);
  EXPECT_EQ(5u, data.nFileSizeLow);
  EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  std::string shortName = data.cAlternateFileName;
  EXPECT_FALSE(shortName.empty());
  EXPECT_EQ(std::string::npos, shortName.find(' '));
  EXPECT_TRUE(FindClose(find));

  find = FindFirstFileA(Path("*.html").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  EXPECT_STREQ("Long Worm Name.html", data.cFileName);
  EXPECT_TRUE(FindClose(find));
}

TEST_F(FileContract, FindFirstFileReportsMissingFileOrDirectory) {
  WIN32_FIND_DATAA data;
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            FindFirstFileA(Path("absent.exe").c_str(), &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            FindFirstFileA(Path("nodir\\absent.exe").c_str(), &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(FileContract, FindFirstFileFindsDirectoryByNameOnly) {
  std::string directory = Path("recycled");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), NULL));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(directory.c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  EXPECT_STREQ("recycled", data.cFileName);
  EXPECT_NE(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(find);
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            FindFirstFileA((directory + "\\").c_str(), &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

bool IsShortComponent(const std::string& name) {
  size_t dot = name.find('.');
  size_t baseLength = dot == std::string::npos ? name.size() : dot;
  size_t extensionLength = dot == std::string::npos ? 0 : name.size() - dot - 1;
  return baseLength >= 1 && baseLength <= 8 && extensionLength <= 3 &&
         name.find(' ') == std::string::npos &&
         (dot == std::string::npos ||
          name.find('.', dot + 1) == std::string::npos);
}

TEST_F(FileContract, ShortPathNamesTheSameFile) {
  std::string directory = Path("Program Files Worm");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), NULL));
  std::string path = Path("Program Files Worm\\Setup Program.exe");
  Write(path, "long");

  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(strlen(shortPath), length);
  std::string result = shortPath;
  size_t start = strlen("C:\\");
  while (start < result.size()) {
    size_t end = result.find('\\', start);
    if (end == std::string::npos) end = result.size();
    EXPECT_TRUE(IsShortComponent(result.substr(start, end - start))) << result;
    start = end + 1;
  }
  EXPECT_EQ("long", Read(result));

  char tooSmall[4];
  EXPECT_EQ(length + 1, GetShortPathNameA(path.c_str(), tooSmall, 4));
}

TEST_F(FileContract, ShortPathOfShortNameIsTheSameName) {
  std::string path = Path("WORM.EXE");
  Write(path, "short");
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  ASSERT_GT(length, 0u);
  EXPECT_STRCASEEQ(path.c_str(), shortPath);
  EXPECT_EQ("short", Read(shortPath));
}

TEST_F(FileContract, ShortPathOfMissingFileFails) {
  char shortPath[MAX_PATH];
  SetLastError(0);
  EXPECT_EQ(0u, GetShortPathNameA(Path("absent file.exe").c_str(), shortPath,
                                  sizeof shortPath));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FileContract, Directories) {
  std::string directory = Path("recycled");
  std::string inside = Path("recycled\\sirc32.exe");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), NULL));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA(directory.c_str(), NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA(Path("nodir\\sub").c_str(), NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  Write(inside, "x");
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(directory.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(inside.c_str()));
  EXPECT_EQ(267u, GetLastError());  // ERROR_DIRECTORY
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA(inside.c_str(), NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  ASSERT_TRUE(DeleteFileA(inside.c_str()));
  EXPECT_TRUE(RemoveDirectoryA(directory.c_str()));
  EXPECT_FALSE(Exists(directory));
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectoryA(directory.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FileContract, SuccessLeavesLastErrorAlone) {
  std::string path = Path("quiet.exe");
  std::string moved = Path("moved.exe");
  Write(path, "abc");
  HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  SetLastError(77);
  EXPECT_EQ(3u, GetFileSize(file, NULL));
  EXPECT_EQ(1u, SetFilePointer(file, 1, NULL, FILE_BEGIN));
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
  EXPECT_TRUE(MoveFileA(path.c_str(), moved.c_str()));
  EXPECT_TRUE(DeleteFileA(moved.c_str()));
  EXPECT_EQ(77u, GetLastError());
}

TEST_F(FileContract, PathErrorsOfTheTextItself) {
  std::string overlong = "C:\\" + std::string(300, 'a');
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(overlong.c_str()));
  EXPECT_EQ(206u, GetLastError());  // ERROR_FILENAME_EXCED_RANGE
  SetLastError(0);
  ScopedHandle wildcard(Open(Path("a*.exe"), GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_FALSE(wildcard.valid());
  EXPECT_EQ(123u, GetLastError());  // ERROR_INVALID_NAME
}

TEST_F(FileContract, NamesAreCaseInsensitiveWithEitherSeparator) {
  std::string path = Path("MixedCase.Txt");
  Write(path, "abc");
  EXPECT_EQ("abc", Read("c:/WSCTEST/mixedcase.TXT"));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\wsctest\\MIXEDCASE.TXT", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  EXPECT_STREQ("MixedCase.Txt", data.cFileName);
  FindClose(find);
}

}  // namespace
