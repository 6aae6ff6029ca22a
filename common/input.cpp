#include "common/input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/stop.hpp"

namespace tp {

void open_text_source(LineSource& s, const char* text, std::size_t size, const char* name) {
  s.f = size == 0 ? std::fopen("/dev/null", "r") : fmemopen(const_cast<char*>(text), size, "r");
  s.name = name;
  s.line_no = 0;
  s.bytes = 0;
}

void close_source(LineSource& s) {
  if (s.f != nullptr && s.f != stdin) std::fclose(s.f);
  s.f = nullptr;
}

namespace {
char input_dir[1024] = "";
}  // namespace

void set_input_dir(const char* dir) {
  std::snprintf(input_dir, sizeof input_dir, "%s", dir != nullptr ? dir : "");
}

bool input_file_missing(const char* name, char* folder, int cap) {
  char path[2048];
  const bool inside = input_dir[0] != '\0' && name[0] != '/';
  std::snprintf(path, sizeof path, "%s%s%s", inside ? input_dir : "", inside ? "/" : "", name);
  struct stat st {};
  if (::stat(path, &st) == 0 || errno != ENOENT) return false;
  // The folder: the input folder (or that of an absolute name), made
  // absolute from the working directory.
  char dir[1024];
  if (name[0] == '/') {
    std::snprintf(dir, sizeof dir, "%s", name);
    if (char* slash = std::strrchr(dir, '/')) slash[slash == dir ? 1 : 0] = '\0';
  } else {
    std::snprintf(dir, sizeof dir, "%s", input_dir[0] != '\0' ? input_dir : ".");
  }
  char cwd[1024];
  if (dir[0] == '/' || ::getcwd(cwd, sizeof cwd) == nullptr) {
    std::snprintf(folder, static_cast<std::size_t>(cap), "%s", dir);
  } else if (std::strcmp(dir, ".") == 0) {
    std::snprintf(folder, static_cast<std::size_t>(cap), "%s", cwd);
  } else {
    std::snprintf(folder, static_cast<std::size_t>(cap), "%s/%s", cwd, dir);
  }
  return true;
}

namespace {

// What a file that is not a regular file is, for its refusal.
const char* file_kind(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

}  // namespace

void open_file_source(LineSource& s, const char* name) {
  s.name = name;
  if (input_dir[0] != '\0' && name[0] != '/') {
    const int n = std::snprintf(s.path, sizeof s.path, "%s/%s", input_dir, name);
    if (n < 0 || n >= static_cast<int>(sizeof s.path)) input_error(name, "the path is too long");
    s.name = s.path;
  }
  s.line_no = 0;
  s.bytes = 0;
  // Opened without waiting: a pipe with no writer would block the open for
  // ever. Only a regular file is read.
  char what[160];
  const int fd = ::open(s.name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    std::snprintf(what, sizeof what, "cannot open the file for reading (%s)", std::strerror(errno));
    if (fd >= 0) ::close(fd);
    input_error(name, what);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    std::snprintf(what, sizeof what, "is %s, not a file of values; name a regular file",
                  file_kind(st.st_mode));
    input_error(name, what);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  s.f = ::fdopen(fd, "r");
  if (s.f == nullptr) {
    ::close(fd);
    std::snprintf(what, sizeof what, "cannot open the file for reading (%s)", std::strerror(errno));
    input_error(name, what);
  }
}

bool next_line(LineSource& s) {
  if (s.f == nullptr) return false;
  int c = getc_unlocked(s.f);
  if (c == EOF) return false;
  ++s.line_no;
  // Only the leading columns matter: the rest of a line longer than the
  // buffer is read and dropped.
  std::size_t n = 0;
  long long column = 0;
  for (; c != EOF && c != '\n'; c = getc_unlocked(s.f)) {
    ++column;
    if (s.max_bytes > 0 && s.bytes + column > s.max_bytes) {
      char what[200];
      std::snprintf(what, sizeof what,
                    "the input passes %lld bytes, far more than the text of its values takes; "
                    "is it the file meant?",
                    s.max_bytes);
      source_error(s, what);
    }
    if (c == '\0') {
      char what[200];
      std::snprintf(what, sizeof what,
                    "a NUL byte in column %lld: the input is binary or damaged, not text (its "
                    "values would read as zero)",
                    column);
      source_error(s, what);
    }
    if (n < sizeof s.line - 1) s.line[n++] = static_cast<char>(c);
  }
  s.bytes += column + (c == '\n' ? 1 : 0);
  s.line[n] = '\0';
  while (n > 0 && s.line[n - 1] == '\r') s.line[--n] = '\0';
  // A UTF-8 byte order mark, as some editors write it, is no part of a value.
  if (s.line_no == 1 && std::strncmp(s.line, "\xEF\xBB\xBF", 3) == 0) {
    std::memmove(s.line, s.line + 3, n - 2);
  }
  return true;
}

void escape_control_bytes(const char* text, char* out, int cap) {
  int n = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto u = static_cast<unsigned char>(*p);
    const bool control = (u < 0x20 && u != '\t') || u == 0x7f;
    if (n + (control ? 4 : 1) >= cap) break;
    if (control) {
      std::snprintf(out + n, 5, "\\x%02x", u);
      n += 4;
    } else {
      out[n++] = *p;
    }
  }
  out[n] = '\0';
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool equals_nocase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != *b) return false;
  }
  return *a == '\0' && *b == '\0';
}

// A real number written without blanks: sign, digits with at most one
// decimal point, then an optional exponent (E, D or Q with a signed integer,
// or a bare signed integer as in "1.5+3"). Without a decimal point the
// digits carry `implied` decimals. IEEE infinities and NaN are accepted as
// Fortran input accepts them.
bool parse_real_text(const char* s, int implied, double& v) {
  const char* p = s;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = (*p++ == '-');
  if (equals_nocase(p, "inf") || equals_nocase(p, "infinity")) {
    v = neg ? -HUGE_VAL : HUGE_VAL;
    return true;
  }
  if (equals_nocase(p, "nan")) {
    v = std::nan("");
    return true;
  }
  char mant[160];
  int nm = 0, ndig = 0;
  bool point = false;
  for (; is_digit(*p) || *p == '.'; ++p) {
    if (*p == '.') {
      if (point) return false;
      point = true;
    } else {
      ++ndig;
    }
    if (nm < static_cast<int>(sizeof mant) - 1) mant[nm++] = *p;
  }
  mant[nm] = '\0';
  if (ndig == 0) return false;
  long exp = 0;
  if (*p != '\0') {
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D' || *p == 'q' || *p == 'Q')
      ++p;
    else if (*p != '+' && *p != '-')
      return false;
    bool eneg = false;
    if (*p == '+' || *p == '-') eneg = (*p++ == '-');
    if (!is_digit(*p)) return false;
    for (; is_digit(*p); ++p) {
      if (exp < 100000) exp = exp * 10 + (*p - '0');
    }
    if (*p != '\0') return false;
    if (eneg) exp = -exp;
  }
  if (!point) exp -= implied;
  char text[200];
  std::snprintf(text, sizeof text, "%s%se%ld", neg ? "-" : "", mant, exp);
  errno = 0;
  const double x = std::strtod(text, nullptr);
  if (errno == ERANGE && std::isinf(x)) return false;  // beyond the doubles
  v = x;
  return true;
}

bool parse_int_text(const char* s, int& v) {
  const char* p = s;
  bool neg = false;
  if (*p == '+' || *p == '-') neg = (*p++ == '-');
  if (!is_digit(*p)) return false;
  long long x = 0;
  for (; is_digit(*p); ++p) {
    x = x * 10 + (*p - '0');
    if (x > 2147483648LL) return false;
  }
  if (*p != '\0') return false;
  if (neg) x = -x;
  if (x > 2147483647LL || x < -2147483648LL) return false;
  v = static_cast<int>(x);
  return true;
}

// First item of a list-directed line: up to a blank, comma or slash.
// Returns false on a line holding no item.
bool first_item(const char* text, char* item, int cap) {
  const char* p = text;
  while (is_blank(*p)) ++p;
  if (*p == '\0') return false;
  int n = 0;
  while (*p && !is_blank(*p) && *p != ',' && *p != '/') {
    if (n < cap - 1) item[n++] = *p;
    ++p;
  }
  item[n] = '\0';
  return true;
}

// The first w columns with every blank removed.
void fixed_field(const char* line, int w, char* out, int cap) {
  int n = 0;
  for (int i = 0; i < w && line[i] != '\0'; ++i) {
    if (!is_blank(line[i]) && n < cap - 1) out[n++] = line[i];
  }
  out[n] = '\0';
}

}  // namespace

bool parse_free_real(const char* text, double& v) {
  char item[160];
  return first_item(text, item, sizeof item) && parse_real_text(item, 0, v);
}

bool parse_free_int(const char* text, int& v) {
  char item[160];
  return first_item(text, item, sizeof item) && parse_int_text(item, v);
}

bool parse_fixed_int(const char* line, int w, int& v) {
  char field[160];
  fixed_field(line, w, field, sizeof field);
  if (field[0] == '\0') {
    v = 0;
    return true;
  }
  return parse_int_text(field, v);
}

bool parse_fixed_real(const char* line, int w, int d, double& v) {
  char field[160];
  fixed_field(line, w, field, sizeof field);
  if (field[0] == '\0') {
    v = 0.0;
    return true;
  }
  return parse_real_text(field, d, v);
}

void free_item_text(const char* line, char* out, int cap) {
  if (!first_item(line, out, cap)) out[0] = '\0';
}

void fixed_field_text(const char* line, int w, char* out, int cap) {
  fixed_field(line, w, out, cap);
}

[[noreturn]] void source_error(const LineSource& s, const char* what) {
  char where[200];
  std::snprintf(where, sizeof where, "%s, line %d", s.name, s.line_no);
  input_error(where, what);
}

namespace {

[[noreturn]] void ended_early(const LineSource& s, const char* what) {
  char msg[240];
  std::snprintf(msg, sizeof msg, "the input ends after line %d, before the value of %s", s.line_no,
                what);
  input_error(s.name, msg);
}

[[noreturn]] void not_a_number(const LineSource& s, const char* kind, const char* what) {
  char msg[400];
  char head[64];
  std::snprintf(head, sizeof head, "%.60s", s.line);
  char shown[256];
  escape_control_bytes(head, shown, sizeof shown);
  std::snprintf(msg, sizeof msg, "%s expected for %s, found \"%s\"", kind, what, shown);
  source_error(s, msg);
}

bool line_is_empty(const char* line) {
  for (const char* p = line; *p; ++p) {
    if (!is_blank(*p)) return false;
  }
  return true;
}

void next_value_line(LineSource& s, const char* what) {
  do {
    if (!next_line(s)) ended_early(s, what);
  } while (line_is_empty(s.line));
}

}  // namespace

double read_free_real(LineSource& s, const char* what) {
  next_value_line(s, what);
  double v = 0.0;
  if (!parse_free_real(s.line, v)) not_a_number(s, "a real number", what);
  return v;
}

int read_free_int(LineSource& s, const char* what) {
  next_value_line(s, what);
  int v = 0;
  if (!parse_free_int(s.line, v)) not_a_number(s, "an integer", what);
  return v;
}

int item_end(const char* line) {
  int n = 0;
  while (is_blank(line[n])) ++n;
  while (line[n] != '\0' && !is_blank(line[n])) ++n;
  return n;
}

double read_item_real(LineSource& s, int d, const char* what) {
  if (!next_line(s)) ended_early(s, what);
  double v = 0.0;
  if (!parse_fixed_real(s.line, item_end(s.line), d, v)) not_a_number(s, "a real number", what);
  return v;
}

int read_fixed_int(LineSource& s, int w, const char* what) {
  if (!next_line(s)) ended_early(s, what);
  int v = 0;
  if (!parse_fixed_int(s.line, w, v)) not_a_number(s, "an integer", what);
  return v;
}

double read_fixed_real(LineSource& s, int w, int d, const char* what) {
  if (!next_line(s)) ended_early(s, what);
  double v = 0.0;
  if (!parse_fixed_real(s.line, w, d, v)) not_a_number(s, "a real number", what);
  return v;
}

}  // namespace tp
