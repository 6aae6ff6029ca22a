// threephase run DECK [-o DIR] [--solver NAME] [--quiet]
//
// The run works in this process inside a staging folder next to DIR (same
// file system): report.txt, the legacy result files, results.json and maps/.
// Only when it ends normally is the staging folder renamed into place,
// replacing an earlier DIR in one step; a run that fails or is interrupted
// (SIGINT, SIGTERM, SIGHUP) removes its staging folder, and the folders it
// created to hold DIR, and leaves DIR as it was. A run killed outright can
// leave a hidden ".DIR.staging-PID" beside DIR, never a half-written DIR;
// the next run into DIR removes it.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands.hpp"
#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/deck_file.hpp"
#include "deck/frequencies.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/curves.hpp"
#include "driver/run.hpp"
#include "sparse/mumps_solver.hpp"

namespace tp {

namespace fs = std::filesystem;

namespace {

struct RunArgs {
  std::string deck, out, stiffness, frequencies, elastic_form;
  std::string deck_name;  // see --deck-name
  double maps_at = 0.0;   // Hz; 0: the first frequency of the curve
  int jobs = 0;
  bool quiet = false;
};

// The folders a run creates and must remove when it does not end normally.
struct Staging {
  fs::path dir;                   // the staging folder
  std::vector<fs::path> parents;  // folders created to hold the results, outermost first
};

// The default results folder: the deck's name without extension and
// "_results", in the working directory.
std::string default_out(const std::string& deck) {
  return fs::path(deck).stem().string() + "_results";
}

// The plan of a keyword deck, for the folders it names; none for a legacy
// deck or one that does not read (the run then refuses it with its message).
bool keyword_plan(const fs::path& deck, RunPlan& plan) {
  std::string text;
  if (!read_text_file(deck.c_str(), text) || deck_form(text) != DeckForm::keyword) return false;
  static Deck d;
  DeckError err;
  return read_keyword_deck(text, d, plan, err) == 0;
}

// A folder as an absolute path without "." or ".." and without a trailing
// separator: "out/" and "out" are the same folder, "." the working one.
fs::path folder_path(const fs::path& p) {
  fs::path f = fs::absolute(p).lexically_normal();
  if (!f.has_filename() && f.has_parent_path() && f != f.root_path()) f = f.parent_path();
  return f;
}

// The results folder: -o, else the deck's [run] output, else the default.
fs::path results_folder(const RunArgs& a, const fs::path& deck, const RunPlan* plan) {
  if (!a.out.empty()) return folder_path(a.out);
  if (plan != nullptr && !plan->output.empty())
    return folder_path(deck.parent_path() / plan->output);
  return folder_path(default_out(a.deck));
}

// True when `inner` is `outer` or lies inside it (both absolute and normal).
bool inside(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty()) continue;  // a trailing separator
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

// DIR may be replaced only when it is absent, empty, or an earlier run's
// results (it holds results.json): never a folder of other files, never the
// working directory or a folder holding it, and never a folder holding the
// deck or a side file the run reads (the deck's folder holds the reference
// files).
bool replaceable(const fs::path& out, const fs::path& deck, const RunPlan* plan, std::string& why) {
  std::vector<fs::path> inputs{deck.parent_path()};
  if (plan != nullptr && plan->porosity == PorositySource::file)
    inputs.push_back(folder_path(deck.parent_path() / plan->porosity_file));
  for (const fs::path& in : inputs) {
    if (inside(in, out)) {
      why = "holds the deck or a side file the run reads (" + in.string() +
            "); choose a results folder outside it";
      return false;
    }
  }
  std::error_code ec;
  if (inside(fs::current_path(ec), out)) {
    why = "is the working directory or holds it; choose a folder of its own";
    return false;
  }
  if (!fs::exists(out, ec)) return true;
  if (!fs::is_directory(out, ec)) {
    why = "exists and is not a folder";
    return false;
  }
  if (fs::is_empty(out, ec) || fs::exists(out / "results.json", ec)) return true;
  why = "exists and holds no earlier run's results (no results.json); choose another folder";
  return false;
}

// Removes the staging folders of earlier runs into `out` whose process is
// gone (killed outright): nobody will commit them.
void remove_stale_staging(const fs::path& out) {
  std::error_code ec;
  const std::string prefix = "." + out.filename().string() + ".staging-";
  for (const auto& e : fs::directory_iterator(out.parent_path(), ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      fs::remove_all(e.path(), ec);
  }
}

// Creates the folders that hold `out`, noting those it made, then the
// staging folder. False (message printed) when it cannot.
bool make_staging(const fs::path& out, Staging& s) {
  std::error_code ec;
  std::vector<fs::path> missing;
  for (fs::path p = out.parent_path(); !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.root_path()) break;
  }
  std::reverse(missing.begin(), missing.end());
  for (const fs::path& p : missing) {
    if (!fs::create_directory(p, ec)) {
      std::fprintf(stderr, "threephase: %s: cannot create the folder (%s)\n", p.c_str(),
                   ec.message().c_str());
      return false;
    }
    s.parents.push_back(p);
  }
  s.dir = out.parent_path() /
          ("." + out.filename().string() + ".staging-" + std::to_string(::getpid()));
  fs::remove_all(s.dir, ec);
  if (!fs::create_directory(s.dir, ec)) {
    std::fprintf(stderr, "threephase: %s: cannot create the staging folder (%s)\n", s.dir.c_str(),
                 ec.message().c_str());
    return false;
  }
  return true;
}

// Removes what the run created: the staging folder and the folders made
// to hold the results (innermost first, each only if still empty).
void remove_staging(const Staging& s) {
  std::error_code ec;
  if (!s.dir.empty()) fs::remove_all(s.dir, ec);
  for (auto p = s.parents.rbegin(); p != s.parents.rend(); ++p) fs::remove(*p, ec);
}

// The run being staged, for the interrupt watcher.
Staging* interrupted_staging = nullptr;
fs::path interrupted_out;

// Waits for SIGINT, SIGTERM or SIGHUP (blocked in every thread), then
// removes the staging folder and ends the process: the results folder stays
// as it was.
void watch_interrupts(sigset_t set) {
  int sig = 0;
  if (::sigwait(&set, &sig) != 0) return;
  if (interrupted_staging != nullptr) {
    remove_staging(*interrupted_staging);
    // A file created while the folder went is removed with a second pass.
    remove_staging(*interrupted_staging);
  }
  std::fprintf(stderr, "threephase: the run ended by signal %d; %s is unchanged\n", sig,
               interrupted_out.c_str());
  std::fflush(stderr);
  std::_Exit(kExitFailure);
}

void start_interrupt_watcher(Staging& s, const fs::path& out) {
  interrupted_staging = &s;
  interrupted_out = out;
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, sig);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(watch_interrupts, set).detach();
}

// Puts the staging folder in the place of out: an atomic exchange when out
// exists (the old results then go with the staging folder), else a rename.
// A file system without the exchange gets two renames, the old results
// kept aside until the new ones are in place.
bool commit(const fs::path& staging, const fs::path& out) {
  std::error_code ec;
  if (!fs::exists(out, ec)) return ::rename(staging.c_str(), out.c_str()) == 0;
  if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) {
    fs::remove_all(staging, ec);
    return !fs::exists(staging, ec);
  }
  const fs::path old = staging.string() + ".old";
  if (::rename(out.c_str(), old.c_str()) != 0) return false;
  if (::rename(staging.c_str(), out.c_str()) != 0) {
    const int err = errno;
    ::rename(old.c_str(), out.c_str());
    errno = err;
    return false;
  }
  fs::remove_all(old, ec);
  return true;
}

// The number of j at `key`, or NaN when it is not a number.
double number_at(const nlohmann::json& j, const char* key) {
  return j.contains(key) && j[key].is_number() ? j[key].get<double>() : NAN;
}

// A few lines from results.json on standard output: the sample's stiffness
// first, then the legacy test's values, labelled as such.
void print_summary(const fs::path& out) {
  std::ifstream in(out / "results.json");
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_discarded()) return;
  std::printf("threephase: results in %s (report.txt, results.json, maps/)\n", out.c_str());
  if (j.contains("effective")) {
    const auto& e = j["effective"];
    std::printf("  sample (rigid-plate tests, density %.6g kg/m3, time as %s):\n",
                number_at(e, "density_kg_per_m3"), e["time_convention"].get<std::string>().c_str());
    for (const char* m : {"c33", "c11", "c55"}) {
      if (!e["stiffness"].contains(m)) continue;
      const auto& c = e["stiffness"][m];
      std::printf("    %-4s velocity %.6g m/s, 1000/Q %.6g\n", m, number_at(c, "velocity_m_per_s"),
                  number_at(c, "q_inverse_times_1000"));
    }
  }
  if (j.contains("curves")) {
    const auto& c = j["curves"];
    std::printf("  curve of C33 over %zu frequencies (curves.csv; tools/plot %s draws it):\n",
                c["frequency_hz"].size(), out.c_str());
    for (std::size_t i = 0; i < c["frequency_hz"].size(); ++i) {
      std::printf("    %12.6g Hz  velocity %.6g m/s, 1000/Q %.6g%s\n",
                  c["frequency_hz"][i].get<double>(),
                  c["c33"]["velocity_m_per_s"][i].is_number()
                      ? c["c33"]["velocity_m_per_s"][i].get<double>()
                      : NAN,
                  c["c33"]["q_inverse_times_1000"][i].is_number()
                      ? c["c33"]["q_inverse_times_1000"][i].get<double>()
                      : NAN,
                  c["resolved"][i].get<bool>() ? "" : "  (diffusion length not resolved)");
    }
  }
  std::printf("  legacy compressibility test (not the sample's stiffness):\n");
  for (const char* m : {"c33", "mstar"}) {
    const auto& r = j["finite_element"][m];
    std::printf("    %-6s velocity %.6g m/s, 1000/Q %.6g\n", m, number_at(r, "velocity_m_per_s"),
                number_at(r, "q_inverse_times_1000"));
  }
  const auto& waves = j["plane_waves"];
  const auto& p1 = waves["compressional"][0];
  std::printf("  fast P wave (closed form) of cell (%d, %d): velocity %.6g m/s, 1000/Q %.6g\n",
              waves["cell"][0].get<int>(), waves["cell"][1].get<int>(),
              number_at(p1, "velocity_m_per_s"), number_at(p1, "q_inverse_times_1000"));
  if (j.contains("plane_waves_average_medium")) {
    const auto& a1 = j["plane_waves_average_medium"]["compressional"][0];
    std::printf(
        "  fast P wave (closed form) of the cell-averaged medium: velocity %.6g m/s, "
        "1000/Q %.6g\n",
        number_at(a1, "velocity_m_per_s"), number_at(a1, "q_inverse_times_1000"));
  }
  std::printf("  %zu warning(s)\n", j["warnings"].size());
}

// The run itself, in the staging folder: the deck read from its file, the
// side files beside it, the report in report.txt. Returns the modern status.
int run_in_staging(const fs::path& staging, const fs::path& deck, const RunArgs& a,
                   const CommandContext& ctx) {
  static Run run;  // the tables of a large grid stay off the stack
  run.options.modern = true;
  run.options.full_stiffness = a.stiffness == "full";
  run.options.elastic_form = a.elastic_form;
  run.options.jobs = a.jobs;
  if (!a.frequencies.empty()) {
    std::string why;
    if (!parse_frequencies(a.frequencies, run.options.frequencies, why)) {
      std::fprintf(stderr, "threephase: --frequencies %s: %s\n", a.frequencies.c_str(),
                   why.c_str());
      return kExitBadInput;
    }
  }
  run.options.deck_path = deck.string();
  run.options.deck_name = a.deck_name;
  run.options.output_dir = staging.string();
  if (!with_solver_choices(run.options, ctx)) return kExitBadInput;
  const fs::path report = staging / "report.txt";
  std::FILE* report_file = std::fopen(report.c_str(), "w");
  if (report_file == nullptr) {
    std::fprintf(stderr, "threephase: %s: cannot create the report (%s)\n", report.c_str(),
                 std::strerror(errno));
    return kExitOutput;
  }
  Unit& out = std_out();
  const Unit terminal = out;
  out = Unit{report_file, "report.txt"};
  set_output_dir(staging.c_str());
  set_input_dir(deck.parent_path().c_str());
  set_exit_style(ExitStyle::modern);
  // MUMPS's out-of-core factors go into the staging folder, which goes with
  // the run however it ends.
  if (std::getenv("MUMPS_OOC_TMPDIR") == nullptr) ::setenv("MUMPS_OOC_TMPDIR", staging.c_str(), 1);
  // Under a launcher every rank shares the curve with its own solver.
  if (mumps_ranks() > 1) run.options.solver_request = "own";
  int status = kExitFailure;
  try {
    std::string text;
    read_named_deck(deck.c_str(), text);
    read_run_deck(run, text, deck.c_str());
    // A curve's legacy test, report and maps are at its first frequency or
    // at the one named.
    if (!run.options.frequencies.empty())
      run.deck.freq = a.maps_at > 0.0 ? a.maps_at : run.options.frequencies.front();
    run_legacy_case(run);
  } catch (const RunEnded& e) {
    release_curve_ranks(static_cast<int>(run.options.frequencies.size()));
    status = ended_status(e);
  }
  out = terminal;
  set_output_dir(nullptr);
  if (std::fclose(report_file) != 0 && status == kExitSuccess) {
    std::fprintf(stderr, "threephase: %s: cannot write the output (%s)\n", report.c_str(),
                 std::strerror(errno));
    status = kExitOutput;
  }
  return status;
}

// A rank other than 0 of a launcher: its share of the curve, sent to rank
// 0, which writes everything. Returns its status.
int run_curve_rank(const RunArgs& a, const CommandContext& ctx) {
  static Run run;
  run.options.deck_path = fs::absolute(a.deck).lexically_normal().string();
  run.options.full_stiffness = a.stiffness == "full";
  run.options.elastic_form = a.elastic_form;
  run.options.jobs = a.jobs;
  run.options.print_warnings = false;
  run.options.solver_request = "own";
  std::string why;
  if (!with_solver_choices(run.options, ctx)) return kExitBadInput;
  run.options.solver_request = "own";
  if (!parse_frequencies(a.frequencies, run.options.frequencies, why)) return kExitBadInput;
  std::FILE* sink = std::fopen("/dev/null", "w");
  std_out() = Unit{sink, "/dev/null"};
  set_input_dir(fs::path(run.options.deck_path).parent_path().c_str());
  set_exit_style(ExitStyle::modern);
  try {
    std::string text;
    read_named_deck(run.options.deck_path.c_str(), text);
    read_run_deck(run, text, run.options.deck_path.c_str());
    // Rank 0's frequency, whose point it takes from its own plate tests.
    run.deck.freq = a.maps_at > 0.0 ? a.maps_at : run.options.frequencies.front();
    run_curve_share(run, run.options.frequencies, a.jobs);
  } catch (const RunEnded& e) {
    return ended_status(e);
  }
  return kExitSuccess;
}

int run_command(const RunArgs& a, const CommandContext& ctx) {
  if (mumps_rank() != 0) return run_curve_rank(a, ctx);
  const fs::path deck = fs::absolute(a.deck).lexically_normal();
  RunPlan plan;
  const RunPlan* named = keyword_plan(deck, plan) ? &plan : nullptr;
  const fs::path out = results_folder(a, deck, named);
  std::string why;
  if (!replaceable(out, deck, named, why)) {
    std::fprintf(stderr, "threephase: %s %s\n", out.c_str(), why.c_str());
    return kExitBadInput;
  }
  static Staging staging;
  start_interrupt_watcher(staging, out);
  if (!make_staging(out, staging)) {
    remove_staging(staging);
    return kExitOutput;
  }
  remove_stale_staging(out);
  std::fflush(nullptr);
  const int status = run_in_staging(staging.dir, deck, a, ctx);
  if (status != kExitSuccess) {
    remove_staging(staging);
    return status;
  }
  if (!commit(staging.dir, out)) {
    std::fprintf(stderr,
                 "threephase: %s: cannot move the results into place (%s); they are in %s\n",
                 out.c_str(), std::strerror(errno), staging.dir.c_str());
    return kExitOutput;
  }
  if (!a.quiet) print_summary(out);
  return flushed_status();
}

}  // namespace

void add_run_command(CLI::App& app, CommandContext& ctx) {
  CLI::App* cmd = app.add_subcommand(
      "run",
      "Run DECK (its side files beside it) into DIR: report.txt, the legacy result "
      "files, results.json and maps/*.npy; DIR is replaced only when the run succeeds");
  static RunArgs args;
  add_deck_argument(cmd, args.deck, "The deck (side files beside it)");
  cmd->add_option("-o,--output", args.out,
                  "Results folder (default: the deck's [run] output, beside the deck, else "
                  "the deck's name with _results, here)");
  cmd->add_option("--stiffness", args.stiffness,
                  "Rigid-plate tests: vertical (C33 and C13, the default) or full (also C11 "
                  "and C55, and the qP and qSV waves at every angle); default: the deck's "
                  "[run] stiffness")
      ->check(CLI::IsMember({"vertical", "full"}));
  cmd->add_option("--elastic-form", args.elastic_form,
                  "The coefficients' elastic form: two_dimensional (lambda = H - mu, the "
                  "default) or plane_strain (lambda = H - 2 mu / 3, a slice of a "
                  "three-dimensional rock); default: the deck's [run] elastic_form")
      ->check(CLI::IsMember({"two_dimensional", "plane_strain"}));
  cmd->add_option("--frequencies", args.frequencies,
                  "A curve: the sample's stiffness at every frequency of F1,F2,... (Hz) or "
                  "FMIN:FMAX:N (N points evenly spaced in log frequency), one analysis for all; "
                  "default: the deck's [run] frequencies");
  cmd->add_option("--maps-at", args.maps_at,
                  "Frequency (Hz) of the legacy test, its report and maps in a curve (default: "
                  "the first)")
      ->check(CLI::PositiveNumber);
  cmd->add_option("-j,--jobs", args.jobs,
                  "Frequencies computed at once (default: THREEPHASE_JOBS, else the processors; "
                  "fewer when the memory limit allows fewer)")
      ->check(CLI::PositiveNumber);
  cmd->add_option("--deck-name", args.deck_name,
                  "The deck's path as results.json records it (default: DECK's), for a copy of "
                  "the user's deck run in its place");
  cmd->add_flag("-q,--quiet", args.quiet,
                "Print nothing on success (otherwise a short summary on standard output)");
  cmd->callback([&ctx] {
    // Under a launcher `run` spreads a curve's frequencies over the ranks;
    // a single run's factorization over them is the legacy invocation's.
    const bool spread = !args.frequencies.empty();
    ctx.status =
        ctx.under_launcher && !spread ? refused_under_launcher("run") : run_command(args, ctx);
  });
}

}  // namespace tp
