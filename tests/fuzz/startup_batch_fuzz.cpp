// The startup batch repair over arbitrary file contents, each run with at
// most one failing call. Whatever happens, c:\autoexec.bat is afterwards
// either its original bytes or the original less its first worm line; with
// nothing failing it is always the latter (or untouched when there is no
// worm line), and nothing is printed.
//
// Input: fault choice, fault detail, then the file's bytes.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "cleaners/startup_batch.h"
#include "fuzz/fuzz_support.h"
#include "sim/sim_control.h"

namespace {

const char kBatchFile[] = "C:\\AUTOEXEC.BAT";
const std::string kWormLine = "@win \\recycled\\sirc32.exe";
const DWORD kDiskFull = 112;

enum Fault {
  kNoFault,
  kCreateFails,
  kSizeFails,
  kMemoryFails,
  kSeekFails,
  kReadFails,
  kWriteFails,
  kWriteCutShort,
  kReadOnly,
  kHeldOpen,
  kFaultCount
};

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The file less its first worm line, looking no further than its first NUL;
// the file itself when there is none.
std::string WithoutFirstWormLine(const std::string& contents) {
  std::string text = LowerAscii(contents.substr(0, contents.find('\0')));
  size_t at = text.find(kWormLine);
  if (at == std::string::npos) return contents;
  return contents.substr(0, at) + contents.substr(at + kWormLine.size());
}

// Arms the fault; returns the handle of another program holding the file
// open, or INVALID_HANDLE_VALUE.
HANDLE ArmFault(Fault fault, uint8_t detail) {
  int nth = 1 + detail % 2;
  DWORD error = detail & 2 ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED;
  switch (fault) {
    case kCreateFails:
      sim::FailCall("CreateFileA", error, nth);
      break;
    case kSizeFails:
      sim::FailCall("GetFileSize", error);
      break;
    case kMemoryFails:
      sim::FailCall("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
      break;
    case kSeekFails:
      sim::FailCall("SetFilePointer", error, nth);
      break;
    case kReadFails:
      sim::FailCall("ReadFile", error);
      break;
    case kWriteFails:
      sim::FailCall("WriteFile", kDiskFull, nth);
      break;
    case kWriteCutShort:
      sim::ShortenNextWrite(detail);
      break;
    case kReadOnly:
      sim::SetReadOnly(kBatchFile, true);
      break;
    case kHeldOpen: {
      DWORD sharing = detail & 1 ? FILE_SHARE_READ : 0;
      return CreateFileA(kBatchFile, GENERIC_READ, sharing, NULL, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, NULL);
    }
    default:
      break;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  Fault fault = static_cast<Fault>(input.Byte() % kFaultCount);
  uint8_t detail = input.Byte();
  std::string original = input.Rest();
  std::string repaired = WithoutFirstWormLine(original);

  sim::Reset(detail & 4 ? sim::Line::Win9x : sim::Line::Nt);
  sim::PutFile(kBatchFile, original);
  HANDLE holder = ArmFault(fault, detail);

  RepairStartupBatch();

  fuzz::Check(
      sim::OpenHandleCount() == (holder == INVALID_HANDLE_VALUE ? 0 : 1),
      "a handle was left open");
  if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
  fuzz::Check(sim::FileExists(kBatchFile), "the batch file is gone");
  std::string after = sim::FileContents(kBatchFile);
  fuzz::Check(after == original || after == repaired,
              "the batch file is neither the original nor the original less "
              "its worm line");
  if (fault == kNoFault) {
    fuzz::Check(after == repaired, "the worm line was not removed");
    fuzz::Check(sim::ConsoleOutput().empty(), "printed without a failure");
  }
  if (after == repaired && repaired != original) {
    fuzz::Check(sim::ConsoleOutput().empty(), "printed after a repair");
  }
  return 0;
}
