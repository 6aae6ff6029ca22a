#include "common/output.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/stop.hpp"

namespace tp {

namespace {
char output_dir[4096];
}  // namespace

const char* output_path(const char* name) {
  if (output_dir[0] == '\0') return name;
  static thread_local char path[sizeof output_dir + 256];
  std::snprintf(path, sizeof path, "%s/%s", output_dir, name);
  return path;
}

void set_output_dir(const char* dir) {
  std::snprintf(output_dir, sizeof output_dir, "%s", dir != nullptr ? dir : "");
}

Unit& std_out() {
  static Unit u{stdout, "standard output"};
  return u;
}

namespace {

// The file units open for writing, so that a stop can flush each one and
// name the one that lost lines. Keyed by the Unit's address: reopening a
// unit replaces its entry. The program opens about thirty.
struct OpenFile {
  const Unit* unit;
  std::FILE* f;
  char name[64];
};
constexpr int kMaxOpenFiles = 64;
OpenFile open_files[kMaxOpenFiles];
int n_open_files = 0;
OutputFault fault;
char fault_name[64];

void note_fault(const char* name, int err) {
  if (fault.name != nullptr) return;
  std::snprintf(fault_name, sizeof fault_name, "%s", name);
  fault.name = fault_name;
  fault.err = err != 0 ? err : EIO;  // an error flag left without a reason
}

void forget_file(const Unit& u) {
  for (int i = 0; i < n_open_files; ++i) {
    if (open_files[i].unit == &u) {
      open_files[i] = open_files[--n_open_files];
      return;
    }
  }
}

void remember_file(const Unit& u) {
  forget_file(u);
  if (n_open_files == kMaxOpenFiles) return;  // still written and checked line by line
  OpenFile& e = open_files[n_open_files++];
  e.unit = &u;
  e.f = u.f;
  std::snprintf(e.name, sizeof e.name, "%s", u.name);
}

// Flush one stream; false (errno set) when its lines could not be written.
bool flushed(std::FILE* f) { return std::fflush(f) == 0 && !std::ferror(f); }

}  // namespace

void open_unit(Unit& u, const char* name) {
  // With standard output closed (">&-"), the first file opened would take
  // its descriptor and receive the report as well: refuse to run.
  static const bool stdout_open = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
  if (!stdout_open) output_error(std_out().name, EBADF);
  u.name = name;
  u.f = std::fopen(output_path(name), "w");
  if (u.f == nullptr) {
    char what[160];
    std::snprintf(what, sizeof what, "cannot create the file for writing (%s)",
                  std::strerror(errno));
    creation_error(name, what);
  }
  remember_file(u);
}

void close_unit(Unit& u) {
  if (u.f != nullptr && u.f != stdout) {
    forget_file(u);
    const bool ok = flushed(u.f);
    const int err = errno;
    if (std::fclose(u.f) != 0 || !ok) {
      u.f = nullptr;
      output_error(u.name, ok ? errno : err);
    }
  }
  u.f = nullptr;
}

void flush_all_units() {
  Unit& out = std_out();
  if (out.f != nullptr && !flushed(out.f)) note_fault(out.name, errno);
  for (int i = 0; i < n_open_files; ++i) {
    if (!flushed(open_files[i].f)) note_fault(open_files[i].name, errno);
  }
  std::fflush(nullptr);  // anything else, standard error included
}

OutputFault first_output_fault() { return fault; }

namespace {

// One line to its unit. A short write means lines are lost: the run ends.
void emit(Unit& u, const char* s, int n) {
  if (std::fwrite(s, 1, static_cast<std::size_t>(n), u.f) != static_cast<std::size_t>(n)) {
    output_error(u.name, errno);
  }
}

Field from_text(const char* s) {
  Field f;
  f.n = static_cast<int>(std::strlen(s));
  std::memcpy(f.s, s, static_cast<std::size_t>(f.n) + 1);
  return f;
}

Field stars(int w) {
  Field f;
  f.n = w;
  std::memset(f.s, '*', static_cast<std::size_t>(w));
  f.s[w] = '\0';
  return f;
}

// Right-align `body` (with an optional minus sign) in w columns. Fortran
// drops the optional leading zero of "0." when the field is too narrow and
// prints asterisks when even that does not fit.
Field right_align(bool neg, const char* body, int w) {
  int len = static_cast<int>(std::strlen(body));
  if (len + (neg ? 1 : 0) > w && body[0] == '0' && body[1] == '.') {
    ++body;
    --len;
  }
  const int total = len + (neg ? 1 : 0);
  if (total > w) return stars(w);
  Field f;
  f.n = w;
  int p = 0;
  for (; p < w - total; ++p) f.s[p] = ' ';
  if (neg) f.s[p++] = '-';
  std::memcpy(f.s + p, body, static_cast<std::size_t>(len));
  f.s[w] = '\0';
  return f;
}

Field non_finite(double v, int w) {
  const char* t = std::isnan(v) ? "NaN" : (w >= 9 || (w == 8 && v > 0) ? "Infinity" : "Inf");
  const bool neg = std::isinf(v) && v < 0;
  return right_align(neg, t, w);
}

// The decimal expansion of a > 0 as 0.d1 d2 ... x 10^exp, to 40 digits:
// enough to round to any width the program prints with round-half-away
// rounding, as Fortran's formatted output does.
struct Decimal {
  char dig[48];
  int exp;
};

Decimal expand(double a) {
  char t[64];
  std::snprintf(t, sizeof t, "%.39e", a);  // d.ddd...de+xx
  Decimal d;
  d.dig[0] = t[0];
  std::memcpy(d.dig + 1, t + 2, 39);
  d.dig[40] = '\0';
  d.exp = std::atoi(t + 42) + 1;
  return d;
}

// Round the expansion to n >= 0 significant digits (half away from zero).
// Returns false when the value rounds to zero (n = 0 and a leading digit
// below 5, or n < 0).
bool round_to(const Decimal& x, int n, char* out, int& exp) {
  exp = x.exp;
  if (n < 0) return false;
  if (n == 0) {
    if (x.dig[0] < '5') return false;
    out[0] = '1';
    out[1] = '\0';
    exp = x.exp + 1;
    return true;
  }
  if (n > 40) n = 40;
  std::memcpy(out, x.dig, static_cast<std::size_t>(n));
  out[n] = '\0';
  if (n < 40 && x.dig[n] >= '5') {
    int i = n - 1;
    while (i >= 0 && out[i] == '9') out[i--] = '0';
    if (i >= 0) {
      ++out[i];
    } else {
      out[0] = '1';  // 0.999.. -> 0.100.. x 10^(exp+1)
      exp += 1;
    }
  }
  return true;
}

}  // namespace

Field free_int(long long v) {
  Field f;
  f.n = static_cast<int>(std::to_chars(f.s, f.s + sizeof f.s - 1, v).ptr - f.s);
  f.s[f.n] = '\0';
  return f;
}

// The maps write some eighty thousand numbers a run: they are formatted with
// to_chars, which rounds exactly as printf does with the same precision but
// takes a fraction of its time.
Field free_real(double v) {
  if (std::isnan(v)) return from_text("NaN");
  if (std::isinf(v)) return from_text(v > 0 ? "Infinity" : "-Infinity");
  Field f;
  char* const end = f.s + sizeof f.s - 1;
  // 17 significant digits: exactly enough to give back the same double.
  char t[40];
  char* te = std::to_chars(t, t + sizeof t - 1, v, std::chars_format::scientific, 16).ptr;
  *te = '\0';
  const int x = v == 0.0 ? 0 : std::atoi(std::strchr(t, 'e') + 1);
  if (x >= -1 && x <= 15) {
    f.n = static_cast<int>(std::to_chars(f.s, end, v, std::chars_format::fixed, 16 - x).ptr - f.s);
  } else {
    f.n = static_cast<int>(te - t);
    std::memcpy(f.s, t, static_cast<std::size_t>(f.n));
    *std::strchr(f.s, 'e') = 'E';
  }
  f.s[f.n] = '\0';
  return f;
}

Field f_edit(double v, int w, int d) {
  if (!std::isfinite(v)) return non_finite(v, w);
  char dig[48];
  int exp = 0;
  bool nonzero = false;
  char body[96];
  int p = 0;
  if (v != 0.0) {
    const Decimal x = expand(std::fabs(v));
    nonzero = round_to(x, x.exp + d, dig, exp);
  }
  if (!nonzero) {
    body[p++] = '0';
    body[p++] = '.';
    for (int i = 0; i < d; ++i) body[p++] = '0';
  } else {
    // value = 0.dig x 10^exp, dig holds exp + d digits
    const int nd = static_cast<int>(std::strlen(dig));
    if (exp <= 0) {
      body[p++] = '0';
    } else {
      for (int i = 0; i < exp; ++i) body[p++] = i < nd ? dig[i] : '0';
    }
    body[p++] = '.';
    for (int i = 0; i < d; ++i) {
      const int pos = exp + i;  // index into dig of this decimal
      body[p++] = (pos >= 0 && pos < nd) ? dig[pos] : '0';
    }
  }
  body[p] = '\0';
  return right_align(std::signbit(v) && v != 0.0, body, w);
}

Field e_edit(double v, int w, int d) {
  if (!std::isfinite(v)) return non_finite(v, w);
  char dig[48];
  int exp = 0;
  if (v == 0.0) {
    std::memset(dig, '0', static_cast<std::size_t>(d));
    dig[d] = '\0';
  } else {
    round_to(expand(std::fabs(v)), d, dig, exp);
  }
  char body[96];
  int p = 0;
  body[p++] = '0';
  body[p++] = '.';
  std::memcpy(body + p, dig, static_cast<std::size_t>(d));
  p += d;
  const int ax = exp < 0 ? -exp : exp;
  if (ax <= 99) {
    p += std::snprintf(body + p, sizeof body - p, "E%c%02d", exp < 0 ? '-' : '+', ax);
  } else if (ax <= 999) {
    p += std::snprintf(body + p, sizeof body - p, "%c%03d", exp < 0 ? '-' : '+', ax);
  } else {
    return stars(w);
  }
  return right_align(std::signbit(v) && v != 0.0, body, w);
}

Field g_edit(double v, int w, int d) {
  if (!std::isfinite(v)) return non_finite(v, w);
  // Values whose rounded magnitude lies in [0.1, 10^d) take the fixed form
  // F(w-4).(d-s), s digits before the point, and 4 trailing blanks; zero
  // takes F(w-4).(d-1); all others the exponent form Ew.d.
  int s = 1;
  if (v != 0.0) {
    char dig[48];
    int exp = 0;
    round_to(expand(std::fabs(v)), d, dig, exp);
    s = exp;
    if (s < 0 || s > d) return e_edit(v, w, d);
  }
  Field fixed = f_edit(v, w - 4, d - (v == 0.0 ? 1 : s));
  for (int i = 0; i < 4; ++i) fixed.s[fixed.n++] = ' ';
  fixed.s[fixed.n] = '\0';
  return fixed;
}

// ---- free-form lines ----

FreeLine::FreeLine(Unit& u) : u_(u) { buf_[n_++] = ' '; }

FreeLine::~FreeLine() noexcept(false) {
  buf_[n_++] = '\n';
  emit(u_, buf_, n_);
}

void FreeLine::item(const char* s, int n) {
  if (n_ > 1 && n_ < static_cast<int>(sizeof buf_) - 2) buf_[n_++] = ' ';
  const int room = static_cast<int>(sizeof buf_) - 2 - n_;
  if (n > room) n = room;
  std::memcpy(buf_ + n_, s, static_cast<std::size_t>(n));
  n_ += n;
}

FreeLine& FreeLine::operator<<(const char* text) {
  item(text, static_cast<int>(std::strlen(text)));
  return *this;
}

FreeLine& FreeLine::operator<<(int v) { return *this << static_cast<long long>(v); }

FreeLine& FreeLine::operator<<(long long v) {
  const Field f = free_int(v);
  item(f.s, f.n);
  return *this;
}

FreeLine& FreeLine::operator<<(double v) {
  const Field f = free_real(v);
  item(f.s, f.n);
  return *this;
}

FreeLine& FreeLine::operator<<(const cplx& v) { return *this << v.real() << v.imag(); }

// ---- formatted lines ----

FmtLine::FmtLine(Unit& u) : u_(u) {}

FmtLine::~FmtLine() noexcept(false) {
  buf_[n_++] = '\n';
  emit(u_, buf_, n_);
}

void FmtLine::put(const char* s, int n) {
  const int room = static_cast<int>(sizeof buf_) - 2 - n_;
  if (n > room) n = room;
  std::memcpy(buf_ + n_, s, static_cast<std::size_t>(n));
  n_ += n;
}

FmtLine& FmtLine::operator<<(const char* text) {
  put(text, static_cast<int>(std::strlen(text)));
  return *this;
}

FmtLine& FmtLine::operator<<(const Field& f) {
  put(f.s, f.n);
  return *this;
}

void empty_line(Unit& u) { emit(u, "\n", 1); }

void blank_line(Unit& u) { emit(u, " \n", 2); }

void table_line(Unit& u, double a, double b) {
  FmtLine(u) << g_edit(a, 15, 5) << "  " << g_edit(b, 15, 5);
}

}  // namespace tp
