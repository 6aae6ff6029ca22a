#pragma once
// Ending the run. A stop writes "STOP <code>" on standard error and ends the
// process with the code (the system keeps its low 8 bits). The routine that
// stops prints its own message line on standard output first.

namespace tp {

// Exit status of a run that could not read its input (deck, porosity file,
// reference files) or write its output.
constexpr int kInputErrorStatus = 2;

// Flushes every output unit, then writes "STOP <code>" and exits with the
// code. Output that could not be written turns any stop into an output error
// (exit status kInputErrorStatus): a run never reports its normal end after
// losing lines.
[[noreturn]] void stop(int code);

// Bad input: prints "threephase: <where>: <what>" on standard error and ends
// the run with kInputErrorStatus. `where` names the file and line (or
// "standard input, line n").
[[noreturn]] void input_error(const char* where, const char* what);

// Lost output: prints "threephase: <name>: cannot write the output (<reason
// of errno err>)" on standard error and ends the run with
// kInputErrorStatus. `name` is the output unit (a file or standard output).
[[noreturn]] void output_error(const char* name, int err);

}  // namespace tp
