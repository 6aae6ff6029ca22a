#pragma once
// Ending the run. A stop (or an input or output error) ends the run, not the
// process: it throws RunEnded, which unwinds to the command that started the
// run. There end_process writes "STOP <code>" on standard error and ends the
// process with the code (the system keeps its low 8 bits), or ended_status
// gives the modern status without ending it. The routine that stops prints
// its own message line on standard output first.
#include <exception>

namespace tp {

// Exit status of a run that could not read its input (deck, porosity file,
// reference files) or write its output.
constexpr int kInputErrorStatus = 2;

// The exit statuses of the modern commands (run, check): the legacy
// invocation keeps its own (40 for a normal end, the stop code otherwise).
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;   // anything else (a crash, a signal)
constexpr int kExitBadInput = 2;  // bad input or usage
constexpr int kExitMemory = 3;    // beyond the memory limit
constexpr int kExitStopped = 4;   // the computation stopped with a stop code
constexpr int kExitOutput = 5;    // output could not be written

// How stop, input_error and output_error end the process: legacy (the
// default) or with the modern statuses above, where the normal end (code
// 40) is 0 and prints nothing, and any other code prints its meaning; for
// `check`, a stop (the deck reader's code 11) is bad input, status 2.
enum class ExitStyle { legacy, modern, check };
void set_exit_style(ExitStyle style);

// Exit status of the legacy normal end (code 40), 40 unless set. Under an
// MPI launcher it is 0: the launcher takes any other status for a failed
// job, prints its failure notes after the stop line and holds the job for
// its kill timeouts. Every other stop keeps its code.
void set_normal_end_status(int status);

// What a stop code means, in a few words ("" for an unknown code).
const char* stop_meaning(int code);

// How a run ended: a stop with its code (40 the normal end), bad input, a
// result file that could not be created, or lost output. The message of the
// last three is already on standard error when it is thrown.
enum class EndKind { stop, input, creation, output };
struct RunEnded : std::exception {
  int code = 0;
  EndKind kind = EndKind::stop;
  RunEnded(int c, EndKind k) : code(c), kind(k) {}
  const char* what() const noexcept override { return "the run ended"; }
  bool normal() const { return kind == EndKind::stop && code == 40; }
};

// Ends the run with the stop code: throws RunEnded.
[[noreturn]] void stop(int code);

// The exit status of a run that ended with e in the current exit style,
// after its last words: flushes every output unit; output that could not be
// written turns any end into an output error (a run never reports its
// normal end after losing lines); a legacy stop writes "STOP <code>", a
// modern one other than the normal end says what the code means.
int ended_status(const RunEnded& e);

// ended_status, then the end of the process with that status.
[[noreturn]] void end_process(const RunEnded& e);

// Bad input: prints "threephase: <where>: <what>" on standard error and ends
// the run (status kInputErrorStatus). `where` names the file and line (or
// "standard input, line n").
[[noreturn]] void input_error(const char* where, const char* what);

// A result file that cannot be created: the message of input_error; the
// legacy status 2, the modern status kExitOutput.
[[noreturn]] void creation_error(const char* name, const char* what);

// Lost output: prints "threephase: <name>: cannot write the output (<reason
// of errno err>)" on standard error and ends the run (legacy status
// kInputErrorStatus, modern kExitOutput). Called while another end unwinds
// (a line written by a destructor), it ends the process at once. `name` is the output unit (a file
// or standard output).
[[noreturn]] void output_error(const char* name, int err);

}  // namespace tp
