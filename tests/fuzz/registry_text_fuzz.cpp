// Reading registry texts over values of any type and any data, and writing
// a default text back. A read always leaves a NUL-terminated text within the
// 260-byte buffer or reports failure with an empty text; a string value
// whose text fits reads back as exactly that text, one that does not fit is
// refused; other types read, if at all, as their bytes up to the first NUL.
//
// Input: type choice, length choice, then the value's data.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "primitives/registry_text.h"
#include "sim/sim_control.h"

namespace {

const char kKeyPath[] = "Software\\Classes\\exefile\\shell\\open\\command";

const DWORD kTypes[] = {REG_SZ,       REG_EXPAND_SZ, REG_BINARY, REG_DWORD,
                        REG_MULTI_SZ, REG_NONE,      11,         0xFFFFFFFF};

// Sizes around the buffer's 260 bytes come up often; others are as given.
std::string Sized(const std::string& data, uint8_t choice) {
  static const size_t kSizes[] = {258, 259, 260, 261};
  std::string sized = data;
  if ((choice & 4) != 0) sized.resize(kSizes[choice & 3], 'a');
  if ((choice & 8) != 0) {  // no NUL in the data at all
    for (char& c : sized) {
      if (c == '\0') c = 'n';
    }
  }
  return sized;
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ;
}

void CheckRead(HKEY key, DWORD type, const std::string& data) {
  fuzz::GuardedBuffer<MAX_PATH> text;
  bool read = ReadRegistryText(key, "", text.get());
  fuzz::Check(text.Terminated(), "text not terminated within the buffer");
  std::string got = text.get();
  std::string stored = data.substr(0, data.find('\0'));
  bool hasNul = data.find('\0') != std::string::npos;
  bool fits = hasNul ? data.size() <= MAX_PATH : data.size() < MAX_PATH;
  if (!read) {
    fuzz::Check(got.empty(), "a failed read left a text");
    fuzz::Check(!(IsStringType(type) && fits), "a text that fits was refused");
    return;
  }
  fuzz::Check(fits, "read a text that does not fit");
  fuzz::Check(got == stored, "the text read is not the text stored");
}

void CheckWrite(HKEY key, const std::string& text) {
  std::string written = text.substr(0, text.find('\0'));
  bool wrote = WriteDefaultText(key, written.c_str());
  fuzz::Check(wrote == (written.size() < MAX_PATH),
              wrote ? "wrote a text that cannot fit" : "refused a text");
  if (!wrote) return;
  fuzz::GuardedBuffer<MAX_PATH> back;
  fuzz::Check(ReadRegistryText(key, NULL, back.get()) && written == back.get(),
              "the text written does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  uint8_t typeChoice = input.Byte();
  uint8_t sizeChoice = input.Byte();
  DWORD type = kTypes[typeChoice % (sizeof(kTypes) / sizeof(kTypes[0]))];
  std::string stored = Sized(input.Rest(), sizeChoice);

  sim::Reset((typeChoice & 0x80) != 0 ? sim::Line::Win9x : sim::Line::Nt);
  sim::SetRawValue(HKEY_LOCAL_MACHINE, kKeyPath, "", type, stored);
  HKEY key;
  fuzz::Check(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0,
                            KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS,
              "cannot open the key");
  CheckRead(key, type, stored);
  CheckWrite(key, stored);
  RegCloseKey(key);
  fuzz::Check(sim::OpenKeyCount() == 0, "a key was left open");
  return 0;
}
