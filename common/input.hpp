#pragma once
// Reading numbers from text lines: the free (list-directed) form, where the
// first item of a line is taken and the rest ignored, and the fixed fields
// Iw and Fw.d / Ew.d / Gw.d, where the first w columns hold the value, blanks
// are ignored, an empty field reads as zero and digits written without a
// decimal point carry d implied decimals ("2500" in e12.4 reads 0.25).
#include <cstdio>

namespace tp {

// A line-by-line text source: a deck held in memory (read from standard
// input or from its file) or a side file of the input directory. `name` and
// `line_no` place every message.
struct LineSource {
  std::FILE* f = nullptr;
  const char* name = "";
  int line_no = 0;
  char line[1024];
  char path[1024];          // the name with the input directory, when one is set
  long long bytes = 0;      // bytes read so far
  long long max_bytes = 0;  // a source longer than this is refused; 0: no bound
};

// The longest line a numeric file is expected to hold, with room to spare:
// a porosity file of n cells is refused beyond n such lines.
constexpr long long kGenerousLineBytes = 1024;

// Side files are opened in `dir` rather than the working directory (the
// `run` command reads them beside its deck); nullptr or "" restores the
// working directory.
void set_input_dir(const char* dir);

// True when the side file `name` does not exist where open_file_source
// would look for it; `folder` is then the folder searched, as an absolute
// path, for the message that says so.
bool input_file_missing(const char* name, char* folder, int cap);

// The text held in memory as a source named `name` (which must outlive it);
// close it with close_source.
void open_text_source(LineSource& s, const char* text, std::size_t size, const char* name);
void close_source(LineSource& s);

// Open an existing regular file (in the input directory) for reading. A
// missing or unreadable file, a folder, a pipe or a device ends the run with
// a message naming it: a pipe would block the run for ever, a device or a
// folder would read as an endless or an empty file.
void open_file_source(LineSource& s, const char* name);

// Read the next line into s.line (without its end of line; a UTF-8 byte
// order mark before the first line dropped). False at the end of the source.
// A NUL byte on the line (a binary or zeroed file, whose values would read as
// 0), or a source longer than s.max_bytes, ends the run with a message
// naming the source and the line.
bool next_line(LineSource& s);

// Writes `text` into out (capacity cap, always terminated) with every
// control byte (below 32 but the tab, and 127) as \xHH, so that a message never
// carries raw escapes or bells to the terminal.
void escape_control_bytes(const char* text, char* out, int cap);

// Pure parsers of one piece of text; false when it is not a number.
bool parse_free_real(const char* text, double& v);
bool parse_free_int(const char* text, int& v);
bool parse_fixed_int(const char* line, int w, int& v);
bool parse_fixed_real(const char* line, int w, int d, double& v);

// The text a value is read from: the first item of a free-form line, or the
// first w columns of a fixed field with its blanks removed.
void free_item_text(const char* line, char* out, int cap);
void fixed_field_text(const char* line, int w, char* out, int cap);

// Readers that take the next value from the source and end the run with a
// message naming the source, the line and `what` (the quantity expected)
// when the source ends early or the text is not a number. The free forms
// skip empty lines before the value.
double read_free_real(LineSource& s, const char* what);
int read_free_int(LineSource& s, const char* what);
int read_fixed_int(LineSource& s, int w, const char* what);
double read_fixed_real(LineSource& s, int w, int d, const char* what);
// The fixed form widened to the whole first item of the next line, however
// many columns it takes (d implied decimals when it has no decimal point).
double read_item_real(LineSource& s, int d, const char* what);

// The column just past the first item of `line` (blanks before it skipped);
// a fixed field of w columns cuts a value when this lies beyond w.
int item_end(const char* line);

// End the run with a message about the current line of `s`.
[[noreturn]] void source_error(const LineSource& s, const char* what);

}  // namespace tp
