// Whole runs of the program as child processes on the permafrost example at
// N cells a side (60 by default), alternated in turns, with the ratios of
// their times:
//  - structure: the legacy run `PROGRAM < deck` of this build against a
//    baseline build, in the order A B in even turns and B A in odd ones;
//    target: this build within 3 % of the baseline;
//  - stiffness: the legacy run `PROGRAM < deck`, `PROGRAM run deck -o DIR`
//    (the legacy test and the vertical plate test) and the same with
//    `--stiffness full`, their order rotated from turn to turn; targets:
//    run at most 2.2 times the legacy run, run with the full stiffness at
//    most 3.3 times; with the medians of the stage timings of each run's
//    results.json (timings_wall_s).
// Each ratio is given as the median of the ratios within each turn and as
// the ratio of the medians, in wall and in processor seconds (the child's
// user and system time). One untimed run of each comes first.
//
//   bench_run_ratios [--turns T] [--cells N] [--baseline PROGRAM] [--program PROGRAM]
//                    [--only structure|stiffness]
//
// Without --baseline the structure comparison is skipped.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/full_run.hpp"

namespace {

using namespace tpbench;

// One kind of run: its arguments and its times over the turns.
struct Variant {
  const char* label;
  std::vector<const char*> argv;  // ending with a null pointer
  bool on_stdin;                  // the deck on standard input (the legacy invocation)
  int status;                     // the exit status of a normal end
  std::string results;            // results.json of a `run`, or empty
  std::vector<double> wall, cpu;
  std::vector<std::string> stages;  // the stage names of results.json, in order
  std::map<std::string, std::vector<double>> stage_wall;
};

// One run of v in the case folder, recorded; false when it did not end
// normally.
bool run_once(Variant& v, const std::string& dir, bool record) {
  const Process p = run_command(v.argv.data(), dir, v.on_stdin ? "deck" : nullptr);
  if (p.status != v.status) {
    std::fprintf(stderr, "%s ended with status %d (expected %d)\n", v.label, p.status, v.status);
    return false;
  }
  if (!record) return true;
  v.wall.push_back(p.wall);
  v.cpu.push_back(p.cpu);
  if (v.results.empty()) return true;
  std::ifstream in(v.results);
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.contains("timings_wall_s")) return true;
  for (const auto& [stage, seconds] : j["timings_wall_s"].items()) {
    if (!v.stage_wall.count(stage)) v.stages.push_back(stage);
    v.stage_wall[stage].push_back(seconds.get<double>());
  }
  return true;
}

double median_of(std::vector<double> v) { return median(v.data(), static_cast<int>(v.size())); }

// The ratio of b's times to a's, both ways, in wall and processor time;
// the verdict is on the median of the turns' ratios of the wall times (two
// runs of one turn share the machine's load of that moment).
void print_ratio(const Variant& b, const Variant& a, double target) {
  const PairedRatio w = paired_ratio(b.wall, a.wall), c = paired_ratio(b.cpu, a.cpu);
  std::printf(
      "%s / %s: wall %.3f (median of the turns' ratios), %.3f (ratio of the medians); "
      "processor %.3f, %.3f; target at most %.2f: %s\n",
      b.label, a.label, w.of_turns, w.of_medians, c.of_turns, c.of_medians, target,
      w.of_turns <= target ? "met" : "MISSED");
}

void print_times(const Variant& v) {
  std::printf("  %-28s wall median %.3f s (min %.3f, max %.3f), processor median %.3f s\n", v.label,
              median_of(v.wall), *std::min_element(v.wall.begin(), v.wall.end()),
              *std::max_element(v.wall.begin(), v.wall.end()), median_of(v.cpu));
}

// Runs the variants for `turns` turns, the order rotated each turn.
bool session(std::vector<Variant*> vs, const std::string& dir, int turns) {
  const int n = static_cast<int>(vs.size());
  for (Variant* v : vs)
    if (!run_once(*v, dir, false)) return false;
  for (int t = 0; t < turns; ++t)
    for (int i = 0; i < n; ++i)
      if (!run_once(*vs[(t + i) % n], dir, true)) return false;
  for (Variant* v : vs) print_times(*v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int turns = 15, cells = 60;
  const char* baseline = nullptr;
  const char* program = THREEPHASE_PROGRAM;
  std::string only;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--turns")) turns = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--cells")) cells = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--baseline")) baseline = argv[i + 1];
    if (!std::strcmp(argv[i], "--program")) program = argv[i + 1];
    if (!std::strcmp(argv[i], "--only")) only = argv[i + 1];
  }
  const std::string root = "/tmp/threephase-bench-ratios";
  const std::string dir = root + "/case";
  make_case_dir(dir, cells);
  const std::string out1 = root + "/run", out3 = root + "/run-full";
  const std::string deck = dir + "/deck";
  std::printf("permafrost example at %d by %d cells, %d turns; program %s\n", cells, cells, turns,
              program);

  Variant legacy{"legacy run", {program, nullptr}, true, 40, "", {}, {}, {}, {}};
  if (only.empty() || only == "structure") {
    if (baseline == nullptr) {
      std::printf("\nstructure: skipped (no --baseline)\n");
    } else {
      std::printf("\nstructure: the legacy run, this build against %s\n", baseline);
      Variant base{"baseline legacy run", {baseline, nullptr}, true, 40, "", {}, {}, {}, {}};
      if (!session({&base, &legacy}, dir, turns)) return 1;
      print_ratio(legacy, base, 1.03);
      legacy.wall.clear();
      legacy.cpu.clear();
    }
  }
  if (only.empty() || only == "stiffness") {
    std::printf("\nstiffness: run with the plate tests against the legacy run\n");
    Variant run{"run",
                {program, "run", deck.c_str(), "-o", out1.c_str(), nullptr},
                false,
                0,
                out1 + "/results.json",
                {},
                {},
                {},
                {}};
    Variant full{"run --stiffness full",
                 {program, "run", deck.c_str(), "-o", out3.c_str(), "--stiffness", "full", nullptr},
                 false,
                 0,
                 out3 + "/results.json",
                 {},
                 {},
                 {},
                 {}};
    if (!session({&legacy, &run, &full}, dir, turns)) return 1;
    print_ratio(run, legacy, 2.2);
    print_ratio(full, legacy, 3.3);
    const double base = median_of(legacy.wall);
    for (const Variant* v : {&run, &full}) {
      std::printf("  stages of %s (results.json timings_wall_s, medians; / legacy run's wall):\n",
                  v->label);
      double sum = 0;
      for (const std::string& s : v->stages) {
        const double m = median_of(v->stage_wall.at(s));
        sum += m;
        std::printf("    %-26s %.4f s  %.3f\n", s.c_str(), m, m / base);
      }
      std::printf("    %-26s %.4f s  %.3f; the rest of the process %.4f s\n", "sum of the stages",
                  sum, sum / base, median_of(v->wall) - sum);
    }
  }
  return 0;
}
