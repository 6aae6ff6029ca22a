// The driver's steps, stage by stage, on the program's own routines (see
// driver/main.cpp for the run they reproduce).
#include "bench/full_run.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/output.hpp"
#include "driver/postprocess.hpp"
#include "driver/readata.hpp"
#include "driver/sweep.hpp"
#include "fem/global_numbering.hpp"
#include "fem/global_sist.hpp"
#include "model/makematnum.hpp"
#include "model/porosity.hpp"
#include "planewave/veloc_aten.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "sparse/zndrv.hpp"
#include "sparse/zodrv.hpp"

namespace tpbench {

namespace {

using namespace tp;

struct Deck {
  double freq = 0, freq_max = 0, domain_size = 0, h = 0;
  int n_freq = 0, nx = 0, ny = 0, key_model = 0, model = 0, nmat = 0;
  IntLayers nl;
  RealLayers akf, ro2, eta, ro1, ro3, phi_a, phi_layer, capa_1_0, capa_3_0, s3, rs1, rs3,
      coef_b13, ak_s1, xmu_s1, ak_s3, xmu_s3, ak_air, xmu_air, layer_size;
};

Deck deck;
IntField matnum;
RealField phi, lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3;
RealField p11, p12, p13, p22, p23, p33, f11, f12, f22;
double s1, s3_matrix, phi1, phi3, rob_med, omega, freq_fix;
double vp1, vp2, vp3, vs1, vs2, q1000_p1, q1000_p2, q1000_p3, q1000_s1, q1000_s2;
XnodTable xnod;
RowStarts ia_;
ColumnIndices ja_;
MatrixValues avec_;
UnknownVector rhs_m, z;
Permutation c, ic;
alignas(16) cplx workspace[kSolverWords];
CellResults cells;
ResultFiles files;
Unit map_plain, map_gnu;
int neq_ = 0;

std::int32_t* isp() { return reinterpret_cast<std::int32_t*>(workspace); }

void close_result_files() {
  for (Unit* u : {&files.vp_anal, &files.vp_eq, &files.q_eq, &files.q_anal, &files.pressure,
                  &files.grad_pressure, &files.re_strain1, &files.im_strain1, &files.re_strain3,
                  &files.im_strain3, &files.re_stress, &files.im_stress, &files.solid3})
    close_unit(*u);
  close_unit(map_gnu);
}

}  // namespace

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
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
  readata(deck.freq, deck.freq_max, deck.n_freq, deck.domain_size, deck.nx, deck.ny,
          deck.key_model, deck.nmat, deck.akf, deck.ro2, deck.eta, deck.ro1, deck.ro3,
          deck.phi_a, deck.phi_layer, deck.capa_1_0, deck.capa_3_0, deck.s3, deck.rs1,
          deck.rs3, deck.coef_b13, deck.ak_s1, deck.xmu_s1, deck.ak_s3, deck.xmu_s3,
          deck.ak_air, deck.xmu_air, deck.model, deck.h, deck.nl);
  const int nx = deck.nx, ny = deck.ny;
  open_unit(map_plain, "matnum_p33");
  open_unit(map_gnu, "matnum_p33_gnu");
  makematnum(nx, ny, deck.nl, deck.layer_size, deck.h, matnum);
  for (int k = 1; k <= ny; ++k) {
    for (int j = 1; j <= nx; ++j) {
      matnum(j, k) = 1;
      FreeLine(map_plain) << matnum(j, k);
      FreeLine(map_gnu) << j << k << matnum(j, k);
    }
  }
  close_unit(map_plain);
  deck.phi_layer(1) = 0.1;
  deck.phi_layer(2) = 0.1;
  porosity(nx, ny, deck.phi_layer, deck.model, phi);
  double t1 = now();
  t.read = t1 - t0;

  omega = deck.freq * 6.283185307179586;
  e_modulus(nx, ny, deck.nmat, matnum, deck.phi_a, phi, deck.s3, deck.akf, deck.eta, omega,
            deck.ak_air, deck.xmu_air, deck.ak_s3, deck.xmu_s3, deck.ak_s1, deck.xmu_s1,
            deck.key_model, lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3, deck.ro1, deck.ro2,
            deck.ro3, 1);
  mass_visco_coef(nx, ny, deck.nmat, matnum, deck.phi_a, phi, deck.s3, deck.eta, omega,
                  deck.key_model, deck.ro1, deck.ro2, deck.ro3, deck.capa_1_0, deck.capa_3_0,
                  deck.rs1, deck.rs3, deck.coef_b13, p11, p12, p13, p22, p23, p33, f11, f12,
                  f22, s1, s3_matrix, phi1, phi3, 1);
  rob_med = 0.0;
  for (int j = 1; j <= nx; ++j)
    for (int k = 1; k <= ny; ++k)
      rob_med += (phi(j, k) * deck.ro2(1) + phi1 * deck.ro1(1) + phi3 * deck.ro3(1)) / (nx * ny);
  freq_fix = first_sweep_point(deck.freq, deck.freq_max, deck.n_freq);
  t0 = now();
  t.rock = t0 - t1;

  veloc_aten(nx, ny, omega, p11, p12, p13, p22, p23, p33, f11, f12, f22, lambda1, lambda3, mu1,
             mu3, mu13, b1, b2, m, d3, vp1, vp2, vp3, vs1, vs2, q1000_p1, q1000_p2, q1000_p3,
             q1000_s1, q1000_s2);
  t1 = now();
  t.planewave = t1 - t0;

  global_numbering(nx, ny, xnod);
  global_sist(omega, nx, ny, deck.h, xnod, lambda1, lambda3, mu1, mu3, mu13, b1, b2, m, d3,
              p11, p12, p13, p22, p23, p33, f11, f12, f22, avec_, ia_, ja_, rhs_m);
  neq_ = (6 * nx + 5) * ny + 5 * nx + 4;
  t.assembly = now() - t1;
}

void run_solver(StageTimes& t) {
  const int nsp = kSolverWords;
  const View1<std::int32_t> iv{isp()};
  const View1<cplx> rsp{workspace};
  int flag = 0;
  const double t0 = now();
  zodrv(neq_, ia_.view(), ja_.view(), avec_.view(), c.view(), ic.view(), nsp, iv, 1, flag);
  const double t1 = now();
  if (flag != 0) {
    std::fprintf(stderr, "zodrv flag %d\n", flag);
    std::exit(1);
  }
  int esp = 0;
  zndrv(neq_, c.view(), c.view(), ic.view(), ia_.view(), ja_.view(), avec_.view(),
        rhs_m.view(), z.view(), nsp, iv, rsp, esp, 1, flag);
  t.factor = now() - t1;
  t.ordering = t1 - t0;
  if (flag != 0) {
    std::fprintf(stderr, "zndrv flag %d esp %d\n", flag, esp);
    std::exit(1);
  }
}

void run_post(StageTimes& t) {
  const double t0 = now();
  SampleState state{deck.nx, deck.ny,   deck.h, deck.domain_size, &lambda1, &mu1,
                    &mu13,   &d3,       &b1,    &b2,              &m,       s1,
                    s3_matrix, rob_med, deck.phi_layer(1), deck.freq, freq_fix, vp1,
                    q1000_p1};
  post_process(z, xnod, state, cells, files);
  flush_all_units();
  t.post = now() - t0;
}

int neq() { return neq_; }
const RowStarts& ia() { return ia_; }
const ColumnIndices& ja() { return ja_; }
const MatrixValues& avec() { return avec_; }
const UnknownVector& rhs() { return rhs_m; }
const UnknownVector& solution() { return z; }

long long fill() {
  const std::int32_t* il = isp();
  const std::int32_t* iu = il + neq_ + 1;
  return static_cast<long long>(il[neq_] - 1) + (iu[neq_] - 1);
}

long long factor_multiply_adds() {
  const int n = neq_;
  const std::int32_t* il = isp();           // il(k) at il[k-1]
  const std::int32_t* iu = il + n + 1;      // iu(k) at iu[k-1]
  const std::int32_t* jl = il + 2 * n + 2;  // jl(t) at jl[t-1]
  long long ops = 0;
  for (int t = 1; t < il[n]; ++t) {
    const int j = jl[t - 1];
    ops += iu[j] - iu[j - 1];
  }
  return ops;
}

std::uint64_t solution_hash() {
  const auto* p = reinterpret_cast<const unsigned char*>(z.data());
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < sizeof(cplx) * static_cast<std::size_t>(neq_); ++i)
    h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

}  // namespace tpbench
