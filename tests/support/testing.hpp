#pragma once
// Test support: capture what a routine prints, run the built program in a
// fresh directory, read and write small files.
#include <string>
#include <vector>

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

struct RunResult {
  int status = -1;  // exit status, or -1 if killed by a signal
  std::string out;  // standard output
  std::string err;  // standard error
};

// Run the built program in `dir` with `deck` on standard input.
RunResult run_program(const std::string& dir, const std::string& deck);

// Copy the files of an example folder (examples/<name>) into `dir`.
void copy_example(const std::string& name, const std::string& dir);

// Path of a file in the source tree.
std::string source_path(const std::string& rel);

}  // namespace tp::testing
