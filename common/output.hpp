#pragma once
// The one output module of the program. Every line it prints or writes goes
// through here, in one of two forms:
//  - free form: a leading blank, then the items in order separated by blanks;
//    text exactly as given, integers in full, doubles with 17 significant
//    digits (fixed notation for 0.1 <= |x| < 1e16, exponent notation
//    otherwise), a complex value as its real then its imaginary part;
//  - formatted: pieces edited by the Fortran edit descriptors Fw.d, Ew.d and
//    Gw.d, concatenated with literal text as the line's pattern dictates.
#include <cstdio>

#include "common/complex.hpp"

namespace tp {

// An output destination: standard output or a file of the working directory.
struct Unit {
  std::FILE* f = nullptr;
  const char* name = "";
};

// Standard output. Tests may point its stream elsewhere.
Unit& std_out();

// Result files are created in `dir` rather than the working directory (a
// `run` writes into its staging folder); nullptr or "" restores the working
// directory.
void set_output_dir(const char* dir);

// The path of the file `name` in the output directory (valid until the next
// call in the thread).
const char* output_path(const char* name);

// Create (or truncate) the file `name` in the output directory for writing.
// A file that cannot be created ends the run with a message naming it.
void open_unit(Unit& u, const char* name);
// Flush and close the file of `u`; a failure ends the run (output_error).
void close_unit(Unit& u);

// Every line is checked as it is written: a unit that refuses a line (a full
// disk, standard output on /dev/full, a closed descriptor) ends the run at
// once with a message naming it (output_error in common/stop.hpp).

// Flush standard output and every open file unit (before a stop, so lines
// come out in order), remembering the first unit whose buffered lines could
// not be written.
void flush_all_units();

// The first unit that lost output at a flush: its name (nullptr if none)
// and the system's error number.
struct OutputFault {
  const char* name = nullptr;
  int err = 0;
};
OutputFault first_output_fault();

// One edited field, held inline so no allocation is needed.
struct Field {
  char s[96];
  int n = 0;
};

// Free numeric forms.
Field free_int(long long v);
Field free_real(double v);

// Fortran edit descriptors: Fw.d, Ew.d (exponent form 0.ddddE+xx) and Gw.d.
// A result that cannot fit in w columns is w asterisks, as in Fortran.
Field f_edit(double v, int w, int d);
Field e_edit(double v, int w, int d);
Field g_edit(double v, int w, int d);

// A free-form line, written when the object goes out of scope:
//   FreeLine(std_out()) << " layer i=  " << i;
class FreeLine {
 public:
  explicit FreeLine(Unit& u);
  ~FreeLine() noexcept(false);  // a lost line ends the run (output_error)
  FreeLine(const FreeLine&) = delete;
  FreeLine& operator=(const FreeLine&) = delete;
  FreeLine& operator<<(const char* text);
  FreeLine& operator<<(int v);
  FreeLine& operator<<(long long v);
  FreeLine& operator<<(double v);
  FreeLine& operator<<(const cplx& v);

 private:
  void item(const char* s, int n);
  Unit& u_;
  char buf_[1024];
  int n_ = 0;
};

// A formatted line: pieces are concatenated exactly, with no blank added.
//   FmtLine(u) << " running time=" << f_edit(t, 15, 6) << "hours";
class FmtLine {
 public:
  explicit FmtLine(Unit& u);
  ~FmtLine() noexcept(false);
  FmtLine(const FmtLine&) = delete;
  FmtLine& operator=(const FmtLine&) = delete;
  FmtLine& operator<<(const char* text);
  FmtLine& operator<<(const Field& f);

 private:
  void put(const char* s, int n);
  Unit& u_;
  char buf_[1024];
  int n_ = 0;
};

// An empty line (nothing on it) and a blank line (a single blank).
void empty_line(Unit& u);
void blank_line(Unit& u);

// The table form "(g15.5,2x,g15.5)" of the result tables.
void table_line(Unit& u, double a, double b);

}  // namespace tp
