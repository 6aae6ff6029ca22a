#pragma once
// What built this program: its version (one number for the program and the
// Python package), the compiler and the options that decide its floating
// point. The command line prints them; results.json records them.

namespace tp {

const char* version_string();
const char* compiler_string();
const char* build_options_string();

}  // namespace tp
