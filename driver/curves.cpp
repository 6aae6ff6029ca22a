#include "driver/curves.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "common/memory_estimate.hpp"
#include "common/progress.hpp"
#include "common/stop.hpp"
#include "driver/memory_check.hpp"
#include "driver/stages.hpp"
#include "sparse/mumps_solver.hpp"

namespace tp {

namespace {

constexpr double kTwoPi = 6.283185307179586;  // the legacy case's omega = freq * this

// What one thread holds: the coefficients of its frequency, a plate system
// with its loads, and its own numeric factorization on the run's analysis.
struct CurveWorker {
  Coefficients co;
  Fractions fr;
  CoefficientMaps maps;  // not written: the points are silent
  System sys;
  PlateLoad loads[2];
  OwnSolver own;
};

// A thread's own solver.
class WorkerPlateSolver : public PlateSolver {
 public:
  explicit WorkerPlateSolver(OwnSolver& own) : own_(own) {}
  void factor_and_solve(System& sys, PlateLoad* loads, int count) override {
    const SparseRows rows{sys.neq, sys.ia.view(), sys.ja.view(), sys.avec.view()};
    const int flag = own_factor(own_, rows, nullptr);
    if (flag != 0) {
      std::fprintf(stderr, "threephase: the factorization of a plate test failed (flag %d)\n",
                   flag);
      stop(99);
    }
    for (int t = 0; t < count; ++t) own_solve(own_, loads[t].b.view(), loads[t].z.view());
  }

 private:
  OwnSolver& own_;
};

bool size_worker(const CellGrid& g, CurveWorker& w) {
  return size_coefficients(w.co, g.nx, g.ny) && plate_system(g, w.sys) == 0 &&
         size_plate_load(w.sys, w.loads[0]) && size_plate_load(w.sys, w.loads[1]);
}

// Bytes a worker takes: its coefficients, plate system, loads and numeric
// factor (the symbolic factor is the run's).
std::int64_t worker_bytes(const Run& run) {
  const std::int64_t cells = static_cast<std::int64_t>(run.deck.nx) * run.deck.ny;
  const std::int64_t neq = run.sys.neq, room = run.sys.room;
  const std::int64_t system = room * 20 + neq * (4 + 16 * 6) + cells * 20 * 4;
  const std::int64_t factor =
      run.use_mumps ? 0 : factor_storage(run.own.n, run.own.f.lnz, run.own.f.unz).words * 16;
  return cells * 18 * 8 + system + factor;
}

// The coefficients of every cell at omega, silently, into w.
void worker_coefficients(const Run& run, const RunPlan& plan, double omega, CurveWorker& w) {
  elastic_coefficients(run.deck, plan, run.sample, run.refs, omega, false, w.co, w.maps);
  mass_coefficients(run.deck, run.sample, run.refs, false, w.co, w.fr, w.maps);
}

// One point of the curve.
void curve_point(const Run& run, CurveWorker& w, System& sys, PlateLoad* loads, PlateSolver& solver,
                 bool full, CurvePoint& p) {
  const double omega = p.frequency * kTwoPi;
  worker_coefficients(run, run.plan, omega, w);
  DiffusionScale scale;
  plane_waves(run.sample.grid, omega, w.co, nullptr, &scale, nullptr, false);
  p.cells_across = scale.cells_across;
  p.resolved = scale.resolved;
  PlateWork work{run.sample.grid, omega, w.co, sys, loads, solver};
  measure_stiffness(work, full, p.c);
}

// Largest elastic stiffness and friction over the cells, the scales of the
// penalties of the bounds.
void coefficient_scales(const CellGrid& g, const Coefficients& co, double& elastic,
                        double& friction) {
  elastic = friction = 0.0;
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      elastic = std::max(
          elastic, co.lambda1(j, k) + 2.0 * co.mu1(j, k) + co.lambda3(j, k) + 2.0 * co.mu3(j, k));
      friction = std::max({friction, co.f11(j, k), co.f22(j, k)});
    }
  }
}

// The two limits, each from one real solve. Relaxed: the coefficients far
// below the curve, the friction a penalty 1e-10 of the stiffness that only
// picks the fluid's motion among those costing no energy. Unrelaxed: the
// coefficients far above the curve, and the relative motions of the phases
// (solid 1 against solid 3, the fluid against the solids) held by a penalty
// P times the stiffness: both solids locked, the fluid still. The penalised
// stiffness is C - a / P, a / P about 6e-9 of C at P = 1e5 on the examples,
// where the own solver (no pivoting) and MUMPS still agree to 2e-9; the
// reactions are taken without the penalty (see measure_stiffness).
constexpr double kLockPenalty = 1e5;
enum class Limit { relaxed, unrelaxed };

void curve_bound(const Run& run, Limit limit, CurveWorker& w, PlateSolver& solver, System& sys,
                 PlateLoad* loads, Curve& curve) {
  const CellGrid& g = run.sample.grid;
  const double h2 = g.h * g.h;
  double elastic = 0.0, friction = 0.0;
  // The limits' coefficients are not a run's: a first cell whose lambda1
  // turns negative at the unrelaxed end (its shear modulus stiffens more
  // than its bulk modulus) is a limit of the model, as long as the strain
  // energy stays positive, not a stop.
  RunPlan limits = run.plan;
  limits.lambda_warning_only = true;
  if (limit == Limit::relaxed) {
    worker_coefficients(run, limits, curve.points.front().frequency * kTwoPi * 1e-9, w);
    coefficient_scales(g, w.co, elastic, friction);
    PlateWork relaxed{g, 1e-10 * elastic / (friction * h2), w.co, sys, loads, solver};
    measure_stiffness(relaxed, curve.full, curve.bounds.relaxed, Friction::real);
    return;
  }
  worker_coefficients(run, limits, curve.points.back().frequency * kTwoPi * 1e9, w);
  coefficient_scales(g, w.co, elastic, friction);
  for (int j = 1; j <= g.nx; ++j) {
    for (int k = 1; k <= g.ny; ++k) {
      w.co.f11(j, k) = w.co.f22(j, k) = 1.0;
      w.co.f12(j, k) = 0.0;
    }
  }
  PlateWork locked{g, kLockPenalty * elastic / h2, w.co, sys, loads, solver};
  measure_stiffness(locked, curve.full, curve.bounds.unrelaxed, Friction::real);
}

// How many factorizations fit at once beside the run's own tables.
int threads_in_memory(const Run& run, int wanted) {
  if (wanted <= 1) return 1;
  const std::int64_t per = worker_bytes(run);
  const std::int64_t held =
      estimate_run_memory(run.deck.nx, run.deck.ny, memory_solver(run.use_mumps, false)).total;
  const std::int64_t room = memory_limit() - held;
  const std::int64_t fit = per > 0 ? room / per : wanted;
  const int threads = static_cast<int>(std::clamp<std::int64_t>(fit, 1, wanted));
  if (threads < wanted)
    std::fprintf(stderr,
                 "threephase: %d factorizations at once of the %d threads asked: each takes "
                 "%s and the memory limit leaves %s\n",
                 threads, wanted, memory_text(per).c_str(), memory_text(room).c_str());
  return threads;
}

// The points of the curve on `threads` threads, each taking the next
// frequency; the first that fails stops the others and is rethrown, named.
// With bounds, the two limits are two more tasks of the threads, each one
// factorization like a point.
void curve_points(const Run& run, Curve& curve, const std::vector<int>& share, int threads,
                  bool bounds) {
  const int points = static_cast<int>(share.size());
  const int n = points + (bounds ? 2 : 0);
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> failed{false};
  std::vector<std::unique_ptr<CurveWorker>> workers(threads);
  std::vector<std::exception_ptr> errors(threads);
  std::vector<int> failed_at(threads, -1);
  ProgressLine line;
  progress_begin(line, "frequencies", "frequencies");
  const Progress progress = progress_to(line);
  auto work = [&](int t) {
    int i = -1;
    try {
      workers[t] = std::make_unique<CurveWorker>();
      CurveWorker& w = *workers[t];
      if (!size_worker(run.sample.grid, w))
        input_error("the curve", "a thread's tables do not fit in the memory available");
      own_share_analysis(run.own, w.own);
      WorkerPlateSolver solver(w.own);
      for (int s = 0; !failed && (s = next++) < n;) {
        if (s >= points) {
          curve_bound(run, s == points ? Limit::relaxed : Limit::unrelaxed, w, solver, w.sys,
                      w.loads, curve);
          progress(static_cast<double>(++done), static_cast<double>(n));
          continue;
        }
        i = share[static_cast<std::size_t>(s)];
        curve_point(run, w, w.sys, w.loads, solver, curve.full,
                    curve.points[static_cast<std::size_t>(i)]);
        progress(static_cast<double>(++done), static_cast<double>(n));
      }
    } catch (...) {
      errors[t] = std::current_exception();
      failed_at[t] = i;
      failed = true;
    }
    workers[t].reset();
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work, t);
  work(0);
  for (std::thread& p : pool) p.join();
  progress_end(line);
  for (int t = 0; t < threads; ++t) {
    if (!errors[t]) continue;
    if (failed_at[t] >= 0)
      std::fprintf(stderr, "threephase: the curve stopped at %.6g Hz\n",
                   curve.points[static_cast<std::size_t>(failed_at[t])].frequency);
    std::rethrow_exception(errors[t]);
  }
}

// The points one after another on the run's MUMPS analysis: MUMPS in a
// thread runs sequentially, and one analysis serves the whole curve.
void curve_points_in_turn(Run& run, Curve& curve, const std::vector<int>& share) {
  CurveWorker w;
  if (!size_coefficients(w.co, run.deck.nx, run.deck.ny))
    input_error("the curve", "its tables do not fit in the memory available");
  RunPlateSolver solver(run);
  for (const int i : share) {
    CurvePoint& p = curve.points[static_cast<std::size_t>(i)];
    try {
      curve_point(run, w, run.plate_sys, run.plate_loads, solver, curve.full, p);
    } catch (const RunEnded&) {
      std::fprintf(stderr, "threephase: the curve stopped at %.6g Hz\n", p.frequency);
      throw;
    }
  }
}

// The bounds on the run's MUMPS analysis, after the points (the own
// solver's threads take them beside the points).
void mumps_bounds(Run& run, Curve& curve) {
  CurveWorker w;
  if (!size_coefficients(w.co, run.deck.nx, run.deck.ny))
    input_error("the curve", "its tables do not fit in the memory available");
  RunPlateSolver solver(run);
  for (const Limit limit : {Limit::relaxed, Limit::unrelaxed})
    curve_bound(run, limit, w, solver, run.plate_sys, run.plate_loads, curve);
}

// The points of the curve this rank computes, of those not known already:
// each to the rank with the least work so far, counted in factorizations,
// where rank 0 starts with the four of its legacy test, its first plate
// test and the two limits. Every rank finds the same split.
std::vector<int> rank_share(const std::vector<bool>& known) {
  const int ranks = mumps_ranks(), rank = mumps_rank();
  std::vector<int> load(static_cast<std::size_t>(ranks), 0), share;
  if (ranks > 1) load[0] = 4;
  for (std::size_t i = 0; i < known.size(); ++i) {
    if (known[i]) continue;
    const auto least = std::min_element(load.begin(), load.end());
    ++*least;
    if (least - load.begin() == rank) share.push_back(static_cast<int>(i));
  }
  return share;
}

// How a rank's part of a curve ended, sent with its points: its kind of
// end (-1: finished) and code, and the frequency it stopped at.
constexpr int kHeadDoubles = 3, kPointDoubles = 13;
bool ranks_exchanged = false;

void pack_point(const CurvePoint& p, double* v) {
  const cplx c[5] = {p.c.c11, p.c.c13, p.c.c13_horizontal, p.c.c33, p.c.c55};
  for (int m = 0; m < 5; ++m) {
    v[2 * m] = c[m].real();
    v[2 * m + 1] = c[m].imag();
  }
  v[10] = p.cells_across;
  v[11] = p.resolved ? 1.0 : 0.0;
  v[12] = 1.0;  // computed
}

void unpack_point(const double* v, CurvePoint& p) {
  if (v[12] != 1.0) return;
  cplx* c[5] = {&p.c.c11, &p.c.c13, &p.c.c13_horizontal, &p.c.c33, &p.c.c55};
  for (int m = 0; m < 5; ++m) *c[m] = cplx(v[2 * m], v[2 * m + 1]);
  p.cells_across = v[10];
  p.resolved = v[11] == 1.0;
}

// Every rank's points and end to rank 0, which fills its curve with them;
// returns on rank 0 the first other rank that did not finish, else -1,
// with its end in theirs.
int exchange_points(Curve& curve, const std::vector<int>& share, const RunEnded* mine, int at,
                    RunEnded& theirs) {
  ranks_exchanged = true;
  const int n = static_cast<int>(curve.points.size());
  const int count = kHeadDoubles + n * kPointDoubles;
  std::vector<double> payload(static_cast<std::size_t>(count), 0.0);
  payload[0] = mine != nullptr ? static_cast<double>(mine->kind) : -1.0;
  payload[1] = mine != nullptr ? mine->code : 0.0;
  payload[2] = at;
  for (const int i : share)
    pack_point(curve.points[static_cast<std::size_t>(i)],
               &payload[kHeadDoubles + i * kPointDoubles]);
  std::vector<double> all(static_cast<std::size_t>(count) * mumps_ranks());
  mumps_gather(payload.data(), count, all.data());
  if (mumps_rank() != 0) return -1;
  int failed = -1;
  for (int r = 1; r < mumps_ranks(); ++r) {
    const double* from = &all[static_cast<std::size_t>(r) * count];
    if (from[0] >= 0.0 && failed < 0) failed = r;
    for (int i = 0; i < n; ++i)
      unpack_point(from + kHeadDoubles + i * kPointDoubles,
                   curve.points[static_cast<std::size_t>(i)]);
  }
  if (failed >= 0) {
    const double* from = &all[static_cast<std::size_t>(failed) * count];
    theirs = RunEnded(static_cast<int>(from[1]), static_cast<EndKind>(static_cast<int>(from[0])));
    const int stopped = static_cast<int>(from[2]);
    std::fprintf(
        stderr, "threephase: rank %d of the launcher ended its part of the curve%s%s\n", failed,
        stopped >= 0 ? " at " : "",
        stopped >= 0
            ? (std::to_string(curve.points[static_cast<std::size_t>(stopped)].frequency) + " Hz")
                  .c_str()
            : "");
  }
  return failed;
}

// This rank's points, on threads or in turn on MUMPS, then the exchange
// with the other ranks; an end of this rank or of another is rethrown after
// the exchange, so that no rank is left waiting.
void spread_points(Run& run, Curve& curve, const std::vector<bool>& known, int jobs) {
  const std::vector<int> share = rank_share(known);
  const bool bounds = mumps_rank() == 0;
  std::exception_ptr error;
  RunEnded ended(0, EndKind::stop);
  bool ended_here = false;
  try {
    if (run.use_mumps) {
      curve.threads = 1;
      curve_points_in_turn(run, curve, share);
      if (bounds) mumps_bounds(run, curve);
    } else {
      const int tasks = static_cast<int>(share.size()) + (bounds ? 2 : 0);
      curve.threads = threads_in_memory(run, curve_threads(jobs, tasks));
      curve_points(run, curve, share, curve.threads, bounds);
    }
  } catch (const RunEnded& e) {
    ended = e;
    ended_here = true;
    error = std::current_exception();
  }
  if (mumps_ranks() > 1) {
    RunEnded theirs(0, EndKind::stop);
    const int other = exchange_points(curve, share, ended_here ? &ended : nullptr, -1, theirs);
    if (other >= 0 && !error) throw theirs;
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace

void release_curve_ranks(int points) {
  if (mumps_ranks() <= 1 || ranks_exchanged) return;
  Curve none;
  none.points.assign(static_cast<std::size_t>(points), CurvePoint{});
  const RunEnded ended(kExitFailure, EndKind::input);
  RunEnded theirs(0, EndKind::stop);
  exchange_points(none, {}, &ended, -1, theirs);
}

void run_curve_share(Run& run, const std::vector<double>& frequencies, int jobs) {
  Curve curve;
  curve.full = run.options.full_stiffness;
  curve.points.assign(frequencies.size(), CurvePoint{});
  for (std::size_t i = 0; i < frequencies.size(); ++i) curve.points[i].frequency = frequencies[i];
  try {
    prepare_run(run, Report::silent);
    coefficients_at(run, frequencies.front() * kTwoPi, Report::silent);
    assemble_system(run.omega, run.sample.grid, run.co, run.sys);
    analyse_system(run);
  } catch (const RunEnded&) {
    release_curve_ranks(static_cast<int>(frequencies.size()));
    throw;
  }
  // Rank 0 takes the point at its own frequency from its plate tests.
  std::vector<bool> known(frequencies.size(), false);
  for (std::size_t i = 0; i < frequencies.size(); ++i)
    known[i] = frequencies[i] * kTwoPi == run.deck.freq * kTwoPi;
  spread_points(run, curve, known, jobs);
}

int curve_threads(int jobs, int frequencies) {
  int n = jobs;
  if (n <= 0) {
    const char* env = std::getenv("THREEPHASE_JOBS");
    n = env != nullptr ? std::atoi(env) : 0;
  }
  if (n <= 0) n = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
  return std::max(1, std::min(n, frequencies));
}

void run_curve(Run& run, const std::vector<double>& frequencies, int jobs, Curve& curve) {
  curve.full = run.options.full_stiffness;
  curve.points.assign(frequencies.size(), CurvePoint{});
  for (std::size_t i = 0; i < frequencies.size(); ++i) curve.points[i].frequency = frequencies[i];
  try {
    analyse_system(run);
  } catch (const RunEnded&) {
    release_curve_ranks(static_cast<int>(frequencies.size()));
    throw;
  }
  // The point at the run's own frequency is the plate tests it made already,
  // the same arithmetic: it is taken, not computed again.
  std::vector<bool> known(frequencies.size(), false);
  for (std::size_t i = 0; i < frequencies.size(); ++i) {
    if (frequencies[i] * kTwoPi != run.omega) continue;
    curve.points[i].c = run.stiffness;
    curve.points[i].cells_across = run.diffusion.cells_across;
    curve.points[i].resolved = run.diffusion.resolved;
    known[i] = true;
  }
  spread_points(run, curve, known, jobs);
  curve.analyses = run.use_mumps ? 1 : run.own.analyses;
  run.clock.mark("curve");
}

}  // namespace tp
