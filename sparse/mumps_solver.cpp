// The MUMPS adapter: the program's compressed rows handed to ZMUMPS, its
// phases one call each, its status turned into a code and a sentence, and
// the small MPI protocol that lets the ranks other than 0 follow rank 0.
#include "sparse/mumps_solver.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#if defined(THREEPHASE_HAVE_MUMPS)
#include <zmumps_c.h>
#endif
#if defined(THREEPHASE_HAVE_METIS)
#include <metis.h>
#endif
#if defined(THREEPHASE_HAVE_MPI)
#include <mpi.h>
#endif

namespace tp {

#if !defined(THREEPHASE_HAVE_MUMPS)
const char* const kSolverBuild = "own sparse solver only (built without MUMPS)";
#elif defined(THREEPHASE_HAVE_MPI)
const char* const kSolverBuild =
    kHaveMetis ? "own sparse solver; MUMPS " MUMPS_VERSION " over MPI (orders AMD, METIS)"
               : "own sparse solver; MUMPS " MUMPS_VERSION " over MPI (order AMD)";
#else
const char* const kSolverBuild =
    kHaveMetis ? "own sparse solver; MUMPS " MUMPS_VERSION " sequential (orders AMD, METIS)"
               : "own sparse solver; MUMPS " MUMPS_VERSION " sequential (order AMD)";
#endif

// Status sentence; the codes are those of the library's manual.
std::string mumps_message(int infog1, int infog2) {
  // Sizes in the detail count units, or millions of them when negative.
  const double size = infog2 >= 0 ? double(infog2) : -1e6 * infog2;
  char detail[160];
  const char* what = nullptr;
  bool sized = true;
  switch (infog1) {
    case 0:
      return "no error";
    case kMumpsNotBuilt:
      return "this build of threephase has no MUMPS; use the own solver";
    case kMumpsNoMetis:
      return "this build has no METIS; use the AMD order";
    case -5:
    case -7:
    case -13:
      what = "the solver could not allocate its working memory (%.0f entries asked)";
      break;
    case -8:
    case -9:
    case -14:
    case -15:
    case -17:
    case -20:
      what =
          "the solver's working space was too small (%.0f entries short); allow more "
          "extra working space";
      break;
    case -19:
      what = "the factorization needs more memory than the cap allows (%.0f bytes short)";
      break;
    case -10:
      what = "the matrix is numerically singular (%.0f pivots found)";
      sized = false;
      break;
    case -6:
      what = "the matrix is structurally singular (rank %.0f)";
      sized = false;
      break;
    case -90:
    case -91:
    case -92:
      what =
          "the out-of-core factors could not be written or read (%.0f); check the "
          "disk and MUMPS_OOC_TMPDIR";
      sized = false;
      break;
    default:
      what = "MUMPS failed (detail INFOG(2)=%.0f)";
      sized = false;
      break;
  }
  std::snprintf(detail, sizeof detail, what, sized ? size : double(infog2));
  return "MUMPS error INFOG(1)=" + std::to_string(infog1) + ": " + detail;
}

// Infinity norms of A z - b, A, z and b, accumulated row by row.
long long mumps_memory_bytes(int megabytes) { return static_cast<long long>(megabytes) * 1000000; }

long long mumps_factor_memory(const MumpsCounts& c, bool out_of_core) {
  return out_of_core ? c.memory_out_of_core : c.memory_in_core;
}

double backward_error(int n, const std::int32_t* ia, const std::int32_t* ja, const cplx* a,
                      const cplx* z, const cplx* b) {
  double r_norm = 0, a_norm = 0, z_norm = 0, b_norm = 0;
  for (int i = 0; i < n; ++i) {
    cplx s = 0;
    double row_sum = 0;
    for (int e = ia[i] - 1; e < ia[i + 1] - 1; ++e) {
      s += a[e] * z[ja[e] - 1];
      row_sum += std::abs(a[e]);
    }
    r_norm = std::max(r_norm, std::abs(s - b[i]));
    a_norm = std::max(a_norm, row_sum);
    z_norm = std::max(z_norm, std::abs(z[i]));
    b_norm = std::max(b_norm, std::abs(b[i]));
  }
  const double scale = a_norm * z_norm + b_norm;
  return scale > 0 ? r_norm / scale : r_norm;
}

#if defined(THREEPHASE_HAVE_MUMPS)

namespace {

// Job numbers of the library, and the one of ours that ends a worker.
constexpr int kJobInit = -1, kJobEnd = -2, kJobAnalyse = 1, kJobFactor = 2, kJobSolve = 3;
constexpr int kUseCommWorld = -987654;  // the library's name for MPI_COMM_WORLD

#if defined(THREEPHASE_HAVE_MPI)
constexpr int kJobQuit = -100;  // ends a worker's loop
// Processes of the run and whether MPI is live.
int world_size = 1;
bool mpi_live = false;
bool launched = false;  // started by an MPI launcher

// Rank 0 tells the workers the next phase (or the end). A worker waits for
// it without spinning: between phases rank 0 computes alone (coefficients,
// assembly, the results) and the worker's core is better left to others.
// Both sides use the nonblocking broadcast, since it never matches a
// blocking one.
void send_job(int job) {
  MPI_Request request;
  MPI_Ibcast(&job, 1, MPI_INT, 0, MPI_COMM_WORLD, &request);
  MPI_Wait(&request, MPI_STATUS_IGNORE);
}

int receive_job() {
  int job = 0, arrived = 0;
  MPI_Request request;
  MPI_Ibcast(&job, 1, MPI_INT, 0, MPI_COMM_WORLD, &request);
  const timespec pause{0, 1000000};  // 1 ms: a phase lasts far longer
  for (MPI_Test(&request, &arrived, MPI_STATUS_IGNORE); !arrived;
       MPI_Test(&request, &arrived, MPI_STATUS_IGNORE))
    nanosleep(&pause, nullptr);
  return job;
}
#endif

}  // namespace

struct MumpsInstance {
  ZMUMPS_STRUC_C id{};
  bool live = false;
  std::vector<MUMPS_INT> irn;      // irn[0..nnz-1] row of each stored entry
  std::vector<MUMPS_INT> perm_in;  // perm_in[0..n-1] pivot rank of each unknown (METIS)
};

namespace {

// ICNTL(k) and INFOG(k) with the manual's 1-based k.
MUMPS_INT& icntl(ZMUMPS_STRUC_C& id, int k) { return id.icntl[k - 1]; }
MUMPS_INT infog(const ZMUMPS_STRUC_C& id, int k) { return id.infog[k - 1]; }

// A count the library stores as -(value / 10^6) once it passes 2^31.
double large_count(MUMPS_INT v) { return v >= 0 ? double(v) : -double(v) * 1e6; }

// Runs one phase of the library; under MPI tells the workers first, so that
// every rank enters the same phase. A new instance is quiet: the adapter
// reports the failures itself.
void run_job(ZMUMPS_STRUC_C& id, int job) {
#if defined(THREEPHASE_HAVE_MPI)
  // A run started without mpirun starts MPI only when MUMPS is first used.
  if (!mpi_live) {
    MPI_Init(nullptr, nullptr);
    mpi_live = true;
  }
  if (world_size > 1) send_job(job);
#endif
  if (job == kJobInit) {
    id.par = 1;  // the host takes part in the factorization
    id.sym = 0;  // unsymmetric
    id.comm_fortran = kUseCommWorld;
  }
  id.job = job;
  zmumps_c(&id);
  if (job == kJobInit) {
    icntl(id, 1) = 0;  // no error, diagnostic or global messages
    icntl(id, 2) = 0;
    icntl(id, 3) = 0;
    icntl(id, 4) = 0;
  }
}

// Copies the status and the counts the last phase left in id.
void read_counts(const ZMUMPS_STRUC_C& id, MumpsCounts& c) {
  c.infog1 = infog(id, 1);
  c.infog2 = infog(id, 2);
}

#if defined(THREEPHASE_HAVE_METIS)
// Nested-dissection order of the graph of A (its pattern is symmetric) as
// MUMPS's user order: perm_in[i] is the pivot rank (1-based) of unknown i+1.
int metis_order(int n, const std::int32_t* ia, const std::int32_t* ja,
                std::vector<MUMPS_INT>& perm_in) {
  std::vector<idx_t> xadj(n + 1), adjncy;
  adjncy.reserve(ia[n] - 1);
  xadj[0] = 0;
  for (int i = 0; i < n; ++i) {
    for (int e = ia[i] - 1; e < ia[i + 1] - 1; ++e)
      if (ja[e] != i + 1) adjncy.push_back(ja[e] - 1);
    xadj[i + 1] = static_cast<idx_t>(adjncy.size());
  }
  idx_t nv = n;
  std::vector<idx_t> perm(n), iperm(n);
  if (METIS_NodeND(&nv, xadj.data(), adjncy.data(), nullptr, nullptr, perm.data(), iperm.data()) !=
      METIS_OK)
    return kMumpsNoMetis;
  perm_in.resize(n);
  for (int i = 0; i < n; ++i) perm_in[i] = iperm[i] + 1;
  return 0;
}
#endif

}  // namespace

MumpsFactor::MumpsFactor() : in(std::make_unique<MumpsInstance>()) {}
MumpsFactor::~MumpsFactor() { mumps_release(*this); }

int mumps_analyse(MumpsFactor& f, int n, const std::int32_t* ia, const std::int32_t* ja,
                  const cplx* a, const MumpsOptions& opt) {
  static_assert(sizeof(MUMPS_INT) == sizeof(std::int32_t), "ja is passed as MUMPS's jcn");
  static_assert(sizeof(ZMUMPS_COMPLEX) == sizeof(cplx), "avec is passed as MUMPS's a");
  MumpsInstance& m = *f.in;
  mumps_release(f);
  f.counts = MumpsCounts{};
  if (opt.order == MumpsOrder::metis && !kHaveMetis) return f.counts.infog1 = kMumpsNoMetis;
  const int nnz = ia[n] - 1;
  m.irn.resize(nnz);
  for (int i = 0; i < n; ++i)
    std::fill(m.irn.begin() + (ia[i] - 1), m.irn.begin() + (ia[i + 1] - 1), i + 1);
  m.perm_in.clear();
#if defined(THREEPHASE_HAVE_METIS)
  if (opt.order == MumpsOrder::metis) {
    const int st = metis_order(n, ia, ja, m.perm_in);
    if (st != 0) return f.counts.infog1 = st;
  }
#endif

  ZMUMPS_STRUC_C& id = m.id;
  run_job(id, kJobInit);
  m.live = true;
  read_counts(id, f.counts);
  if (f.counts.infog1 < 0) return f.counts.infog1;
  icntl(id, 5) = 0;                          // assembled matrix
  icntl(id, 18) = 0;                         // held on the host
  icntl(id, 7) = m.perm_in.empty() ? 0 : 1;  // AMD, or the user's order
  if (opt.workspace_percent >= 0) icntl(id, 14) = opt.workspace_percent;
  icntl(id, 22) = opt.out_of_core ? 1 : 0;
  icntl(id, 23) = opt.memory_cap_mb;
  id.n = n;
  id.nnz = nnz;
  id.irn = m.irn.data();
  id.jcn = const_cast<MUMPS_INT*>(ja);
  id.a = reinterpret_cast<ZMUMPS_COMPLEX*>(const_cast<cplx*>(a));
  id.perm_in = m.perm_in.empty() ? nullptr : m.perm_in.data();
  run_job(id, kJobAnalyse);
  read_counts(id, f.counts);
  // INFOG(17) and INFOG(27): megabytes (10^6 bytes) summed over the
  // processes, factors in memory and on disk.
  f.counts.memory_in_core = mumps_memory_bytes(infog(id, 17));
  f.counts.memory_out_of_core = mumps_memory_bytes(infog(id, 27));
  f.counts.factor_entries = large_count(infog(id, 20));  // the estimate, until factored
  f.counts.flops = id.rinfog[0];
  return f.counts.infog1 < 0 ? f.counts.infog1 : 0;
}

int mumps_factor(MumpsFactor& f) {
  ZMUMPS_STRUC_C& id = f.in->id;
  run_job(id, kJobFactor);
  read_counts(id, f.counts);
  f.counts.factor_entries = large_count(infog(id, 29));
  f.counts.flops = id.rinfog[2];
  return f.counts.infog1 < 0 ? f.counts.infog1 : 0;
}

int mumps_factor(MumpsFactor& f, const cplx* a) {
  f.in->id.a = reinterpret_cast<ZMUMPS_COMPLEX*>(const_cast<cplx*>(a));
  return mumps_factor(f);
}

int mumps_solve(MumpsFactor& f, cplx* rhs) {
  ZMUMPS_STRUC_C& id = f.in->id;
  id.rhs = reinterpret_cast<ZMUMPS_COMPLEX*>(rhs);
  id.nrhs = 1;
  id.lrhs = id.n;
  icntl(id, 9) = 1;  // A z = b, not the transpose
  run_job(id, kJobSolve);
  read_counts(id, f.counts);
  return f.counts.infog1 < 0 ? f.counts.infog1 : 0;
}

void mumps_release(MumpsFactor& f) {
  if (!f.in || !f.in->live) return;
  run_job(f.in->id, kJobEnd);
  f.in->live = false;
}

#if defined(THREEPHASE_HAVE_MPI)

// Started by a launcher (OpenMPI's mpirun, or a PMI/PMIx one): MPI now;
// alone: MPI only if MUMPS is used, so that runs with the own solver do not
// pay for its start.
int mumps_process_start(int* argc, char*** argv) {
  if (!std::getenv("OMPI_COMM_WORLD_SIZE") && !std::getenv("PMIX_RANK") && !std::getenv("PMI_RANK"))
    return 0;
  MPI_Init(argc, argv);
  mpi_live = true;
  launched = true;
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &world_size);
  return rank;
}

// A worker holds its own instance; its matrix and right-hand side stay
// empty, rank 0 distributes them inside the library.
int mumps_worker() {
  ZMUMPS_STRUC_C id{};
  for (;;) {
    const int job = receive_job();
    if (job == kJobQuit) break;
    if (job == kJobInit) {
      id.par = 1;
      id.sym = 0;
      id.comm_fortran = kUseCommWorld;
    }
    id.job = job;
    zmumps_c(&id);
    if (job == kJobInit) {
      for (int k = 1; k <= 4; ++k) icntl(id, k) = 0;
    }
  }
  MPI_Finalize();
  return 0;
}

bool mumps_launched() { return launched; }

namespace {
bool spread = false;  // every rank runs the command: no worker waits for jobs
}  // namespace

void mumps_spread_ranks() { spread = true; }

int mumps_rank() {
  int rank = 0;
  if (mpi_live) MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  return rank;
}

int mumps_ranks() { return mpi_live ? world_size : 1; }

void mumps_gather(const double* mine, int count, double* all) {
  if (!mpi_live || world_size == 1) {
    std::copy(mine, mine + count, all);
    return;
  }
  MPI_Gather(mine, count, MPI_DOUBLE, all, count, MPI_DOUBLE, 0, MPI_COMM_WORLD);
}

void mumps_process_end() {
  if (!mpi_live) return;
  if (world_size > 1 && !spread) send_job(kJobQuit);
  MPI_Finalize();
  mpi_live = false;
}

#else

int mumps_process_start(int*, char***) { return 0; }
bool mumps_launched() { return false; }
void mumps_spread_ranks() {}
int mumps_rank() { return 0; }
int mumps_ranks() { return 1; }
void mumps_gather(const double* mine, int count, double* all) {
  std::copy(mine, mine + count, all);
}
int mumps_worker() { return 0; }
void mumps_process_end() {}

#endif

#else  // no MUMPS in this build: every phase reports kMumpsNotBuilt.

struct MumpsInstance {};
MumpsFactor::MumpsFactor() = default;
MumpsFactor::~MumpsFactor() = default;

int mumps_analyse(MumpsFactor& f, int, const std::int32_t*, const std::int32_t*, const cplx*,
                  const MumpsOptions&) {
  return f.counts.infog1 = kMumpsNotBuilt;
}
int mumps_factor(MumpsFactor& f) { return f.counts.infog1 = kMumpsNotBuilt; }
int mumps_factor(MumpsFactor& f, const cplx*) { return f.counts.infog1 = kMumpsNotBuilt; }
int mumps_solve(MumpsFactor& f, cplx*) { return f.counts.infog1 = kMumpsNotBuilt; }
void mumps_release(MumpsFactor&) {}
int mumps_process_start(int*, char***) { return 0; }
bool mumps_launched() { return false; }
void mumps_spread_ranks() {}
int mumps_rank() { return 0; }
int mumps_ranks() { return 1; }
void mumps_gather(const double* mine, int count, double* all) {
  std::copy(mine, mine + count, all);
}
int mumps_worker() { return 0; }
void mumps_process_end() {}

#endif

}  // namespace tp
