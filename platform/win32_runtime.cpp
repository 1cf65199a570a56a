// What uninst.exe has instead of a C runtime; see win32_runtime.h. This file
// is built without link-time optimisation and with
// -fno-tree-loop-distribute-patterns, so that the compiler does
// not turn the loops of memcpy and memset into calls of themselves.
#include "platform/win32_runtime.h"

#include <stddef.h>

namespace {

using Routine = void (*)();

// The program registers one destructor (the application object's); a few
// more places cost nothing.
constexpr int kMaxExitRoutines = 8;
Routine g_exitRoutines[kMaxExitRoutines];
int g_exitRoutineCount = 0;

}  // namespace

// The linker script brackets the .ctors section with __CTOR_LIST__: a first
// word of -1 (or the count), the constructors, then a 0.
extern "C" Routine __CTOR_LIST__[];

extern "C" {

int atexit(Routine routine) {
  if (g_exitRoutineCount == kMaxExitRoutines) return -1;
  g_exitRoutines[g_exitRoutineCount++] = routine;
  return 0;
}

void* memcpy(void* to, const void* from, size_t size) {
  unsigned char* out = static_cast<unsigned char*>(to);
  const unsigned char* in = static_cast<const unsigned char*>(from);
  for (size_t i = 0; i < size; ++i) out[i] = in[i];
  return to;
}

void* memmove(void* to, const void* from, size_t size) {
  unsigned char* out = static_cast<unsigned char*>(to);
  const unsigned char* in = static_cast<const unsigned char*>(from);
  if (out < in) {
    for (size_t i = 0; i < size; ++i) out[i] = in[i];
  } else {
    for (size_t i = size; i > 0; --i) out[i - 1] = in[i - 1];
  }
  return to;
}

void* memset(void* to, int value, size_t size) {
  unsigned char* out = static_cast<unsigned char*>(to);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<unsigned char>(value);
  return to;
}

int memcmp(const void* a, const void* b, size_t size) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < size; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

// A pure virtual call cannot happen with the one concrete platform; without
// this, the C++ runtime's verbose handler would be linked in.
void __cxa_pure_virtual() {}

}  // extern "C"

namespace uninst {

void RunStaticConstructors() {
  size_t count = reinterpret_cast<size_t>(__CTOR_LIST__[0]);
  if (count == static_cast<size_t>(-1))
    for (count = 0; __CTOR_LIST__[count + 1]; ++count) {
    }
  for (size_t i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

void RunExitRoutines() {
  while (g_exitRoutineCount > 0) g_exitRoutines[--g_exitRoutineCount]();
}

}  // namespace uninst
