// The driver's steps, stage by stage, on the program's own routines (see
// driver/main.cpp for the run they reproduce).
#include "bench/full_run.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "common/output.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/stages.hpp"
#include "driver/sweep.hpp"
#include "fem/effective_moduli.hpp"
#include "planewave/veloc_aten.hpp"
#include "sparse/zndrv.hpp"

namespace tpbench {

namespace {

using namespace tp;

Deck deck;
Sample sample;
ReferenceValues refs;
Coefficients co;
Fractions fr;
double rob_med, omega, freq_fix;
CellWaves last;
System sys;
Array1<cplx> workspace;
int nsp = 0;
Results results;
ResultFiles files;
CoefficientMaps maps;
Unit map_plain, map_gnu;
int neq_ = 0;
SparseFactor factor;

void close_result_files() {
  for (Unit* u : {&files.vp_anal, &files.vp_eq, &files.q_eq, &files.q_anal, &files.pressure,
                  &files.grad_pressure, &files.re_strain1, &files.im_strain1, &files.re_strain3,
                  &files.im_strain3, &files.re_stress, &files.im_stress, &files.solid3})
    close_unit(*u);
  close_unit(map_gnu);
}

}  // namespace

const Deck& deck_of_run() { return deck; }
double angular_frequency() { return omega; }
const Coefficients& coefficients() { return co; }

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double processor_time() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Process run_program(const char* program, const std::string& dir) {
  const double t0 = now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int in = open("deck", O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    execl(program, program, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
  return {now() - t0, cpu, ru.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double median(double* v, int n) {
  std::sort(v, v + n);
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
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

void run_to_assembly(const std::string& dir, StageTimes& t) {
  if (chdir(dir.c_str()) != 0 || std::freopen("deck", "r", stdin) == nullptr) std::exit(1);
  static std::FILE* devnull = std::fopen("/dev/null", "w");
  std_out().f = devnull;
  close_result_files();

  double t0 = now();
  open_result_files(files);
  read_deck(deck);
  size_tables(deck, sample, co, sys, results);
  // The workspace is kept from one run to the next of the same size.
  if (workspace.size() != table_sizes(deck.nx, deck.ny).words) size_workspace(deck, workspace);
  nsp = static_cast<int>(workspace.size());
  const RunPlan plan = legacy_plan(deck);
  read_side_files(plan, sample, refs);
  material_map_pass(deck, plan, sample, map_plain, map_gnu);
  porosity_pass(deck, plan, sample);
  double t1 = now();
  t.read = t1 - t0;

  omega = deck.freq * 6.283185307179586;
  elastic_coefficients(deck, plan, sample, refs, omega, 1, co, maps);
  mass_coefficients(deck, sample, refs, 1, co, fr, maps);
  rob_med = average_density(deck, sample, fr);
  freq_fix = first_sweep_point(deck.freq, deck.freq_max, deck.n_freq);
  t0 = now();
  t.rock = t0 - t1;

  last = plane_waves(sample.grid, omega, co);
  t1 = now();
  t.planewave = t1 - t0;

  assemble_system(omega, sample.grid, co, sys);
  neq_ = unknowns(deck);
  t.assembly = now() - t1;
}

// The solver's phases as the driver runs them, each timed.
void run_solver(StageTimes& t) {
  const SparseRows a{neq_, sys.ia.view(), sys.ja.view(), sys.avec.view()};
  const double t0 = now();
  int flag = zn_order(a, sys.c.view(), sys.ic.view(), workspace.data(), nsp, nullptr);
  const double t1 = now();
  zn_init(factor, neq_, sys.c.view(), sys.c.view(), sys.ic.view(), workspace.data(), nsp);
  if (flag == 0) flag = zn_analyse(factor, a);
  const double t2 = now();
  if (flag == 0) flag = zn_factor(factor, a);
  const double t3 = now();
  if (flag != 0) {
    std::fprintf(stderr, "solver flag %d\n", flag);
    std::exit(1);
  }
  zn_solve(factor, sys.rhs_m.view(), sys.z.view());
  t.ordering = t1 - t0;
  t.analyse = t2 - t1;
  t.numeric = t3 - t2;
  t.solve = now() - t3;
  t.factor = t.analyse + t.numeric + t.solve;
}

void run_post(StageTimes& t) {
  const double t0 = now();
  const SampleState state{deck.nx,   deck.ny,      deck.h,      deck.domain_size,
                          fr.s1,     fr.s3_matrix, rob_med,     deck.phi_layer(1),
                          deck.freq, freq_fix,     last.p[0].v, last.p[0].q1000};
  post_process(sys, co, state, results);
  write_results(state, results, files);
  flush_all_units();
  t.post = now() - t0;
}

int neq() { return neq_; }
const RowStarts& ia() { return sys.ia; }
const ColumnIndices& ja() { return sys.ja; }
const MatrixValues& avec() { return sys.avec; }
const UnknownVector& rhs() { return sys.rhs_m; }
const UnknownVector& solution() { return sys.z; }

long long fill() { return static_cast<long long>(factor.lnz) + factor.unz; }

long long factor_multiply_adds() { return factor.work_to[factor.n]; }

std::uint64_t bytes_hash(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

std::uint64_t solution_hash() {
  return bytes_hash(sys.z.data(), sizeof(cplx) * static_cast<std::size_t>(neq_));
}

}  // namespace tpbench
