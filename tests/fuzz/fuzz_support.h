// What the fuzz targets share: reading their input piece by piece, copies
// that sit at the very end of their allocation so that AddressSanitizer sees
// a read one byte too far, and the oracle check that stops the run.
#ifndef WORMSWEEP_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define WORMSWEEP_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace fuzz {

// A failed oracle is a finding like a crash: the message names it (and
// scripts/fuzz counts it by this text), then abort() lets libFuzzer save the
// input.
inline void Check(bool holds, const char* what) {
  if (holds) return;
  fprintf(stderr, "ORACLE FAILURE: %s\n", what);
  abort();
}

// Takes the input apart from the front: single bytes for choices, then
// NUL-separated texts.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // The next byte, 0 once the input is used up.
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  // The bytes up to the next NUL (which is consumed) or the end.
  std::string Text() {
    size_t start = at_;
    while (at_ < size_ && data_[at_] != 0) ++at_;
    std::string text(reinterpret_cast<const char*>(data_ + start), at_ - start);
    if (at_ < size_) ++at_;
    return text;
  }

  // Everything not read yet.
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
    at_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A NUL-terminated copy of `text` that ends exactly where its allocation
// ends.
class GuardedText {
 public:
  explicit GuardedText(const std::string& text)
      : bytes_(static_cast<char*>(malloc(text.size() + 1))) {
    memcpy(bytes_, text.data(), text.size());
    bytes_[text.size()] = '\0';
  }
  ~GuardedText() { free(bytes_); }
  GuardedText(const GuardedText&) = delete;
  GuardedText& operator=(const GuardedText&) = delete;
  const char* get() const { return bytes_; }

 private:
  char* bytes_;
};

// A buffer of exactly `Size` bytes in an allocation of its own, filled with
// a non-NUL pattern so that a missing terminator shows.
template <size_t Size>
class GuardedBuffer {
 public:
  GuardedBuffer() : bytes_(static_cast<char*>(malloc(Size))) {
    memset(bytes_, 0xA5, Size);
  }
  ~GuardedBuffer() { free(bytes_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  char (&get())[Size] { return *reinterpret_cast<char(*)[Size]>(bytes_); }
  // Whether a NUL lies within the buffer.
  bool Terminated() const { return memchr(bytes_, '\0', Size) != NULL; }

 private:
  char* bytes_;
};

}  // namespace fuzz

#endif  // WORMSWEEP_TESTS_FUZZ_FUZZ_SUPPORT_H_
