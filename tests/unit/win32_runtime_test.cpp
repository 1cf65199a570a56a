// uninst.exe's own runtime routines, built here from the same source under
// the names uninst_memcpy, uninst_memmove, ... (see CMakeLists.txt): copies
// that overlap either way at every length up to a few hundred bytes, and the
// order in which constructors and exit routines run.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_runtime.h"

using Routine = void (*)();

extern "C" {
void* uninst_memcpy(void* to, const void* from, size_t size);
void* uninst_memmove(void* to, const void* from, size_t size);
void* uninst_memset(void* to, int value, size_t size);
int uninst_memcmp(const void* a, const void* b, size_t size);
int uninst_atexit(Routine routine);
Routine uninst_ctor_list[8];  // what the linker's __CTOR_LIST__ is in uninst.exe
}

namespace uninst {
namespace {

constexpr size_t kMaxLength = 300;

std::vector<unsigned char> Pattern(size_t size) {
  std::vector<unsigned char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  return bytes;
}

TEST(RuntimeTest, CopiesAndFillsExactlyTheirLength) {
  const std::vector<unsigned char> from = Pattern(kMaxLength + 16);
  for (size_t length = 0; length <= kMaxLength; ++length) {
    SCOPED_TRACE("length " + std::to_string(length));
    std::vector<unsigned char> to(kMaxLength + 16, 0xEE);
    EXPECT_EQ(uninst_memcpy(to.data() + 8, from.data(), length), to.data() + 8);
    std::vector<unsigned char> expected(kMaxLength + 16, 0xEE);
    std::copy(from.begin(), from.begin() + length, expected.begin() + 8);
    EXPECT_EQ(to, expected) << "memcpy";

    EXPECT_EQ(uninst_memset(to.data() + 8, 0x1A5, length), to.data() + 8);
    std::fill(expected.begin() + 8, expected.begin() + 8 + length, 0xA5);
    EXPECT_EQ(to, expected) << "memset takes the value's low byte";
  }
}

TEST(RuntimeTest, MemmoveOverlapsBothWays) {
  const std::vector<unsigned char> original = Pattern(2 * kMaxLength);
  const size_t from = 100;
  for (size_t length = 0; length <= kMaxLength; ++length) {
    for (int shift : {-9, -1, 0, 1, 9}) {
      SCOPED_TRACE("length " + std::to_string(length) + ", target " + std::to_string(shift));
      std::vector<unsigned char> bytes = original, expected = original;
      const size_t to = from + shift;
      std::copy(original.begin() + from, original.begin() + from + length, expected.begin() + to);
      EXPECT_EQ(uninst_memmove(bytes.data() + to, bytes.data() + from, length), bytes.data() + to);
      EXPECT_EQ(bytes, expected);
    }
  }
}

TEST(RuntimeTest, MemcmpComparesUnsignedBytes) {
  struct Row { const char* name; std::string a; std::string b; size_t length; int sign; };
  const Row rows[] = {
      {"nothing to compare", "a", "b", 0, 0},
      {"equal", "abc", "abc", 3, 0},
      {"last byte smaller", "abc", "abd", 3, -1},
      {"first byte larger", "bbc", "abc", 3, 1},
      {"only the length counts", "abc", "abd", 2, 0},
      {"0x80 is above 0x01", "\x80", "\x01", 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int result = uninst_memcmp(row.a.data(), row.b.data(), row.length);
    EXPECT_EQ((result > 0) - (result < 0), row.sign);
  }
}

std::string g_ran;
void A() { g_ran += 'a'; }
void B() { g_ran += 'b'; }
void C() { g_ran += 'c'; }

TEST(RuntimeTest, ExitRoutinesRunLastFirstAndTheTableHasEightPlaces) {
  g_ran.clear();
  for (Routine routine : {A, B, C}) EXPECT_EQ(uninst_atexit(routine), 0);
  RunExitRoutines();
  EXPECT_EQ(g_ran, "cba");

  g_ran.clear();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(uninst_atexit(A), 0);
  EXPECT_EQ(uninst_atexit(B), -1);
  RunExitRoutines();
  RunExitRoutines();
  EXPECT_EQ(g_ran, "aaaaaaaa");
}

TEST(RuntimeTest, ConstructorListRunsFromItsEnd) {
  const Routine kUncounted = reinterpret_cast<Routine>(static_cast<intptr_t>(-1));
  struct Row { const char* name; std::vector<Routine> list; const char* ran; };
  const Row rows[] = {
      {"-1, then up to the ending 0", {kUncounted, A, B, C, nullptr}, "cba"},
      {"a count: only that many", {reinterpret_cast<Routine>(2), A, B, C, nullptr}, "ba"},
      {"empty", {kUncounted, nullptr}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::copy(row.list.begin(), row.list.end(), uninst_ctor_list);
    g_ran.clear();
    RunStaticConstructors();
    EXPECT_EQ(g_ran, row.ran);
  }
}

}  // namespace
}  // namespace uninst
