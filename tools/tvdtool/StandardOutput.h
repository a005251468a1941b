#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

// Output that did not reach its place must not pass for success: a full disk or a closed
// standard output (> /dev/full, >&-) ends the command with exit status 1 and a message.

// Raised by a command whose output stream failed. tvdtool's main reports its message once.
class COutputFailed : public std::runtime_error {
public:
  explicit COutputFailed(const std::string &strWhat) : std::runtime_error(strWhat) {}
};

constexpr const char *OUTPUT_FAILED_TEXT = "writing to the standard output failed";

// Makes sure the standard input, output and error are open. When one was closed (">&-"), the
// first file the command opened would take its number, and what it prints would land in that
// file (a survey, say). A closed standard output is taken by a file that refuses every write, so
// that printing fails and is reported; the others by /dev/null.
void GuardStandardStreams();

// The message for out when it has failed, with the system's reason when it is known; nothing
// when it has not. Asked right after the writes, while the reason is still at hand.
std::optional<std::string> OutputProblem(const std::ostream &out);
// Raises COutputFailed when out has failed.
void CheckOutput(const std::ostream &out);

// Flushes the standard output and tells whether everything written to it arrived: "" when it did,
// otherwise the message saying it did not.
std::string FinishStandardOutput();
