#pragma once
// The one way tests run the built program (and the user tools): a child
// process in a folder of its own, its streams on files, a time limit, and an
// outcome that tells a normal exit from a signal or a hang.
#include <string>
#include <vector>

namespace tp::testing {

struct RunResult {
  bool exited = false;     // ended by exit (not by a signal, not killed on time)
  int status = -1;         // exit status when exited
  int signal = 0;          // the signal that ended it otherwise
  bool timed_out = false;  // killed after the time limit
  std::string out, err;    // standard output and standard error
  long peak_rss_kb = 0;    // the largest resident set of the run and its children (KiB)
};

// Where the run's standard streams go.
struct Streams {
  std::string in;             // file for standard input ("" = the deck written by run_program)
  std::string out;            // file for standard output ("" = stdout.txt in the run's folder)
  std::string err;            // file for standard error ("" = stderr.txt in the run's folder)
  bool close_stdout = false;  // run with descriptor 1 closed
};

// Runs the program in `dir` with `deck` on standard input (written to
// dir/stdin.deck), killing it after `seconds`.
RunResult run_program(const std::string& dir, const std::string& deck, const Streams& s = {},
                      int seconds = 300);

// Runs the program in `dir` with the blank-separated arguments `args`
// ("run deck -o out") and standard input from `in`.
RunResult run_with_args(const std::string& dir, const std::string& args,
                        const std::string& in = "/dev/null", int seconds = 300);

// Runs the program in `dir` with the arguments `args`, each passed as it
// is (blanks, quotes and all), and standard input from `in`.
RunResult run_argv(const std::string& dir, const std::vector<std::string>& args,
                   const std::string& in = "/dev/null", int seconds = 300);

// `s` in single quotes for the shell.
std::string shell_quote(const std::string& s);

// Runs tools/<tool> with `args` (already quoted for the shell) and the built
// program in THREEPHASE, in a fresh folder.
RunResult run_tool(const std::string& tool, const std::string& args, int seconds = 600);

}  // namespace tp::testing
