#pragma once
// The system solved by MUMPS (complex double, unsymmetric LU with threshold
// pivoting) instead of the own solver: for grids past the own solver's
// tables, and over several MPI processes in the MPI build. A thin adapter:
// the matrix stays in the program's compressed sparse rows, the phases are
// the library's (analyse, factor, solve), every failure comes back as a code.
//
// Matrix, as the assembly leaves it (all 1-based):
//   ia[1..n+1] row starts, ja[1..nnz] column of each stored entry,
//   a[1..nnz] its value, nnz = ia(n+1) - 1.
// MUMPS takes the assembled matrix as coordinates (irn, jcn, a). The columns
// and values of compressed rows are already jcn and a in that form, so they
// are passed as they are; only irn, the row of each entry, is built (one
// integer per entry, the only copy made).
//
// Under MPI only rank 0 holds the matrix and the right-hand side; the other
// ranks run mumps_worker, which takes part in every phase rank 0 starts.
#include <cstdint>
#include <memory>
#include <string>

#include "common/complex.hpp"

namespace tp {

// What this build can do. kHaveMumps: the MUMPS adapter is linked;
// kHaveMumpsMpi: it is the MPI MUMPS (run under mpirun); kHaveMetis: the
// nested-dissection order is available. kSolverBuild says it in words.
#if defined(THREEPHASE_HAVE_MUMPS)
inline constexpr bool kHaveMumps = true;
#else
inline constexpr bool kHaveMumps = false;
#endif
#if defined(THREEPHASE_HAVE_MPI)
inline constexpr bool kHaveMumpsMpi = true;
#else
inline constexpr bool kHaveMumpsMpi = false;
#endif
#if defined(THREEPHASE_HAVE_METIS)
inline constexpr bool kHaveMetis = true;
#else
inline constexpr bool kHaveMetis = false;
#endif
extern const char* const kSolverBuild;

// Fill-reducing order of the analysis: MUMPS's approximate minimum degree,
// or METIS's nested dissection handed to MUMPS as the user's order.
// Measured on the compressibility matrix, AMD is the faster in all; it is
// the default.
enum class MumpsOrder { amd, metis };

struct MumpsOptions {
  MumpsOrder order = MumpsOrder::amd;
  bool out_of_core = false;    // factors written to disk during the factorization
  int workspace_percent = -1;  // extra working space over the analysis estimate; -1 default
  int memory_cap_mb = 0;       // cap on each process's working memory in MB; 0 none
};

// What the library reports after each phase (sums over all processes).
struct MumpsCounts {
  int infog1 = 0, infog2 = 0;        // status: < 0 error, > 0 warning; its detail
  double factor_entries = 0;         // entries of L and U
  double flops = 0;                  // floating-point operations of the elimination
  long long memory_in_core = 0;      // bytes the factorization will take, factors in memory
  long long memory_out_of_core = 0;  // the same with the factors on disk
};

// One factorization; owns the library's instance and the row indices irn.
struct MumpsInstance;
struct MumpsFactor {
  std::unique_ptr<MumpsInstance> in;
  MumpsCounts counts;
  MumpsFactor();
  ~MumpsFactor();
};

// Status codes of the phases besides MUMPS's own negative INFOG(1).
constexpr int kMumpsNotBuilt = -1000;  // this build has no MUMPS
constexpr int kMumpsNoMetis = -1001;   // METIS order asked, METIS not linked

// Analysis of the pattern and fill-reducing order. The arrays must outlive f
// (they are used, not copied). Returns 0 or a negative status; fills
// f.counts with the memory estimate of the factorization.
int mumps_analyse(MumpsFactor& f, int n, const std::int32_t* ia, const std::int32_t* ja,
                  const cplx* a, const MumpsOptions& opt);

// Numeric factorization of the analysed matrix. Returns 0 or a negative
// status; fills f.counts with the factor entries and flops.
int mumps_factor(MumpsFactor& f);

// Numeric factorization of another matrix of the analysed pattern, whose
// values a (in the analysed entry order) must outlive f: the analysis (job
// 1) serves any number of these (job 2).
int mumps_factor(MumpsFactor& f, const cplx* a);

// Solves A z = b: rhs[1..n] holds b on entry and z on return (rank 0).
int mumps_solve(MumpsFactor& f, cplx* rhs);

// Frees the library's instance (every process); f may analyse again.
void mumps_release(MumpsFactor& f);

// Bytes of one of the library's memory estimates (INFOG(16), (17), (26),
// (27)), which it gives in megabytes of 10^6 bytes, not of 2^20.
long long mumps_memory_bytes(int megabytes);

// The memory the factorization will take as the run asks for it: the
// out-of-core estimate (the factors on disk, the smaller) when out_of_core,
// else the in-core one.
long long mumps_factor_memory(const MumpsCounts& c, bool out_of_core);

// A sentence for a status: what failed and how to mend it.
std::string mumps_message(int infog1, int infog2);

// Normwise backward error of z: ||A z - b|| / (||A|| ||z|| + ||b||) in the
// infinity norm, of the compressed-row matrix (ia, ja, a) of order n.
double backward_error(int n, const std::int32_t* ia, const std::int32_t* ja, const cplx* a,
                      const cplx* z, const cplx* b);

// Under MPI: initialises MPI and returns this process's rank (0 without
// MPI). Every rank other than 0 should then run mumps_worker and end.
int mumps_process_start(int* argc, char*** argv);

// True when an MPI launcher (mpirun) started this process.
bool mumps_launched();

// The loop of a rank other than 0: runs each phase rank 0 starts until it
// ends; then finalises MPI. Returns the process's exit status.
int mumps_worker();

// On rank 0: tells the workers to end and finalises MPI (a no-op without
// MPI, or when called again). Called at exit.
void mumps_process_end();

// The ranks of a run that spreads its work over the launcher's processes
// (a curve's frequencies) instead of one factorization: every rank runs the
// command, none waits in mumps_worker, and the end sends no release. Called
// on every rank right after mumps_process_start.
void mumps_spread_ranks();

// This process's rank and the number of ranks (0 and 1 when not launched).
int mumps_rank();
int mumps_ranks();

// Gathers `count` doubles of every rank on rank 0 into all[rank * count +
// i]; every rank must call it with the same count. Without MPI, copies.
void mumps_gather(const double* mine, int count, double* all);

}  // namespace tp
