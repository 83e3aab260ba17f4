// The few functions of <string.h> that the program calls, and that GCC itself
// may call for a copy or a clear, for the Windows build, which links no C
// runtime. Plain byte loops: the texts are short. Built with
// -fno-tree-loop-distribute-patterns (see the build), so that GCC does not
// turn these loops back into calls of themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* target, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  for (size_t i = 0; i < count; ++i) to[i] = from[i];
  return target;
}

void* memmove(void* target, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
  } else {
    for (size_t i = count; i > 0; --i) to[i - 1] = from[i - 1];
  }
  return target;
}

void* memset(void* target, int value, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  for (size_t i = 0; i < count; ++i) to[i] = static_cast<unsigned char>(value);
  return target;
}

int memcmp(const void* first, const void* second, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(first);
  const unsigned char* b = static_cast<const unsigned char*>(second);
  for (size_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

void* memchr(const void* text, int value, size_t count) {
  const unsigned char* at = static_cast<const unsigned char*>(text);
  for (size_t i = 0; i < count; ++i) {
    if (at[i] == static_cast<unsigned char>(value)) {
      return const_cast<unsigned char*>(at + i);
    }
  }
  return NULL;
}

size_t strlen(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

char* strchr(const char* text, int value) {
  for (;; ++text) {
    if (*text == static_cast<char>(value)) return const_cast<char*>(text);
    if (*text == '\0') return NULL;
  }
}

int strcmp(const char* first, const char* second) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(first);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(second);
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

char* strstr(const char* text, const char* part) {
  for (;; ++text) {
    size_t i = 0;
    while (part[i] != '\0' && text[i] == part[i]) ++i;
    if (part[i] == '\0') return const_cast<char*>(text);
    if (*text == '\0') return NULL;
  }
}

}  // extern "C"
