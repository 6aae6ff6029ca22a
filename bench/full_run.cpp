// The driver's stages of one run, called one by one on its Run object and
// timed (see driver/run.cpp: run_legacy_case for the order they run in).
#include "bench/full_run.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "common/input.hpp"
#include "common/output.hpp"
#include "common/stop.hpp"
#include "deck/deck_file.hpp"

namespace tpbench {

namespace {

using namespace tp;

// A stage ended the run: the benchmark cannot go on.
[[noreturn]] void ended(const char* stage, const RunEnded& e) {
  std::fprintf(stderr, "bench: the run ended in %s (code %d)\n", stage, e.code);
  std::exit(1);
}

// Standard output of the runs: the report is not what is timed.
void report_to_null() {
  static std::FILE* devnull = std::fopen("/dev/null", "w");
  std_out() = Unit{devnull, "/dev/null"};
}

// Seconds of the stage `name` on the run's clock, 0 if it was not marked.
double clock_seconds(const StageClock& c, const char* name) {
  for (int i = 0; i < c.n; ++i)
    if (std::strcmp(c.stage[i], name) == 0) return c.seconds[i];
  return 0.0;
}

}  // namespace

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double processor_time() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Process run_command(const char* const* argv, const std::string& dir, const char* stdin_file) {
  const double t0 = now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int in = open(stdin_file != nullptr ? stdin_file : "/dev/null", O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
  return {now() - t0, cpu, ru.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

Process run_program(const char* program, const std::string& dir) {
  const char* argv[] = {program, nullptr};
  return run_command(argv, dir, "deck");
}

double median(double* v, int n) {
  std::sort(v, v + n);
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

PairedRatio paired_ratio(const std::vector<double>& b, const std::vector<double>& a) {
  std::vector<double> r, mb = b, ma = a;
  for (std::size_t i = 0; i < a.size(); ++i) r.push_back(b[i] / a[i]);
  const int n = static_cast<int>(a.size());
  return {median(r.data(), n), median(mb.data(), n) / median(ma.data(), n)};
}

std::string make_case_dir(const std::string& dir, int n) {
  const std::string rm = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && cp " +
                         THREEPHASE_SOURCE_DIR "/examples/permafrost/* '" + dir + "'";
  if (std::system(rm.c_str()) != 0) std::exit(1);
  std::ifstream in(dir + "/deck");
  std::stringstream text;
  std::string line;
  int no = 0;
  while (std::getline(in, line)) {
    ++no;
    // Lines 5 and 6 of the deck hold nx and ny.
    if (no == 5 || no == 6) line = std::to_string(n) + line.substr(line.find(' '));
    text << line << '\n';
  }
  in.close();
  std::ofstream(dir + "/deck") << text.str();
  return dir + "/deck";
}

void read_case(Run& run, const std::string& dir, Report report, StageTimes& t) {
  report_to_null();
  const std::string output_dir = dir + "/out";
  mkdir(output_dir.c_str(), 0755);
  set_input_dir(dir.c_str());
  set_output_dir(output_dir.c_str());
  run.options.output_dir = output_dir;
  const std::string deck = dir + "/deck";
  run.options.deck_path = deck;
  const double t0 = now();
  try {
    std::string text;
    read_named_deck(deck.c_str(), text);
    read_run_deck(run, text, deck.c_str());
    prepare_run(run, report);
  } catch (const RunEnded& e) {
    ended("the deck or prepare_run", e);
  }
  t.read = now() - t0;
}

void run_to_assembly(Run& run, Report report, StageTimes& t) {
  try {
    const double t0 = now();
    coefficients_at(run, run.deck.freq * 6.283185307179586, report);
    const double t1 = now();
    run_plane_waves(run, report);
    const double t2 = now();
    assemble_legacy_test(run);
    const double t3 = now();
    t.rock = t1 - t0;
    t.planewave = t2 - t1;
    t.assembly = t3 - t2;
  } catch (const RunEnded& e) {
    ended("the stages before the solver", e);
  }
}

std::unique_ptr<Run> assembled_case(const std::string& dir, int n) {
  make_case_dir(dir, n);
  auto run = std::make_unique<Run>();
  StageTimes t;
  read_case(*run, dir, Report::silent, t);
  run_to_assembly(*run, Report::silent, t);
  return run;
}

void run_solver(Run& run, StageTimes& t) {
  try {
    // A fresh analysis each time, as a new run makes; the clock starts now
    // so that its "ordering" mark is the ordering alone.
    run.analysed = false;
    run.clock = StageClock{};
    const double t0 = now();
    analyse_system(run);
    const double t1 = now();
    factor_and_solve_system(run);
    const double t2 = now();
    // The same solve again, alone: it reads only the factor and the load,
    // so the solution is the one just found.
    if (!run.use_mumps) own_solve(run.own, run.sys.rhs_m.view(), run.sys.z.view());
    const double t3 = now();
    t.ordering = clock_seconds(run.clock, "ordering");
    t.analyse = (t1 - t0) - t.ordering;
    t.solve = t3 - t2;
    t.numeric = (t2 - t1) - t.solve;
    t.factor = t.analyse + t.numeric + t.solve;
  } catch (const RunEnded& e) {
    ended("the solver", e);
  }
}

void run_post(Run& run, Report report, StageTimes& t) {
  try {
    const double t0 = now();
    post_process_legacy_test(run, report);
    if (report == Report::full) flush_all_units();
    t.post = now() - t0;
  } catch (const RunEnded& e) {
    ended("the post-processing", e);
  }
}

void run_plates(Run& run, StageTimes& t) {
  try {
    const double t0 = now();
    run_plate_tests(run);
    t.plates = now() - t0;
  } catch (const RunEnded& e) {
    ended("the plate tests", e);
  }
}

void close_case(Run& run) {
  ResultFiles& f = run.files;
  for (Unit* u : {&f.vp_anal, &f.vp_eq, &f.q_eq, &f.q_anal, &f.pressure, &f.grad_pressure,
                  &f.re_strain1, &f.im_strain1, &f.re_strain3, &f.im_strain3, &f.re_stress,
                  &f.im_stress, &f.solid3, &run.map_plain, &run.map_gnu})
    close_unit(*u);
  for (Unit& u : run.maps.map) close_unit(u);
}

int neq(const Run& run) { return unknowns(run.deck); }

SparseRows system_rows(Run& run) {
  return SparseRows{neq(run), run.sys.ia.view(), run.sys.ja.view(), run.sys.avec.view()};
}

const UnknownVector& rhs(const Run& run) { return run.sys.rhs_m; }
const UnknownVector& solution(const Run& run) { return run.sys.z; }

long long fill(const Run& run) { return static_cast<long long>(run.own.f.lnz) + run.own.f.unz; }

long long factor_multiply_adds(const Run& run) { return run.own.f.work_to[run.own.f.n]; }

std::uint64_t bytes_hash(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::uint64_t solution_hash(const Run& run) {
  return bytes_hash(run.sys.z.data(), sizeof(cplx) * static_cast<std::size_t>(neq(run)));
}

}  // namespace tpbench
