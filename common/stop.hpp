#pragma once
// Ending the run. A stop writes "STOP <code>" on standard error and ends the
// process with the code (the system keeps its low 8 bits). The routine that
// stops prints its own message line on standard output first.

namespace tp {

// Exit status of a run that could not read its input (deck, porosity file,
// reference files) or write its output.
constexpr int kInputErrorStatus = 2;

[[noreturn]] void stop(int code);

// Bad input: prints "threephase: <where>: <what>" on standard error and ends
// the run with kInputErrorStatus. `where` names the file and line (or
// "standard input, line n").
[[noreturn]] void input_error(const char* where, const char* what);

}  // namespace tp
