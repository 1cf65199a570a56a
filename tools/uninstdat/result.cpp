// Exceptions turned into failures; see result.h.
#include "tools/uninstdat/result.h"

#include <new>
#include <stdexcept>

namespace uninstdat {

std::vector<std::string> Lines(const Failure& failure) {
  std::vector<std::string> lines = failure.before;
  lines.push_back(failure.message);
  return lines;
}

Failure At(const std::string& place, Failure failure) {
  for (std::string& line : failure.before) line = place + ": " + line;
  failure.message = place + ": " + failure.message;
  return failure;
}

Failure FailureOf(const std::exception& thrown) {
  if (dynamic_cast<const std::bad_alloc*>(&thrown))
    return {Exit::kBadInput, "out of memory: the input is larger than this machine can take"};
  if (dynamic_cast<const std::logic_error*>(&thrown))
    return {Exit::kOwnFault, std::string("internal error: ") + thrown.what() +
                                 "; this is a fault of uninstdat itself, not of your input: please report it "
                                 "with the command line and its input"};
  return {Exit::kBadInput, std::string("cannot go on: ") + thrown.what()};
}

}  // namespace uninstdat
