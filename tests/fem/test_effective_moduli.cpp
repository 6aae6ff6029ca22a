// Post-processing of hand-made solutions: every cell gets its own 20
// unknowns, so the fields can be set cell by cell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "fem/effective_moduli.hpp"
#include "results/legacy_files.hpp"
#include "support/sample.hpp"
#include "support/testing.hpp"

using namespace tp;
using tp::testing::CapturedOutput;
using tp::testing::read_file;
using tp::testing::split_lines;

namespace {

System sys;
tp::testing::CoefficientSet co;
RealField &lambda1 = co.lambda1, &mu1 = co.mu1, &m = co.m;
Results cells;
ResultFiles files;

class PostProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tp::testing::fresh_dir("post");
    ASSERT_EQ(::chdir(dir_.c_str()), 0);
    open_result_files(files);
  }
  void TearDown() override {
    for (Unit* u : {&files.vp_anal, &files.vp_eq, &files.q_eq, &files.q_anal, &files.pressure,
                    &files.grad_pressure, &files.re_strain1, &files.im_strain1, &files.re_strain3,
                    &files.im_strain3, &files.re_stress, &files.im_stress, &files.solid3}) {
      close_unit(*u);
    }
    ASSERT_EQ(::chdir("/"), 0);
  }

  // Independent unknowns: slot l of element e is unknown 20 (e - 1) + l.
  // Every table starts at zero.
  void grid(int nx, int ny) {
    nx_ = nx;
    ny_ = ny;
    sys.xnod.resize(nx * ny, 20);
    sys.z.resize(20 * nx * ny);
    co.size(nx, ny);
    size_results(cells, nx, ny);
    for (int e = 1; e <= nx * ny; ++e) {
      for (int l = 1; l <= 20; ++l) sys.xnod(e, l) = 20 * (e - 1) + l;
    }
  }
  cplx& Z(int j, int k, int l) { return sys.z(20 * ((k - 1) * nx_ + j - 1) + l); }

  std::string run() {
    SampleState s{nx_, ny_, h_, ny_ * h_, 0.6, 0.3, 2000.0, 0.1, 100.0, 100.0, 3000.0, 5.0};
    CapturedOutput cap;
    post_process(sys, co, s, cells);
    write_results(s, cells, files);
    std::fflush(nullptr);
    return cap.text();
  }

  std::string dir_;
  int nx_ = 1, ny_ = 1;
  double h_ = 0.5;
};

}  // namespace

TEST_F(PostProcess, ZeroTopDisplacementIsReportedWithoutAStop) {
  grid(2, 2);
  const std::string out = run();
  EXPECT_NE(out.find(" deltavol1= 0.0000000000000000 0.0000000000000000\n"), std::string::npos);
  EXPECT_NE(out.find(" from deltavol1 Velocity(m/s) FE = "), std::string::npos);
  EXPECT_NE(out.find(" using averages Im(c33) FE        = "), std::string::npos);
}

TEST_F(PostProcess, GridsTwoCellsWideHaveNoInteriorGradient) {
  grid(2, 3);
  run();
  EXPECT_EQ(split_lines(read_file("mod_pressure_p33_ice")).size(), 6u);
  EXPECT_EQ(read_file("mod_grad_pressure_p33_ice"), "");
  EXPECT_EQ(split_lines(read_file("real_stress_map")).size(), 6u);
}

TEST_F(PostProcess, GradientMapIndicesAreShiftedByOne) {
  grid(4, 3);  // interior cells (2, 2) and (3, 2)
  const auto lines = split_lines((run(), read_file("mod_grad_pressure_p33_ice")));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 5), " 1 1 ");
  EXPECT_EQ(lines[1].substr(0, 5), " 2 1 ");
}

TEST_F(PostProcess, GradientTakesTheRealXDifferenceAndTheImaginaryYDifference) {
  grid(3, 3);
  // Pressure from the flux divergence alone: p = -m divw, divw = Z10/h.
  for (int k = 1; k <= 3; ++k) {
    for (int j = 1; j <= 3; ++j) {
      m(j, k) = 1.0;
      Z(j, k, 10) = cplx(-h_ * 10.0 * j, -h_ * 100.0 * k);  // p = 10 j + 100 i k
    }
  }
  run();
  EXPECT_EQ(cells.pres(2, 2), cplx(20.0, 200.0));
  // x difference 10/h (real), y difference 100i/h (imaginary).
  EXPECT_DOUBLE_EQ(cells.grad_pres_mod(2, 2), std::hypot(10.0 / h_, 100.0 / h_));
  const auto pressure = split_lines(read_file("mod_pressure_p33_ice"));
  ASSERT_EQ(pressure.size(), 9u);
  EXPECT_EQ(pressure[4], " 2 2 " + std::string(free_real(std::abs(cplx(20.0, 200.0))).s));
}

TEST_F(PostProcess, UniformCompressionOfTheFrameGivesItsStiffness) {
  // Every cell shortened by the same strain, solid 3 and the water at rest:
  // the stress is (lambda1 + 2 mu1) times the strain, and the top moves by
  // strain * height, so both moduli are lambda1 + 2 mu1.
  grid(3, 2);
  const double strain = -1e-10;  // the unit load over a stiffness of 1e10 Pa
  for (int k = 1; k <= 2; ++k) {
    for (int j = 1; j <= 3; ++j) {
      lambda1(j, k) = 4e9;
      mu1(j, k) = 3e9;
      const double bottom = strain * h_ * (k - 1), top = strain * h_ * k;
      Z(j, k, 5) = Z(j, k, 6) = bottom;
      Z(j, k, 7) = Z(j, k, 8) = top;
    }
  }
  const std::string out = run();
  EXPECT_NEAR(cells.stress(2, 1).real(), -1.0, 1e-12);
  EXPECT_NE(out.find(" using averages Re(c33) FE        =  10000000000.0"), std::string::npos)
      << out;
  EXPECT_NE(out.find(" from deltavol1 Re(p33) FE mstar      =  10000000000.0"), std::string::npos)
      << out;
  // The result tables carry the c33 values beside the closed-form ones.
  EXPECT_EQ(read_file("vp_anal.phiw"), " 0.10000000000000001 3000.0000000000000\n");
  EXPECT_EQ(read_file("1000_over_q_anal.phiw"),
            "     100.00    "
            "  "
            "     5.0000    \n");
  EXPECT_EQ(split_lines(read_file("mstar3_solid3")).size(), 2u);
}
