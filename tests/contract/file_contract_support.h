// A scratch directory for the file and profile contract tests, made and
// removed with the Win32 calls themselves so that the same tests run against
// the simulation and against a real system.
#ifndef WORMSWEEP_TESTS_CONTRACT_FILE_CONTRACT_SUPPORT_H_
#define WORMSWEEP_TESTS_CONTRACT_FILE_CONTRACT_SUPPORT_H_

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "contract/contract_support.h"
#include "platform/windows_api.h"

namespace file_contract {

using contract::IsNtLine;

// Closes its handle however the test ends.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

inline HANDLE Open(const std::string& path, DWORD access, DWORD shareMode,
                   DWORD disposition) {
  return CreateFileA(path.c_str(), access, shareMode, NULL, disposition,
                     FILE_ATTRIBUTE_NORMAL, NULL);
}

// Every file and directory a test names through Path() is removed again
// afterwards, so that a real system is left as it was found.
class ScratchDirectory : public testing::Test {
 protected:
  static constexpr const char* kRoot = "C:\\wsctest";

  void SetUp() override {
    SetLastError(0);
    ASSERT_TRUE(CreateDirectoryA(kRoot, NULL) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }

  void TearDown() override {
    for (size_t i = names_.size(); i-- > 0;) {
      SetFileAttributesA(names_[i].c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(names_[i].c_str());
      RemoveDirectoryA(names_[i].c_str());
    }
    RemoveDirectoryA(kRoot);
  }

  std::string Path(const std::string& relative) {
    std::string path = std::string(kRoot) + "\\" + relative;
    names_.push_back(path);
    return path;
  }

  void Write(const std::string& path, const std::string& contents) {
    ScopedHandle file(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_TRUE(file.valid()) << path << " error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), contents.data(),
                          static_cast<DWORD>(contents.size()), &written, NULL));
    ASSERT_EQ(contents.size(), written);
  }

  // The whole file, or "<missing>" when it cannot be opened.
  std::string Read(const std::string& path) {
    ScopedHandle file(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    if (!file.valid()) return "<missing>";
    std::string contents;
    char chunk[512];
    DWORD count = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &count, NULL) &&
           count > 0) {
      contents.append(chunk, count);
    }
    return contents;
  }

  bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::vector<std::string> names_;
};

}  // namespace file_contract

#endif  // WORMSWEEP_TESTS_CONTRACT_FILE_CONTRACT_SUPPORT_H_
