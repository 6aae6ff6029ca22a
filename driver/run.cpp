#include "driver/run.hpp"

#include "common/stop.hpp"
#include "driver/readata.hpp"
#include "model/makematnum.hpp"
#include "rockphysics/e_modulus.hpp"
#include "rockphysics/mass_visco_coef.hpp"
#include "sparse/zndrv.hpp"
#include "sparse/zodrv.hpp"

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

// The workspace is one area of complex words, seen also as 32-bit integers.
void order_system(const int& neq, System& sys, cplx* workspace, const int& nsp) {
  const View1<std::int32_t> isp{reinterpret_cast<std::int32_t*>(workspace)};
  int flag = 0;
  zodrv(neq, sys.ia.view(), sys.ja.view(), sys.avec.view(), sys.c.view(), sys.ic.view(), nsp,
        isp, 1, flag);
  if (flag != 0) {
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(9);
  }
}

void factor_and_solve(const int& neq, System& sys, cplx* workspace, const int& nsp) {
  const View1<std::int32_t> isp{reinterpret_cast<std::int32_t*>(workspace)};
  const View1<cplx> rsp{workspace};
  int flag = 0, esp = 0;
  // The same permutation orders the rows and the columns.
  zndrv(neq, sys.c.view(), sys.c.view(), sys.ic.view(), sys.ia.view(), sys.ja.view(),
        sys.avec.view(), sys.rhs_m.view(), sys.z.view(), nsp, isp, rsp, esp, 1, flag);
  if (flag != 0) {
    FreeLine(std_out()) << "ESP=" << esp;
    FreeLine(std_out()) << "FLAG=" << flag;
    stop(99);
  }
}

}  // namespace tp
