// What the parts of wine_runner.exe share: the account, written a whole
// line at a time (runner.cpp), and the two runs that start a program, the
// answering one (runner_boxes.cpp) and --watch (runner_watch.cpp).
#pragma once

#include <string>

// Writes one line of the account, whole, in one write: to the --report file
// when one was opened, else to standard output.
void Say(const char* format, ...);

// `text` with each CR and LF made a space, for a line of the account.
std::string OneLine(std::string text);

// The answering run, its options from argv[1] on (PROGRAM ANSWER... after
// them). Returns the runner's exit code.
int AnswerBoxes(int argc, char** argv);

// The --watch run, its options from argv[first] on. Returns the runner's
// exit code.
int Watch(int argc, char** argv, int first);
