#pragma once
// Ending the run. A stop writes "STOP <code>" on standard error and ends the
// process with the code (the system keeps its low 8 bits). The routine that
// stops prints its own message line on standard output first.

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

// Flushes every output unit, then writes "STOP <code>" and exits with the
// code. Output that could not be written turns any stop into an output error
// (exit status kInputErrorStatus): a run never reports its normal end after
// losing lines.
[[noreturn]] void stop(int code);

// Bad input: prints "threephase: <where>: <what>" on standard error and ends
// the run with kInputErrorStatus. `where` names the file and line (or
// "standard input, line n").
[[noreturn]] void input_error(const char* where, const char* what);

// A result file that cannot be created: the message of input_error; the
// legacy status 2, the modern status kExitOutput.
[[noreturn]] void creation_error(const char* name, const char* what);

// Lost output: prints "threephase: <name>: cannot write the output (<reason
// of errno err>)" on standard error and ends the run with
// kInputErrorStatus. `name` is the output unit (a file or standard output).
[[noreturn]] void output_error(const char* name, int err);

}  // namespace tp
