// Stiffness curves (`run --frequencies`) timed as whole runs, child
// processes alternated in turns (the order rotated from turn to turn), with
// their ratios in wall and processor time (the child's user and system
// time, with its waited-for children: mpirun's ranks) and their peak
// resident memory (wait4's ru_maxrss: the largest single process). Cases
// are the permafrost keyword deck (deck.toml) at N by N cells; its legacy
// twin cannot make a curve, since the unrelaxed bound's coefficients give
// the first cell a negative lambda1, which the legacy deck stops on and the
// keyword deck only warns about.
//
//   bench_curves [--part curve|memory|mumps|mpi] [--turns T] [--program P]
//                [--mpi-program P] [--cells N]
//
// Parts (all of them when none is named):
//   curve   20 frequencies (1:100000:20) at 60 by 60 in one run, -j 2 and
//           -j 1, against 20 single-frequency runs of the same sample (each
//           deck with its freq set to one of the curve's frequencies, read
//           back from the curve's results.json); target at most 0.35;
//   memory  peak memory of the curve at -j 1 and -j 2, 5 and 20 frequencies;
//   mumps   8 frequencies (1:100000:8) at 240 by 240 with --solver mumps,
//           against one MUMPS analysis and 8 numeric factorizations and
//           solves timed in this process on the legacy test matrix the Run
//           assembles (same pattern as the plate tests); target at most
//           1.10; with the run's stage times; no untimed first runs;
//   mpi     8 frequencies at 120 by 120 on 2 ranks (mpirun -np 2, -j 1)
//           against one rank without mpirun (-j 1), with the default solver
//           (MUMPS beyond 60 by 60) and with --solver own (what the ranks
//           use); target at most 0.6.
// --cells sets the grid of the part named (default 60, 60, 240, 120).
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/full_run.hpp"
#include "sparse/mumps_solver.hpp"

namespace {

using namespace tpbench;

// The times of one kind of run over the turns.
struct Kind {
  explicit Kind(std::string name) : label(std::move(name)) {}
  std::string label;
  std::vector<double> wall, cpu;
  std::vector<long> rss_kb;
  std::vector<std::string> stages;  // stage names of results.json, in order
  std::map<std::string, std::vector<double>> stage_wall;
};

double median_of(std::vector<double> v) { return median(v.data(), static_cast<int>(v.size())); }

// A command line as one string, for the record.
std::string command_text(const std::vector<std::string>& argv) {
  std::string s;
  for (const std::string& a : argv) s += (s.empty() ? "" : " ") + a;
  return s;
}

// Runs argv in dir; false (with a line) when it did not end with status 0.
bool run_child(const std::vector<std::string>& argv, const std::string& dir, Process& p) {
  std::vector<const char*> args;
  for (const std::string& a : argv) args.push_back(a.c_str());
  args.push_back(nullptr);
  p = run_command(args.data(), dir, nullptr);
  if (p.status != 0)
    std::fprintf(stderr, "bench: status %d of %s\n", p.status, command_text(argv).c_str());
  return p.status == 0;
}

// Adds the stage times of a run's results.json to k.
void read_stages(const std::string& results, Kind& k) {
  std::ifstream in(results);
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.contains("timings_wall_s")) return;
  for (const auto& [stage, seconds] : j["timings_wall_s"].items()) {
    if (!k.stage_wall.count(stage)) k.stages.push_back(stage);
    k.stage_wall[stage].push_back(seconds.get<double>());
  }
}

void record(Kind& k, double wall, double cpu, long rss) {
  k.wall.push_back(wall);
  k.cpu.push_back(cpu);
  k.rss_kb.push_back(rss);
}

// One kind of run: once unrecorded, then once per turn.
struct Job {
  Kind* kind;
  std::function<bool(bool record)> run;
};

// The jobs in turns, the order rotated from turn to turn, after one
// unrecorded run of each when warm_up (runs of minutes need none).
bool turns_of(std::vector<Job> jobs, int turns, bool warm_up = true) {
  const int n = static_cast<int>(jobs.size());
  for (Job& j : jobs)
    if (warm_up && !j.run(false)) return false;
  for (int t = 0; t < turns; ++t) {
    for (int i = 0; i < n; ++i) {
      Job& j = jobs[static_cast<std::size_t>((t + i) % n)];
      if (!j.run(true)) return false;
      std::printf("  turn %d: %-34s wall %8.3f s  processor %8.3f s  peak %7.1f MB\n", t + 1,
                  j.kind->label.c_str(), j.kind->wall.back(), j.kind->cpu.back(),
                  j.kind->rss_kb.back() / 1024.0);
      std::fflush(stdout);
    }
  }
  return true;
}

void print_kind(const Kind& k) {
  std::vector<double> rss(k.rss_kb.begin(), k.rss_kb.end());
  std::printf(
      "  %-34s wall median %.3f s (min %.3f, max %.3f), processor median %.3f s, "
      "peak memory median %.1f MB\n",
      k.label.c_str(), median_of(k.wall), *std::min_element(k.wall.begin(), k.wall.end()),
      *std::max_element(k.wall.begin(), k.wall.end()), median_of(k.cpu), median_of(rss) / 1024.0);
}

// b against a: the median of the turns' ratios (the verdict) and the ratio
// of the medians, in wall and processor time.
void print_ratio(const Kind& b, const Kind& a, double target) {
  const PairedRatio w = paired_ratio(b.wall, a.wall), c = paired_ratio(b.cpu, a.cpu);
  std::printf(
      "%s / %s: wall %.3f (median of the turns' ratios), %.3f (ratio of the medians); "
      "processor %.3f, %.3f",
      b.label.c_str(), a.label.c_str(), w.of_turns, w.of_medians, c.of_turns, c.of_medians);
  if (target > 0)
    std::printf("; target at most %.2f: %s", target, w.of_turns <= target ? "met" : "MISSED");
  std::printf("\n");
}

void print_stages(const Kind& k) {
  std::printf("  stages of %s (results.json timings_wall_s, medians):\n", k.label.c_str());
  double sum = 0;
  for (const std::string& s : k.stages) {
    const double m = median_of(k.stage_wall.at(s));
    sum += m;
    std::printf("    %-26s %9.3f s\n", s.c_str(), m);
  }
  std::printf("    %-26s %9.3f s; the rest of the process %.3f s\n", "sum of the stages", sum,
              median_of(k.wall) - sum);
}

// The permafrost example in dir (made afresh) with its keyword deck at n by
// n cells; returns the deck's path.
std::string keyword_case(const std::string& dir, int n) {
  make_case_dir(dir, n);
  std::ifstream in(dir + "/deck.toml");
  std::stringstream text;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("nx = ", 0) == 0 || line.rfind("ny = ", 0) == 0)
      line = line.substr(0, 5) + std::to_string(n) + line.substr(line.find(' ', 5));
    text << line << '\n';
  }
  in.close();
  std::ofstream(dir + "/deck.toml") << text.str();
  return dir + "/deck.toml";
}

// A copy of the keyword deck `deck` at frequency f (Hz), as `to`.
void deck_at(const std::string& deck, double f, const std::string& to) {
  std::ifstream in(deck);
  std::stringstream text;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("freq = ", 0) == 0) {
      char value[64];
      std::snprintf(value, sizeof value, "freq = %.17g", f);
      line = value;
    }
    text << line << '\n';
  }
  std::ofstream(to) << text.str();
}

// A whole `run` as a job: its times and its stage times.
Job run_job(Kind& k, const std::vector<std::string>& argv, const std::string& dir,
            const std::string& out) {
  return Job{&k, [&k, argv, dir, out](bool rec) {
               Process p{};
               if (!run_child(argv, dir, p)) return false;
               if (rec) {
                 record(k, p.wall, p.cpu, p.rss_kb);
                 read_stages(out + "/results.json", k);
               }
               return true;
             }};
}

// 1. Twenty frequencies in one run (-j 2 and -j 1) against twenty runs of
// one frequency each.
bool part_curve(const char* program, int cells, int turns) {
  const std::string dir = "/tmp/threephase-bench-curves/curve";
  const std::string deck = keyword_case(dir, cells);
  const std::string freqs = "1:100000:20";
  std::printf("\ncurve: permafrost keyword deck at %d by %d cells, --frequencies %s, %d turns\n",
              cells, cells, freqs.c_str(), turns);
  Kind j2{"run --frequencies (20) -j 2"}, j1{"run --frequencies (20) -j 1"},
      singles{"20 single-frequency runs"};
  const std::vector<std::string> a2 = {program,         "run", deck, "-o", dir + "/out-j2",
                                       "--frequencies", freqs, "-j", "2"};
  const std::vector<std::string> a1 = {program,         "run", deck, "-o", dir + "/out-j1",
                                       "--frequencies", freqs, "-j", "1"};
  // The curve's own frequencies, for the single runs.
  Process p{};
  if (!run_child(a2, dir, p)) return false;
  std::ifstream in(dir + "/out-j2/results.json");
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.contains("curves")) return false;
  const std::vector<double> f = j["curves"]["frequency_hz"].get<std::vector<double>>();
  std::vector<std::vector<std::string>> one;
  for (std::size_t i = 0; i < f.size(); ++i) {
    const std::string d = dir + "/deck-" + std::to_string(i) + ".toml";
    deck_at(deck, f[i], d);
    one.push_back({program, "run", d, "-o", dir + "/out-1"});
  }
  std::printf("  %s\n  %s\n  %s (for each of the %zu frequencies, deck-i.toml with freq = f_i)\n",
              command_text(a2).c_str(), command_text(a1).c_str(), command_text(one[0]).c_str(),
              f.size());
  Job singles_job{&singles, [&](bool rec) {
                    double wall = 0, cpu = 0;
                    long rss = 0;
                    for (const auto& argv : one) {
                      Process q{};
                      if (!run_child(argv, dir, q)) return false;
                      wall += q.wall;
                      cpu += q.cpu;
                      rss = std::max(rss, q.rss_kb);
                    }
                    if (rec) record(singles, wall, cpu, rss);
                    return true;
                  }};
  if (!turns_of({run_job(j2, a2, dir, dir + "/out-j2"), run_job(j1, a1, dir, dir + "/out-j1"),
                 singles_job},
                turns))
    return false;
  for (const Kind* k : {&j2, &j1, &singles}) print_kind(*k);
  print_ratio(j2, singles, 0.35);
  print_ratio(j1, singles, 0.35);
  print_ratio(j2, j1, 0);
  print_stages(j2);
  print_stages(j1);
  return true;
}

// 4. Peak memory against the threads and the number of frequencies.
bool part_memory(const char* program, int cells, int turns) {
  const std::string dir = "/tmp/threephase-bench-curves/memory";
  const std::string deck = keyword_case(dir, cells);
  std::printf("\nmemory: permafrost keyword deck at %d by %d cells, %d turns\n", cells, cells,
              turns);
  std::vector<Kind> kinds;
  std::vector<std::vector<std::string>> argvs;
  for (const char* jobs : {"1", "2"}) {
    for (const char* freqs : {"1:100000:5", "1:100000:20"}) {
      kinds.push_back(Kind{std::string("--frequencies ") + freqs + " -j " + jobs});
      argvs.push_back(
          {program, "run", deck, "-o", dir + "/out", "--frequencies", freqs, "-j", jobs});
    }
  }
  argvs.push_back({program, "run", deck, "-o", dir + "/out"});
  kinds.push_back(Kind{"single frequency (no curve)"});
  std::vector<Job> jobs;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    std::printf("  %s\n", command_text(argvs[i]).c_str());
    jobs.push_back(run_job(kinds[i], argvs[i], dir, dir + "/out"));
  }
  if (!turns_of(jobs, turns)) return false;
  for (const Kind& k : kinds) print_kind(k);
  return true;
}

// 2. Eight frequencies on MUMPS against one analysis and eight numeric
// factorizations and solves of the same pattern, timed here.
bool part_mumps(const char* program, int cells, int turns) {
  if (!tp::kHaveMumps) {
    std::printf("\nmumps: skipped (this build has no MUMPS)\n");
    return true;
  }
  const std::string dir = "/tmp/threephase-bench-curves/mumps";
  const std::string ref_dir = "/tmp/threephase-bench-curves/mumps-reference";
  const std::string deck = keyword_case(dir, cells);
  const std::string freqs = "1:100000:8";
  const std::vector<std::string> argv = {program,         "run", deck,       "-o",   dir + "/out",
                                         "--frequencies", freqs, "--solver", "mumps"};
  std::printf("\nmumps: permafrost at %d by %d cells, %d turns\n  %s\n", cells, cells, turns,
              command_text(argv).c_str());
  // The legacy test's matrix through the Run, once: the reference factors
  // it eight times on one analysis.
  const auto owner = assembled_case(ref_dir, cells);
  tp::Run& run = *owner;
  const int n = neq(run);
  std::vector<tp::cplx> z(static_cast<std::size_t>(n) + 1);
  Kind whole{"run --frequencies (8) --solver mumps"}, ref{"analysis + 8 x (factor + solve)"};
  std::vector<double> analyse_s, factor_s, solve_s;
  Job ref_job{&ref, [&](bool rec) {
                const double w0 = now(), c0 = processor_time();
                tp::MumpsFactor f;
                tp::MumpsOptions opt;  // AMD, in core: the run's defaults
                if (tp::mumps_analyse(f, n, run.sys.ia.data(), run.sys.ja.data(),
                                      run.sys.avec.data(), opt) != 0)
                  return false;
                const double w1 = now();
                double fac = 0, sol = 0;
                for (int i = 0; i < 8; ++i) {
                  const double t0 = now();
                  if (tp::mumps_factor(f, run.sys.avec.data()) != 0) return false;
                  const double t1 = now();
                  std::copy(run.sys.rhs_m.data(), run.sys.rhs_m.data() + n, z.data());
                  if (tp::mumps_solve(f, z.data()) != 0) return false;
                  fac += t1 - t0;
                  sol += now() - t1;
                }
                tp::mumps_release(f);
                if (rec) {
                  record(ref, now() - w0, processor_time() - c0, 0);
                  analyse_s.push_back(w1 - w0);
                  factor_s.push_back(fac / 8);
                  solve_s.push_back(sol / 8);
                  std::printf(
                      "  reference: analysis %.3f s, factorization %.3f s, solve %.3f s "
                      "(means of 8)\n",
                      w1 - w0, fac / 8, sol / 8);
                }
                return true;
              }};
  if (!turns_of({run_job(whole, argv, dir, dir + "/out"), ref_job}, turns, false)) return false;
  for (const Kind* k : {&whole, &ref}) print_kind(*k);
  std::printf("  reference medians: analysis %.3f s, one factorization %.3f s, one solve %.3f s\n",
              median_of(analyse_s), median_of(factor_s), median_of(solve_s));
  print_ratio(whole, ref, 1.10);
  print_stages(whole);
  return true;
}

// 3. Eight frequencies at 120 by 120 over two ranks against one.
bool part_mpi(const char* mpi_program, int cells, int turns) {
  const std::string dir = "/tmp/threephase-bench-curves/mpi";
  const std::string deck = keyword_case(dir, cells);
  const std::string freqs = "1:100000:8";
  ::setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  ::setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  const std::vector<std::string> two = {"/usr/bin/mpirun",
                                        "--allow-run-as-root",
                                        "--oversubscribe",
                                        "-np",
                                        "2",
                                        mpi_program,
                                        "run",
                                        deck,
                                        "-o",
                                        dir + "/out-2",
                                        "--frequencies",
                                        freqs,
                                        "-j",
                                        "1"};
  const std::vector<std::string> one = {mpi_program,     "run", deck, "-o", dir + "/out-1",
                                        "--frequencies", freqs, "-j", "1"};
  std::vector<std::string> one_own = one;
  one_own[4] = dir + "/out-1own";
  one_own.insert(one_own.end(), {"--solver", "own"});
  std::printf("\nmpi: permafrost at %d by %d cells, %d turns\n  %s\n  %s\n  %s\n", cells, cells,
              turns, command_text(two).c_str(), command_text(one).c_str(),
              command_text(one_own).c_str());
  Kind k2{"2 ranks (own solver on each)"}, k1{"1 rank, default solver"},
      k1own{"1 rank, --solver own"};
  if (!turns_of({run_job(k2, two, dir, dir + "/out-2"), run_job(k1, one, dir, dir + "/out-1"),
                 run_job(k1own, one_own, dir, dir + "/out-1own")},
                turns))
    return false;
  for (const Kind* k : {&k2, &k1, &k1own}) print_kind(*k);
  print_ratio(k2, k1own, 0.6);
  print_ratio(k2, k1, 0.6);
  for (const Kind* k : {&k2, &k1, &k1own}) print_stages(*k);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int turns = 5, cells = 0;
  std::string part;
  const char* program = THREEPHASE_PROGRAM;
  const char* mpi_program = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--turns")) turns = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--cells")) cells = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--part")) part = argv[i + 1];
    if (!std::strcmp(argv[i], "--program")) program = argv[i + 1];
    if (!std::strcmp(argv[i], "--mpi-program")) mpi_program = argv[i + 1];
  }
  mkdir("/tmp/threephase-bench-curves", 0755);
  std::printf("program %s\n", program);
  const auto at = [&](int n) { return cells > 0 ? cells : n; };
  bool ok = true;
  if (part.empty() || part == "curve") ok = ok && part_curve(program, at(60), turns);
  if (part.empty() || part == "memory") ok = ok && part_memory(program, at(60), turns);
  if (part.empty() || part == "mumps") ok = ok && part_mumps(program, at(240), turns);
  if (part.empty() || part == "mpi") {
    if (mpi_program == nullptr)
      std::printf("\nmpi: skipped (no --mpi-program)\n");
    else
      ok = ok && part_mpi(mpi_program, at(120), turns);
  }
  return ok ? 0 : 1;
}
