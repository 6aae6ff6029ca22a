#pragma once
// Running the built program on bad input and faulty output, with a time
// limit, telling a normal exit from a signal or a hang.
#include <string>
#include <vector>

namespace tp::reliability {

struct Outcome {
  bool exited = false;     // ended by exit (not by a signal, not killed on time)
  int status = -1;         // exit status when exited
  int signal = 0;          // the signal that ended it otherwise
  bool timed_out = false;  // killed after the time limit
  std::string out, err;    // standard output and standard error
};

// Where the run's standard streams go.
struct Streams {
  std::string in;              // file for standard input ("" = the deck written by run_case)
  std::string out;             // file for standard output ("" = stdout.txt in the run's folder)
  std::string err;             // file for standard error ("" = stderr.txt in the run's folder)
  bool close_stdout = false;   // run with descriptor 1 closed
};

// Runs the program in `dir` with `deck` on standard input (written to
// dir/stdin.deck), killing it after `seconds`.
Outcome run_case(const std::string& dir, const std::string& deck, const Streams& s = {},
                 int seconds = 120);

// A fresh folder holding the files of examples/<name> (deck, reference
// files, porosity.frac).
std::string example_dir(const std::string& name);

// The lines of examples/<name>/deck, and lines joined back into a deck.
std::vector<std::string> example_lines(const std::string& name);
std::string join(const std::vector<std::string>& lines);

// The name of the value on deck line n (1-based) of a deck of `nmat`
// layers, as the messages call it: "freq", "akf(2)", ...
std::string field_of_line(int n);

// Why a run is not an acceptable end for bad input: a signal, a hang, a
// sanitizer report, the normal end (40) or a success. Empty when fine.
std::string unacceptable(const Outcome& o);

}  // namespace tp::reliability
