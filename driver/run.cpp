#include "driver/run.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/progress.hpp"
#include "common/stop.hpp"
#include "driver/readata.hpp"
#include "model/makematnum.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "sparse/zndrv.hpp"

namespace tp {

void read_deck(Deck& d) {
  readata(d.freq, d.freq_max, d.n_freq, d.domain_size, d.nx, d.ny, d.key_model, d.nmat, d.akf,
          d.ro2, d.eta, d.ro1, d.ro3, d.phi_a, d.phi_layer, d.capa_1_0, d.capa_3_0, d.s3, d.rs1,
          d.rs3, d.coef_b13, d.ak_s1, d.xmu_s1, d.ak_s3, d.xmu_s3, d.ak_air, d.xmu_air, d.model,
          d.h, d.nl);
}

void material_map_pass(Deck& d, IntField& map, Unit& plain, Unit& gnu) {
  open_unit(plain, "matnum_p33");
  open_unit(gnu, "matnum_p33_gnu");
  makematnum(d.nx, d.ny, d.nl, d.layer_size, d.h, map);
  for (int k = 1; k <= d.ny; ++k) {
    for (int j = 1; j <= d.nx; ++j) {
      map(j, k) = 1;
      FreeLine(plain) << map(j, k);
      FreeLine(gnu) << j << k << map(j, k);
      if (map(j, k) < 1 || map(j, k) > d.nmat) {
        FreeLine(std_out()) << "j,k, matnum(j,k) " << j << k << map(j, k);
        stop(222);
      }
    }
  }
  close_unit(plain);
}

void compute_coefficients(const Deck& d, const IntField& map, const RealField& phi,
                          const double& omega, const int& icase, Coefficients& co,
                          Fractions& fr) {
  e_modulus(d.nx, d.ny, d.nmat, map, d.phi_a, phi, d.s3, d.akf, d.eta, omega, d.ak_air,
            d.xmu_air, d.ak_s3, d.xmu_s3, d.ak_s1, d.xmu_s1, d.key_model, co.lambda1,
            co.lambda3, co.mu1, co.mu3, co.mu13, co.b1, co.b2, co.m, co.d3, d.ro1, d.ro2, d.ro3,
            icase);
  mass_visco_coef(d.nx, d.ny, d.nmat, map, d.phi_a, phi, d.s3, d.eta, omega, d.key_model,
                  d.ro1, d.ro2, d.ro3, d.capa_1_0, d.capa_3_0, d.rs1, d.rs3, d.coef_b13, co.p11,
                  co.p12, co.p13, co.p22, co.p23, co.p33, co.f11, co.f12, co.f22, fr.s1,
                  fr.s3_matrix, fr.phi1, fr.phi3, icase);
}

double average_density(const Deck& d, const IntField& map, const RealField& water,
                       const Fractions& fr) {
  const double cells_n = d.nx * d.ny;
  double rob_med = 0.0;
  for (int j = 1; j <= d.nx; ++j) {
    for (int k = 1; k <= d.ny; ++k) {
      const int mat = map(j, k);
      rob_med +=
          (water(j, k) * d.ro2(mat) + fr.phi1 * d.ro1(mat) + fr.phi3 * d.ro3(mat)) / cells_n;
    }
  }
  return rob_med;
}

int unknowns(const Deck& d) { return (6 * d.nx + 5) * d.ny + 5 * d.nx + 4; }

namespace {

// The assembled system as the solver reads it.
SparseRows system_rows(const int& neq, System& sys) {
  return SparseRows{neq, sys.ia.view(), sys.ja.view(), sys.avec.view()};
}

// Physical memory available now (bytes): MemAvailable of the kernel, else
// the free pages.
std::int64_t available_memory() {
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, f) != nullptr)
      if (std::sscanf(line, "MemAvailable: %lld kB", &kb) == 1) break;
    std::fclose(f);
    if (kb >= 0) return static_cast<std::int64_t>(kb) * 1024;
  }
  return static_cast<std::int64_t>(sysconf(_SC_AVPHYS_PAGES)) * sysconf(_SC_PAGESIZE);
}

// A byte count for the user, in the units THREEPHASE_MAX_MEMORY reads:
// "1.2 GiB", "850.0 MiB".
std::string show_bytes(std::int64_t bytes) {
  char text[32];
  const double b = static_cast<double>(bytes);
  if (b >= 1024.0 * 1024.0 * 1024.0)
    std::snprintf(text, sizeof text, "%.1f GiB", b / (1024.0 * 1024.0 * 1024.0));
  else
    std::snprintf(text, sizeof text, "%.1f MiB", b / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::int64_t parse_memory_size(const char* text) {
  if (text == nullptr) return -1;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (end == text || errno != 0 || !(value > 0.0)) return -1;
  double scale = 1.0;
  switch (*end) {
    case 'k': case 'K': scale = 1024.0; ++end; break;
    case 'm': case 'M': scale = 1024.0 * 1024.0; ++end; break;
    case 'g': case 'G': scale = 1024.0 * 1024.0 * 1024.0; ++end; break;
    case 't': case 'T': scale = 1024.0 * 1024.0 * 1024.0 * 1024.0; ++end; break;
    default: break;
  }
  if (*end == 'B' || *end == 'b') ++end;
  const double bytes = value * scale;
  if (*end != '\0' || bytes >= 9.2e18) return -1;
  return static_cast<std::int64_t>(bytes);
}

namespace {

// THREEPHASE_MAX_MEMORY, or null when unset or empty.
const char* memory_setting() {
  const char* set = std::getenv("THREEPHASE_MAX_MEMORY");
  return set != nullptr && *set != '\0' ? set : nullptr;
}

}  // namespace

std::int64_t memory_limit() {
  const char* set = memory_setting();
  if (set == nullptr) return available_memory();
  const std::int64_t limit = parse_memory_size(set);
  if (limit < 0)
    input_error("THREEPHASE_MAX_MEMORY",
                "not a size: give bytes with an optional K, M, G or T, such as 800M or 16G");
  return limit;
}

// Without THREEPHASE_MAX_MEMORY the patterns the analysis already holds
// count as available: they are part of the need and already taken from
// what the kernel reports free.
void check_factor_memory(const SparseFactor& f) {
  const std::int64_t need = zn_memory_bytes(f);
  const FactorStorage held = factor_storage(f.n, f.lnz, f.unz);
  const bool set = memory_setting() != nullptr;
  const std::int64_t limit = memory_limit() + (set ? 0 : 4 * held.ints + 8 * held.counts);
  if (need <= limit) return;
  std::fprintf(stderr,
               "threephase: the factorization of the %d unknowns needs %s (%lld bytes) but the "
               "limit is %s (%lld bytes, %s); use fewer cells along x or y (halving both "
               "divides the need by about five)%s\n",
               f.n, show_bytes(need).c_str(), static_cast<long long>(need),
               show_bytes(limit).c_str(), static_cast<long long>(limit),
               set ? "THREEPHASE_MAX_MEMORY" : "physical memory available",
               set ? " or raise THREEPHASE_MAX_MEMORY" : "");
  stop(kMemoryStopCode);
}

// The ordering runs in the workspace when there is one (nsp > 0), else in
// lists of its own sized from the matrix.
void order_system(const int& neq, System& sys, cplx* workspace, const int& nsp) {
  ProgressLine line;
  progress_begin(line, "ordering", "unknowns");
  const Progress progress = progress_to(line);
  const int flag =
      zn_order(system_rows(neq, sys), sys.c.view(), sys.ic.view(), workspace, nsp, &progress);
  progress_end(line);
  if (nsp == 0 && ordering_ints(neq, sys.ia(neq + 1) - 1) > kMaxPatternEntries)
    std::fprintf(stderr,
                 "threephase: the ordering of %d unknowns needs more than %lld list slots, "
                 "beyond its 32-bit positions; use fewer cells along x or y\n",
                 neq, static_cast<long long>(kMaxPatternEntries));
  if (flag != 0) {
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(9);
  }
}

// Analyse, check the memory the factors will take (self-sized only: a
// workspace is already there), factor, solve. The same permutation orders
// the rows and the columns.
void factor_and_solve(const int& neq, System& sys, cplx* workspace, const int& nsp) {
  const SparseRows a = system_rows(neq, sys);
  SparseFactor f;
  zn_init(f, neq, sys.c.view(), sys.c.view(), sys.ic.view(), workspace, nsp);
  int flag = zn_analyse(f, a);
  if (f.beyond_32bit)
    std::fprintf(stderr,
                 "threephase: the factors of %d unknowns would hold more than %lld entries, "
                 "beyond the solver's 32-bit positions; use fewer cells along x or y\n",
                 neq, static_cast<long long>(kMaxPatternEntries));
  if (flag == 0) {
    if (nsp == 0) check_factor_memory(f);
    ProgressLine line;
    progress_begin(line, "factorization", "multiply-adds");
    const Progress progress = progress_to(line);
    f.progress = &progress;
    flag = zn_factor(f, a);
    f.progress = nullptr;
    progress_end(line);
  }
  if (flag != 0) {
    FreeLine(std_out()) << "ESP=" << f.esp;
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(99);
  }
  zn_solve(f, sys.rhs_m.view(), sys.z.view());
}

}  // namespace tp
