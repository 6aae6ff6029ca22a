#pragma once
// Test support: capture what a routine prints, fresh directories, small
// files. Beside it: run.hpp (the program runner), deck_edit.hpp (the deck
// editor), report.hpp (report reader and tolerant comparator), maps.hpp.
#include <string>
#include <vector>

#include "common/stop.hpp"

namespace tp::testing {

// Redirects the program's standard-output unit into a buffer while alive.
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  std::string text();  // everything printed so far
 private:
  void* saved_;
  void* file_;
};

// A fresh empty directory under the system's temporary directory.
std::string fresh_dir(const std::string& tag);

void write_file(const std::string& path, const std::string& text);
std::string read_file(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);

// Standard error without the program's warning lines ("threephase: warning:
// ..."), which precede the stop line or the message of a run.
std::string without_warnings(const std::string& err);

// Copy the files of an example folder (examples/<name>) into `dir`.
void copy_example(const std::string& name, const std::string& dir);

// Path of a file in the source tree.
std::string source_path(const std::string& rel);

// Runs f as a process would run it: a run it ends (a stop, bad input)
// ends the process with the status and last words of the legacy face, as
// death tests expect.
template <class F>
void as_process(F f) {
  try {
    f();
  } catch (const RunEnded& e) {
    end_process(e);
  }
}

}  // namespace tp::testing
