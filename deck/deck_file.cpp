#include "deck/deck_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/convert.hpp"
#include "deck/deck_fields.hpp"
#include "deck/readata.hpp"

namespace tp {

namespace {

// Appends what f holds to text, up to limit + 1 bytes; false on a read error.
bool read_bounded(std::FILE* f, long long limit, std::string& text) {
  char buf[65536];
  std::size_t n = 0;
  while (static_cast<long long>(text.size()) <= limit &&
         (n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
  }
  if (static_cast<long long>(text.size()) > limit) text.resize(static_cast<std::size_t>(limit) + 1);
  return std::ferror(f) == 0;
}

// "4.0 MiB (4194304 bytes)": the deck's bound, for its refusals.
std::string deck_bound_text() {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f MiB (%lld bytes)", kMaxDeckBytes / 1048576.0,
                kMaxDeckBytes);
  return text;
}

}  // namespace

int read_deck_file(const char* path, std::string& text, std::string& why) {
  text.clear();
  // Opened without waiting, so that a pipe with no writer cannot block.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    why = std::string("cannot open the deck for reading (") + std::strerror(errno) + ")";
    if (fd >= 0) ::close(fd);
    return kInputErrorStatus;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    why = S_ISDIR(st.st_mode) ? "is a folder, not a deck"
                              : "is not a regular file (a pipe, a process substitution or a "
                                "device); write the deck to a file and name that";
    return kInputErrorStatus;
  }
  if (st.st_size > kMaxDeckBytes) {
    ::close(fd);
    why = "holds " + std::to_string(static_cast<long long>(st.st_size)) +
          " bytes, more than a deck's " + deck_bound_text() + ": not a deck";
    return kInputErrorStatus;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) {
    ::close(fd);
    why = "cannot open the deck for reading";
    return kInputErrorStatus;
  }
  const bool ok = read_bounded(f, kMaxDeckBytes, text);
  std::fclose(f);
  if (!ok) {
    why = "cannot read the deck";
    return kInputErrorStatus;
  }
  if (static_cast<long long>(text.size()) > kMaxDeckBytes) {
    why = "grows past a deck's " + deck_bound_text() + " as it is read: not a deck";
    return kInputErrorStatus;
  }
  return 0;
}

bool read_text_file(const char* path, std::string& text) {
  std::string why;
  return read_deck_file(path, text, why) == 0;
}

bool read_bounded_stdin(std::string& text) {
  text.clear();
  read_bounded(stdin, kMaxDeckBytes, text);
  return static_cast<long long>(text.size()) <= kMaxDeckBytes;
}

// The legacy reader reads the text as a source named `name` and echoes on
// standard output, or nowhere.
void read_legacy_text(const std::string& text, const char* name, Deck& d, bool echo,
                      DeckRecord* record) {
  LineSource src;
  open_text_source(src, text.data(), text.size(), name);
  std::FILE* sink = echo ? nullptr : std::fopen("/dev/null", "w");
  Unit& out = std_out();
  std::FILE* const saved_out = out.f;
  if (!echo) out.f = sink;
  try {
    readata(src, d, record);
  } catch (...) {
    out.f = saved_out;
    close_source(src);
    if (sink != nullptr) std::fclose(sink);
    throw;
  }
  out.f = saved_out;
  close_source(src);
  if (sink != nullptr) std::fclose(sink);
}

int read_deck_text(const std::string& text, Deck& d, RunPlan& plan, DeckError& err) {
  if (deck_form(text) == DeckForm::keyword) return read_keyword_deck(text, d, plan, err);
  read_legacy_text(text, "standard input", d, false);
  plan = legacy_plan(d);
  return 0;
}

DeckForm read_deck_source(const std::string& text, const char* name, Deck& d, RunPlan& plan,
                          DeckRecord* record) {
  if (deck_form(text) == DeckForm::legacy) {
    read_legacy_text(text, name, d, true, record);
    plan = legacy_plan(d);
    return DeckForm::legacy;
  }
  DeckError err;
  if (read_keyword_deck(text, d, plan, err, record) != 0) {
    input_error(error_place(name, err).c_str(), err.what.c_str());
  }
  echo_deck(d);
  return DeckForm::keyword;
}

void read_stdin_text(std::string& text) {
  if (!read_bounded_stdin(text)) {
    input_error("standard input",
                ("the deck passes " + deck_bound_text() + " as it is read: not a deck").c_str());
  }
}

void read_named_deck(const char* path, std::string& text) {
  std::string why;
  if (read_deck_file(path, text, why) != 0) input_error(path, why.c_str());
}

void warn_first_cell_lambda(const Coefficients& co, const RunPlan& plan, Warnings& out) {
  if (!plan.lambda_warning_only) return;
  const char* names[] = {"lambda1", "lambda3"};
  const double values[] = {co.lambda1(1, 1), co.lambda3(1, 1)};
  for (int i = 0; i < 2; ++i) {
    if (values[i] > 0.0) continue;
    add_warning(out,
                "cell (1, 1): %s = %.6g Pa is not positive; the strain energy is positive "
                "definite (lambda of the plane form is K - mu), so the run goes on",
                names[i], values[i]);
  }
}

int convert_deck_file(const char* path, bool to_legacy, std::string& out,
                      std::vector<std::string>& warnings, DeckError& err) {
  std::string text, why;
  if (read_deck_file(path, text, why) != 0) {
    err = DeckError{0, "", why};
    return kInputErrorStatus;
  }
  static Deck d;
  RunPlan plan;
  if (int rc = read_deck_text(text, d, plan, err)) return rc;
  warnings.clear();
  if (!to_legacy) {
    out = keyword_deck_text(d, plan);
    return 0;
  }
  warnings = plan_differences(d, plan);
  return legacy_deck_text(d, out, err);
}

int convert_command(const std::string& deck, bool to_legacy, const std::string& out_path) {
  std::string text;
  std::vector<std::string> warnings;
  DeckError err;
  const int rc = convert_deck_file(deck.c_str(), to_legacy, text, warnings, err);
  for (const std::string& w : warnings) {
    std::fprintf(stderr, "threephase: warning: %s: %s\n", deck.c_str(), w.c_str());
  }
  if (rc != 0) {
    std::fprintf(stderr, "threephase: %s: %s\n", error_place(deck.c_str(), err).c_str(),
                 err.what.c_str());
    return rc;
  }
  std::FILE* f = out_path.empty() ? stdout : std::fopen(out_path.c_str(), "w");
  const char* name = out_path.empty() ? "standard output" : out_path.c_str();
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = f != nullptr && std::fflush(f) == 0 && ok;
  if (f != nullptr && f != stdout) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "threephase: %s: cannot write the converted deck\n", name);
    return kInputErrorStatus;
  }
  return 0;
}

}  // namespace tp
