// The result type of the tool's fallible calls, and what an exception that
// ends a run is reported as: the input's fault (exit 3) or uninstdat's own
// (exit 70), never the one for the other.
#include "tools/uninstdat/result.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace uninstdat {
namespace {

TEST(ResultTest, ValueOrFailure) {
  Result<std::string> value(std::string("text"));
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, "text");
  EXPECT_EQ(value->size(), 4u);
  Result<std::string> failed(Failure{Exit::kBadInput, "why"});
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.failure().code, Exit::kBadInput);
  EXPECT_EQ(failed.failure().message, "why");
  Result<void> done;
  EXPECT_TRUE(done);
  Result<void> refused(Failure{Exit::kCannotWrite, "cannot write x"});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().code, Exit::kCannotWrite);
}

// A failure found in a file names the file on each of its lines, the
// faults found with it first, in their order.
TEST(ResultTest, AtPlacesEveryLine) {
  struct Row { const char* name; Failure failure; std::vector<std::string> lines; };
  const Row rows[] = {
      {"the message alone", Failure{Exit::kBadInput, "why"}, {"m.json: why"}},
      {"faults before it", Failure{Exit::kBadInput, "third", {"first", "second"}},
       {"m.json: first", "m.json: second", "m.json: third"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Lines(row.failure).size(), row.lines.size());
    Failure placed = At("m.json", row.failure);
    EXPECT_EQ(placed.code, row.failure.code);
    EXPECT_EQ(Lines(placed), row.lines);
  }
}

// Each exception that can reach main, its exit code and message.
TEST(ResultTest, FailureOfException) {
  const std::string own = "; this is a fault of uninstdat itself, not of your input: please report it with the "
                          "command line and its input";
  struct Row { std::exception_ptr thrown; Exit code; std::string message; };
  const Row rows[] = {
      {std::make_exception_ptr(std::bad_alloc()), Exit::kBadInput,
       "out of memory: the input is larger than this machine can take"},
      {std::make_exception_ptr(std::runtime_error("disk gone")), Exit::kBadInput, "cannot go on: disk gone"},
      // A broken invariant: the tool's fault, whatever the input.
      {std::make_exception_ptr(std::logic_error("a finding at a place its rule does not name")), Exit::kOwnFault,
       "internal error: a finding at a place its rule does not name" + own},
      {std::make_exception_ptr(std::out_of_range("vector")), Exit::kOwnFault, "internal error: vector" + own},
      {std::make_exception_ptr(std::invalid_argument("stoi")), Exit::kOwnFault, "internal error: stoi" + own},
  };
  for (const Row& row : rows) {
    try {
      std::rethrow_exception(row.thrown);
    } catch (const std::exception& e) {
      SCOPED_TRACE(e.what());
      Failure failure = FailureOf(e);
      EXPECT_EQ(failure.code, row.code);
      EXPECT_EQ(failure.message, row.message);
    }
  }
  EXPECT_EQ(static_cast<int>(Exit::kOwnFault), 70);  // EX_SOFTWARE of sysexits.h
}

}  // namespace
}  // namespace uninstdat
