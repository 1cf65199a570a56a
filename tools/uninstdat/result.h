// The one way the tool's fallible calls say that they failed: a Result is
// the call's value or a Failure, which carries the exit code the tool ends
// with for it and the message it prints. The exit codes are declared here,
// in the core, so that a unit below the commands can name the code its
// failure deserves; only the commands print and end the run.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace uninstdat {

enum class Exit : int {
  kDone = 0,         // also: findings without --strict
  kFindings = 1,     // findings under --strict; try: something to mend; diff: something dropped
  kUsage = 2,        // an unknown command or option, a bad value, an output that is the input
  kBadInput = 3,     // an input that cannot be read or is not well formed (try: or cannot be used)
  kCannotWrite = 4,  // an output that cannot be written; the old file is unchanged
  kOwnFault = 70,    // a fault of uninstdat itself (EX_SOFTWARE): a broken invariant, never the input's
  kInterrupted = 130,
};

// Why a call gave no value: the exit code and the message, which the
// command prints after "uninstdat: ". A call that finds several faults at
// once (every error of a manifest) keeps all of them: the others go in
// `before`, each printed the same way on a line of its own, before the
// message, so that the author mends them in one go.
struct Failure {
  Exit code;
  std::string message;
  std::vector<std::string> before = {};
};

// Every line `failure` says, in order: those before its message, then it.
std::vector<std::string> Lines(const Failure& failure);

// `failure` with "PLACE: " before each of its lines (the message and those
// before it): a fault found in a file, named by the file it is in.
Failure At(const std::string& place, Failure failure);

// The value of a fallible call, or its Failure. Tested like a pointer:
// `if (auto r = Call()) use(*r); else return Fail(r.failure());`.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}
  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  // Only when there is no value.
  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// A fallible call that gives no value: done, or its Failure.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}
  explicit operator bool() const { return !failure_; }
  // Only when it failed.
  const Failure& failure() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

// What an exception that reached the top of a run means. A std::logic_error
// is a broken invariant of uninstdat's own (a finding at a place its rule
// does not name, an index past its end): kOwnFault, with a message that
// says so and asks for a report, never "bad input", which would send the
// author looking for a fault in a file that has none. Running out of memory
// and anything else the run could not go on from are the input's size or
// content: kBadInput, as before.
Failure FailureOf(const std::exception& thrown);

}  // namespace uninstdat
