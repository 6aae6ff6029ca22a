#include "converge/study.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

#include "common/staged_folder.hpp"
#include "common/stop.hpp"
#include "converge/refine.hpp"
#include "deck/keyword_deck.hpp"

namespace fs = std::filesystem;

namespace tp {

// Velocities must agree to the relative tolerance; 1000/Q near zero (an
// almost lossless sample) to 0.01 as well, Q = 100000 being lossless for
// any measurement.
const StudyQuantity kQuantities[kStudyQuantities] = {
    {"mstar_velocity", "m/s", "from deltavol1 Velocity(m/s) FE =", 0.0},
    {"mstar_1000_over_q", "1", "from deltavol1 1000/Q FE =", 0.01},
    {"c33_velocity", "m/s", "using averages Velocity(m/s) FE =", 0.0},
    {"c33_1000_over_q", "1", "using averages 1000/Q FE =", 0.01},
    {"closed_form_vp1", "m/s", "vp1 =", 0.0},
    {"closed_form_1000_over_q_p1", "1", "1000/qp1", 0.01},
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kLegacyEnd = 40, kMemoryStop = 3;

enum class LevelState { kPending, kRan, kMemory, kFailed };

// One refinement of the study and what its run gave.
struct Level {
  int r = 1, nx = 0, ny = 0;
  double h = 0;  // cell side (m)
  fs::path dir;
  const char* deck_name = "deck";
  LevelState state = LevelState::kPending;
  int status = 0;
  std::string message;
  double value[kStudyQuantities] = {};
};

// The reference files every level reads beside its deck.
constexpr const char* kReferenceFiles[2] = {"elast_coef_sand", "b11_b22_b12_sand"};

// The deck and its side files, read once: the levels are written from
// these texts, and `read` lists every file the study reads, which its
// output folder must not hold. A keyword deck keeps its [run] plan: each
// level is the same deck with its cell counts scaled, and the porosity file
// it names refined into the level's porosity.frac.
struct Source {
  std::string deck, frac;
  std::string reference[2];  // texts of kReferenceFiles ("" for one a keyword deck goes without)
  bool has_reference[2] = {false, false};
  fs::path folder;
  std::vector<fs::path> read;
  DeckGrid grid;
  double domain_size = 0;
  bool fractal = false;  // a porosity field read from a file
  bool keyword = false;
  const char* deck_name = "deck";  // the deck's name in a level's folder
};

bool read_text(const fs::path& p, std::string& text) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

bool write_text(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

// The n-th line of a text (1-based), "" past its end.
std::string line_of(const std::string& text, int n) {
  std::istringstream in(text);
  std::string line;
  for (int i = 0; i < n && std::getline(in, line); ++i) {
    if (i == n - 1) return line;
  }
  return "";
}

int input_fault(const std::string& what) {
  std::fprintf(stderr, "threephase converge: %s\n", what.c_str());
  return kExitBadInput;
}

int output_fault(const std::string& what) {
  std::fprintf(stderr, "threephase converge: %s\n", what.c_str());
  return kExitOutput;
}

// The grid, sample size and porosity model of a legacy deck, from its lines.
int legacy_source(const ConvergeOptions& o, Source& s) {
  std::string why;
  if (!deck_grid(s.deck, s.grid, why)) return input_fault(o.deck + ": " + why);
  s.domain_size = std::strtod(line_of(s.deck, 4).c_str(), nullptr);
  s.fractal = std::atoi(line_of(s.deck, 8).c_str()) == 1;
  if (s.fractal) s.read.push_back(s.folder / "porosity.frac");
  return 0;
}

// The grid, sample size and porosity file of a keyword deck, from its
// reader (which refuses, naming the line, what a run would refuse); the
// porosity file is the one the [run] plan names, beside the deck or absolute.
int keyword_source(const ConvergeOptions& o, Source& s) {
  const auto d = std::make_unique<Deck>();
  RunPlan plan;
  DeckError err;
  if (read_keyword_deck(s.deck, *d, plan, err) != 0)
    return input_fault(error_place(o.deck.c_str(), err) + ": " + err.what);
  s.keyword = true;
  s.deck_name = "deck.toml";
  s.grid = DeckGrid{d->nx, d->ny, d->nmat};
  s.domain_size = d->domain_size;
  s.fractal = plan.porosity == PorositySource::file;
  if (s.fractal) s.read.push_back(s.folder / plan.porosity_file);
  return 0;
}

// Reads the deck, its grid, sample size and porosity model, its two
// reference files (a keyword deck's when they are there) and its porosity
// file.
int read_source(const ConvergeOptions& o, Source& s) {
  const fs::path deck(o.deck);
  if (!read_text(deck, s.deck)) return input_fault(o.deck + ": cannot be read");
  s.folder = deck.has_parent_path() ? deck.parent_path() : fs::path(".");
  s.read = {deck};
  const int bad =
      deck_form(s.deck) == DeckForm::keyword ? keyword_source(o, s) : legacy_source(o, s);
  if (bad != 0) return bad;
  if (s.fractal && !read_text(s.read.back(), s.frac))
    return input_fault(s.read.back().string() + ": cannot be read");
  for (int i = 0; i < 2; ++i) {
    const fs::path p = s.folder / kReferenceFiles[i];
    s.has_reference[i] = read_text(p, s.reference[i]);
    if (!s.has_reference[i] && !(s.keyword && !fs::exists(p)))
      return input_fault(p.string() + ": cannot be read");
    if (s.has_reference[i]) s.read.push_back(p);
  }
  return 0;
}

// The level's deck: the legacy deck's lines with its counts scaled, or the
// keyword deck's text with its counts scaled and its porosity file the
// level's own, read back to make sure the plan and every count came through.
int level_deck(const Source& s, int r, std::string& deck) {
  std::string why;
  if (!s.keyword) return refine_deck_text(s.deck, r, deck, why) ? 0 : input_fault(why);
  if (!refine_keyword_text(s.deck, r, s.fractal ? "porosity.frac" : "", deck, why))
    return input_fault(why);
  const auto d = std::make_unique<Deck>();
  RunPlan plan;
  DeckError err;
  bool counts = read_keyword_deck(deck, *d, plan, err) == 0 && d->nx == s.grid.nx * r &&
                d->ny == s.grid.ny * r && d->nmat == s.grid.nmat;
  const auto coarse = std::make_unique<Deck>();
  RunPlan coarse_plan;
  read_keyword_deck(s.deck, *coarse, coarse_plan, err);
  for (int i = 1; counts && i <= s.grid.nmat; ++i) counts = d->nl(i) == coarse->nl(i) * r;
  if (counts) return 0;
  return input_fault(
      "the deck's nx, ny and every layer's nl must each be a plain integer on a "
      "line of its own (`nx = 20`) for the study to refine them");
}

// True when `p` is `folder` or lies below it, symbolic links resolved.
bool inside(const fs::path& p, const fs::path& folder) {
  std::error_code ec;
  fs::path a = fs::weakly_canonical(p, ec);
  if (ec) a = fs::absolute(p).lexically_normal();
  fs::path b = fs::weakly_canonical(folder, ec);
  if (ec) b = fs::absolute(folder).lexically_normal();
  const fs::path rel = a.lexically_relative(b);
  return !rel.empty() && *rel.begin() != "..";
}

// The study replaces its folder whole, so the folder may hold neither a
// file the study reads (the deck's own folder, or one above it) nor files
// of anything but an earlier study.
int check_output(const Source& s, const fs::path& out) {
  for (const fs::path& f : s.read)
    if (inside(f, out))
      return input_fault(out.string() + ": holds " + f.string() +
                         ", which the study reads; give the study a folder of its own with -o");
  std::error_code ec;
  if (!fs::exists(out, ec)) return 0;
  if (!fs::is_directory(out, ec)) return input_fault(out.string() + ": exists and is not a folder");
  if (fs::is_empty(out, ec) || fs::exists(out / "converge.json", ec)) return 0;
  return input_fault(out.string() +
                     ": holds other files and no earlier study (no converge.json); choose "
                     "another folder");
}

// Fills the level's folder in the staging folder: the refined deck, the
// refined porosity field and the two reference files.
int prepare_level(const Source& s, const fs::path& staging, Level& l) {
  l.nx = s.grid.nx * l.r;
  l.ny = s.grid.ny * l.r;
  l.h = s.domain_size / l.ny;
  l.dir = staging / ("level_" + std::to_string(l.r));
  l.deck_name = s.deck_name;
  std::string deck, frac, why;
  if (const int bad = level_deck(s, l.r, deck)) return bad;
  if (s.fractal && !refine_porosity_text(s.frac, s.grid.nx, s.grid.ny, l.r, frac, why))
    return input_fault(why);
  std::error_code ec;
  if (!fs::create_directory(l.dir, ec))
    return output_fault(l.dir.string() + ": cannot be created (" + ec.message() + ")");
  bool ok = write_text(l.dir / l.deck_name, deck);
  if (s.fractal) ok = write_text(l.dir / "porosity.frac", frac) && ok;
  for (int i = 0; i < 2; ++i)
    if (s.has_reference[i]) ok = write_text(l.dir / kReferenceFiles[i], s.reference[i]) && ok;
  return ok ? 0 : output_fault(l.dir.string() + ": the level's files cannot be written");
}

// The signal that asked the study to stop (0 while none has), and the
// level runs under way, which it must reach: a signal handler may touch
// only such plain globals.
constexpr int kMaxJobs = 256;
volatile sig_atomic_t stop_signal = 0;
volatile pid_t running_level[kMaxJobs];
constexpr int kStopSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void on_stop_signal(int sig) {
  stop_signal = sig;
  for (int i = 0; i < kMaxJobs; ++i)
    if (running_level[i] > 0) ::kill(running_level[i], sig);
}

// The study's staging folder beside its folder, and the handlers that stop
// the study on an interrupt. While alive, an interrupt ends the level runs;
// on leaving, the staging folder is removed unless it was put in place,
// and the earlier handlers come back.
struct StagedStudy {
  fs::path dir;
  bool placed = false;
  struct sigaction saved[3];
  explicit StagedStudy(const fs::path& out) : dir(staging_beside(out)) {
    stop_signal = 0;
    struct sigaction sa {};
    sa.sa_handler = on_stop_signal;  // no SA_RESTART: a wait ends at the signal
    for (int i = 0; i < 3; ++i) ::sigaction(kStopSignals[i], &sa, &saved[i]);
  }
  ~StagedStudy() {
    std::error_code ec;
    if (!placed) fs::remove_all(dir, ec);
    for (int i = 0; i < 3; ++i) ::sigaction(kStopSignals[i], &saved[i], nullptr);
  }
};

// Creates the staging folder (and the folders above the study's).
int open_staging(const fs::path& out, const StagedStudy& st) {
  std::error_code ec;
  fs::create_directories(out.parent_path(), ec);
  if (ec)
    return output_fault(out.parent_path().string() + ": cannot be created (" + ec.message() + ")");
  fs::remove_all(st.dir, ec);
  if (!fs::create_directory(st.dir, ec))
    return output_fault(st.dir.string() + ": the staging folder cannot be created (" +
                        ec.message() + ")");
  return 0;
}

// Starts the program in the level's folder on its deck; the report to
// stdout.txt, messages to stderr.txt. The child's process id, or -1. The
// stop signals are held back across the fork, so that a signal is either
// seen by the child's own default handling or, once the parent has the id
// in `slot`, forwarded to it.
pid_t start_level(const std::string& program, const Level& l, volatile pid_t& slot) {
  sigset_t stops, before;
  sigemptyset(&stops);
  for (int sig : kStopSignals) sigaddset(&stops, sig);
  sigprocmask(SIG_BLOCK, &stops, &before);
  const pid_t pid = fork();
  if (pid != 0) {
    if (pid > 0) slot = pid;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    return pid;
  }
  for (int sig : kStopSignals) signal(sig, SIG_DFL);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  // A level never outlives the study: killed outright (kill -9), the study
  // takes its levels with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() == 1) _exit(127);
  if (chdir(l.dir.c_str()) != 0) _exit(127);
  const int in = open(l.deck_name, O_RDONLY);
  const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0) _exit(127);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

// The last non-empty line of standard error of a level (its message, or
// its stop line when the report holds the reason), for a level that failed.
std::string last_message(const Level& l) {
  std::string err, line, last;
  read_text(l.dir / "stderr.txt", err);
  std::istringstream in(err);
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return last;
}

// Reads what a finished level gave, from its exit status and report.
void finish_level(int status, Level& l) {
  l.status = status;
  if (status == kLegacyEnd) {
    std::string report;
    read_text(l.dir / "stdout.txt", report);
    for (int q = 0; q < kStudyQuantities; ++q)
      l.value[q] = report_value(report, kQuantities[q].label);
    l.state = LevelState::kRan;
    return;
  }
  l.state = status == kMemoryStop ? LevelState::kMemory : LevelState::kFailed;
  l.message = last_message(l);
}

// Runs every level, up to `jobs` at once, and prints each as it ends. A
// stop signal starts no further level; the running ones end by it and are
// waited for.
void run_levels(const std::string& program, int jobs, std::vector<Level>& levels) {
  const std::size_t at_once = static_cast<std::size_t>(std::clamp(jobs, 1, kMaxJobs));
  std::vector<pid_t> pid(levels.size(), -1);
  std::vector<int> slot(levels.size(), -1);
  std::size_t next = 0, running = 0, done = 0;
  for (int i = 0; i < kMaxJobs; ++i) running_level[i] = 0;
  while (done < levels.size()) {
    while (!stop_signal && running < at_once && next < levels.size()) {
      int free = 0;
      while (running_level[free] != 0) ++free;
      pid[next] = start_level(program, levels[next], running_level[free]);
      if (pid[next] < 0) {
        levels[next].state = LevelState::kFailed;
        levels[next].message = "the level's run could not be started";
        ++done;
      } else {
        slot[next] = free;
        ++running;
      }
      ++next;
    }
    if (running == 0) break;  // stopped before the rest started, or all done
    int raw = 0;
    const pid_t ended = wait(&raw);
    if (ended < 0 && errno == EINTR) continue;
    if (ended < 0) break;
    for (std::size_t i = 0; i < levels.size(); ++i) {
      if (pid[i] != ended) continue;
      running_level[slot[i]] = 0;
      finish_level(WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), levels[i]);
      --running;
      ++done;
      const Level& l = levels[i];
      if (l.state == LevelState::kRan)
        std::printf("level %d: %d by %d cells, h = %.6g m: done\n", l.r, l.nx, l.ny, l.h);
      std::fflush(stdout);
    }
  }
}

// The levels that ran, for the assessment.
std::vector<const Level*> ran(const std::vector<Level>& levels) {
  std::vector<const Level*> out;
  for (const Level& l : levels)
    if (l.state == LevelState::kRan) out.push_back(&l);
  return out;
}

// A number as the table writes it: shortest exact form, NaN as empty
// (CSV) or null (JSON).
std::string num(double v, const char* none) {
  if (!std::isfinite(v)) return none;
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string quoted(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') q += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) q += c;
  }
  return q + "\"";
}

// One row per result: its values by level, order, extrapolation, error,
// tolerance and verdict.
struct Row {
  const StudyQuantity* q;
  std::vector<double> f;
  Assessment a;
};

std::vector<Row> assess_rows(const std::vector<const Level*>& done, double rel) {
  std::vector<Row> rows;
  std::vector<double> h;
  for (const Level* l : done) h.push_back(l->h);
  for (int q = 0; q < kStudyQuantities; ++q) {
    Row row{&kQuantities[q], {}, {}};
    for (const Level* l : done) row.f.push_back(l->value[q]);
    row.a = assess(h.data(), row.f.data(), static_cast<int>(h.size()),
                   Tolerance{rel, kQuantities[q].floor});
    rows.push_back(row);
  }
  return rows;
}

bool write_csv(const fs::path& p, const std::vector<const Level*>& done,
               const std::vector<Row>& rows) {
  std::ostringstream s;
  s << "quantity,unit";
  for (const Level* l : done) s << ",r" << l->r << " (" << l->nx << "x" << l->ny << ")";
  s << ",order,extrapolated,error,tolerance,verdict\n";
  for (const Row& row : rows) {
    s << row.q->name << "," << row.q->unit;
    for (double v : row.f) s << "," << num(v, "");
    s << "," << num(row.a.order, "") << "," << num(row.a.extrapolated, "") << ","
      << num(row.a.error, "") << "," << num(row.a.tolerance, "") << ","
      << verdict_name(row.a.verdict) << "\n";
  }
  return write_text(p, s.str());
}

const char* state_name(LevelState s) {
  switch (s) {
    case LevelState::kRan:
      return "ran";
    case LevelState::kMemory:
      return "left out: memory";
    case LevelState::kFailed:
      return "failed";
    case LevelState::kPending:
      return "not run";
  }
  return "";
}

void json_levels(std::ostringstream& s, const std::vector<Level>& levels) {
  s << "  \"levels\": [\n";
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const Level& l = levels[i];
    s << "    {\"refine\": " << l.r << ", \"nx\": " << l.nx << ", \"ny\": " << l.ny
      << ", \"cell_size_m\": " << num(l.h, "null") << ", \"state\": " << quoted(state_name(l.state))
      << ", \"exit_status\": " << l.status << ", \"message\": " << quoted(l.message)
      << ", \"folder\": " << quoted(l.dir.filename().string()) << "}"
      << (i + 1 < levels.size() ? ",\n" : "\n");
  }
  s << "  ],\n";
}

void json_rows(std::ostringstream& s, const std::vector<Row>& rows) {
  s << "  \"results\": [\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    s << "    {\"quantity\": " << quoted(row.q->name) << ", \"unit\": " << quoted(row.q->unit)
      << ", \"values\": [";
    for (std::size_t v = 0; v < row.f.size(); ++v) s << (v ? ", " : "") << num(row.f[v], "null");
    s << "], \"order\": " << num(row.a.order, "null")
      << ", \"extrapolated\": " << num(row.a.extrapolated, "null")
      << ", \"error\": " << num(row.a.error, "null")
      << ", \"tolerance\": " << num(row.a.tolerance, "null")
      << ", \"verdict\": " << quoted(verdict_name(row.a.verdict)) << "}"
      << (i + 1 < rows.size() ? ",\n" : "\n");
  }
  s << "  ]\n";
}

bool write_json(const fs::path& p, const ConvergeOptions& o, const std::vector<Level>& levels,
                const std::vector<const Level*>& done, const std::vector<Row>& rows) {
  std::ostringstream s;
  s << "{\n  \"deck\": " << quoted(o.deck)
    << ",\n  \"relative_tolerance\": " << num(o.rel_tol, "null") << ",\n  \"refinements_run\": [";
  for (std::size_t i = 0; i < done.size(); ++i) s << (i ? ", " : "") << done[i]->r;
  s << "],\n";
  json_levels(s, levels);
  json_rows(s, rows);
  s << "}\n";
  return write_text(p, s.str());
}

void print_table(const std::vector<const Level*>& done, const std::vector<Row>& rows) {
  std::printf("\n%-28s", "result");
  for (const Level* l : done) std::printf(" %16s", ("r=" + std::to_string(l->r)).c_str());
  std::printf(" %8s %16s %11s  %s\n", "order", "extrapolated", "error", "verdict");
  for (const Row& row : rows) {
    std::printf("%-28s", row.q->name);
    for (double v : row.f) std::printf(" %16.9g", v);
    std::printf(" %8.3g %16.9g %11.3g  %s\n", row.a.order, row.a.extrapolated, row.a.error,
                verdict_name(row.a.verdict));
  }
}

// The program each level runs: the one given, else this very program.
std::string level_program(const ConvergeOptions& o) {
  if (!o.program.empty()) return o.program;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("threephase") : self.string();
}

// Prints the levels left out or failed; returns the study's status.
int level_status(const std::vector<Level>& levels, std::size_t n_ran) {
  int status = kExitSuccess;
  bool computation = false;
  for (const Level& l : levels) {
    if (l.state == LevelState::kMemory)
      std::fprintf(stderr,
                   "threephase converge: level %d (%d by %d cells) left out: it would need more "
                   "memory than the limit (%s)\n",
                   l.r, l.nx, l.ny, l.message.c_str());
    if (l.state == LevelState::kFailed) {
      std::fprintf(stderr,
                   "threephase converge: level %d (%d by %d cells) failed with status %d: %s\n",
                   l.r, l.nx, l.ny, l.status, l.message.c_str());
      computation = computation || (l.status != kExitBadInput && l.status != 127);
      status = computation ? kExitStopped : kExitFailure;
    }
  }
  if (n_ran == 0 && status == kExitSuccess) status = kExitMemory;
  return status;
}

// An interrupted study: its levels have ended, its staging folder goes,
// the earlier study stays; then the process ends by the same signal, as
// the shell that sent it expects.
int stopped_by_signal(StagedStudy& st, const fs::path& out) {
  const int sig = stop_signal;
  std::error_code ec;
  fs::remove_all(st.dir, ec);
  std::fprintf(stderr, "threephase converge: stopped by signal %d; %s is left as it was\n", sig,
               out.c_str());
  std::fflush(nullptr);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
  return 128 + sig;
}

}  // namespace

bool parse_refinements(const std::string& text, std::vector<int>& refine) {
  refine.clear();
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    char* end = nullptr;
    const long v = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || v < 1 || v > 64) return false;
    if (!refine.empty() && v <= refine.back()) return false;
    refine.push_back(static_cast<int>(v));
  }
  return !refine.empty();
}

double report_value(const std::string& report, const char* label) {
  auto collapse = [](const std::string& s) {
    std::string c;
    for (char ch : s)
      if (!(ch == ' ' && (c.empty() || c.back() == ' '))) c += ch;
    return c;
  };
  const std::string want = collapse(label);
  std::istringstream in(report);
  std::string line;
  while (std::getline(in, line)) {
    const std::string c = collapse(line);
    const std::size_t at = c.find(want);
    if (at == std::string::npos) continue;
    const char* p = c.c_str() + at + want.size();
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end != p) return v;
  }
  return kNaN;
}

int converge_study(const ConvergeOptions& o) {
  // 1. The deck and its side files, read once.
  Source src;
  if (const int bad = read_source(o, src)) return bad;
  // 2. The study's folder: replaced whole at the end, so it may hold
  // nothing the study reads and nothing but an earlier study.
  fs::path out =
      fs::absolute(o.out_dir.empty() ? fs::path(fs::path(o.deck).filename().string() + "_converge")
                                     : fs::path(o.out_dir))
          .lexically_normal();
  if (!out.has_filename()) out = out.parent_path();  // "DIR/" and "DIR/." name DIR
  if (const int bad = check_output(src, out)) return bad;
  // 3. The study is built in a staging folder beside it; an earlier study
  // stays as it is until the new one is complete.
  StagedStudy st(out);
  if (const int bad = open_staging(out, st)) return bad;
  // 4. One folder per level with the refined deck and porosity field.
  std::vector<Level> levels;
  for (int r : o.refine) {
    Level l;
    l.r = r;
    if (const int bad = prepare_level(src, st.dir, l)) return bad;
    levels.push_back(l);
  }
  std::printf("convergence study of %s: %zu levels in %s, %d at once\n", o.deck.c_str(),
              levels.size(), out.c_str(), o.jobs);
  std::fflush(stdout);
  // 5. The runs, then the assessment of each result over the levels that ran.
  run_levels(level_program(o), o.jobs, levels);
  if (stop_signal) return stopped_by_signal(st, out);
  const std::vector<const Level*> done = ran(levels);
  const std::vector<Row> rows = assess_rows(done, o.rel_tol);
  // 6. The table, on standard output and in converge.csv and converge.json.
  const bool written = write_csv(st.dir / "converge.csv", done, rows) &&
                       write_json(st.dir / "converge.json", o, levels, done, rows);
  if (!done.empty()) print_table(done, rows);
  const int status = level_status(levels, done.size());
  if (!written) return output_fault(st.dir.string() + ": the table cannot be written");
  if (stop_signal) return stopped_by_signal(st, out);
  // 7. A complete study takes the place of the earlier one; a failed one
  // leaves it as it was.
  if (status != kExitSuccess) {
    std::fprintf(stderr, "threephase converge: the study failed; %s is left as it was\n",
                 out.c_str());
    return status;
  }
  if (!put_in_place(st.dir, out))
    return output_fault(out.string() + ": the study cannot be moved into place (" +
                        std::strerror(errno) + ")");
  st.placed = true;
  std::printf("\nstudy in %s: converge.csv, converge.json (tools/plot draws converge.png)\n",
              out.c_str());
  return status;
}

}  // namespace tp
