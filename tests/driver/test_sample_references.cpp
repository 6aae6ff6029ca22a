// What a run gives beside the sample's stiffness to read it by: the
// closed-form waves of the cell-averaged medium and the total vertical
// stress map of the vertical plate test.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/run.hpp"
#include "support/testing.hpp"

namespace {

using namespace tp::testing;
using Json = nlohmann::json;
using cplx = std::complex<double>;

// The values of a map of maps/ (float64 npy, version 1 header).
std::vector<double> map_values(const std::string& path) {
  const std::string bytes = read_file(path);
  const std::size_t header = 10 + static_cast<unsigned char>(bytes[8]) +
                             256 * static_cast<std::size_t>(static_cast<unsigned char>(bytes[9]));
  std::vector<double> v((bytes.size() - header) / sizeof(double));
  std::memcpy(v.data(), bytes.data() + header, v.size() * sizeof(double));
  return v;
}

// The modulus rho / z^2 of the fast P wave of a set of plane waves.
double fast_p_modulus(const Json& waves, double rho) {
  const Json& z = waves["compressional"][0]["slowness_s_per_m"];
  const cplx s(z[0].get<double>(), z[1].get<double>());
  return (rho / (s * s)).real();
}

// On the fractal sample (every cell its own porosity) the averaged medium's
// fast P wave carries, at low loss, the mean over the cells of the locked
// modulus (lambda1 + 2 mu1) + (lambda3 + 2 mu3) + 2 (d3 + mu13), which is
// linear in the coefficients; the centre cell's does not. Each row of the
// total vertical stress map averages to the plate test's C33, also when the
// shear test reuses the loads after it.
TEST(SampleReferences, AveragedMediumAndTotalStressMapDescribeTheWholeSample) {
  const std::string dir = fresh_dir("sample_references");
  copy_example("fractal", dir);
  ASSERT_EQ(run_with_args(dir, "run deck.toml -o out -q --stiffness full").status, 0);
  const Json r = Json::parse(read_file(dir + "/out/results.json"));
  auto map = [&](const char* name) { return map_values(dir + "/out/maps/" + name + ".npy"); };
  const std::vector<double> l1 = map("xlambda1_gnu"), m1 = map("xmu1_gnu"),
                            l3 = map("xlambda3_gnu"), m3 = map("xmu3_gnu"), d3 = map("d3_gnu"),
                            m13 = map("xmu13_gnu");
  double mean = 0.0;
  for (std::size_t i = 0; i < l1.size(); ++i)
    mean += ((l1[i] + 2 * m1[i]) + (l3[i] + 2 * m3[i]) + 2 * (d3[i] + m13[i])) / l1.size();
  const double rho = r["effective"]["density_kg_per_m3"];
  const double averaged = fast_p_modulus(r["plane_waves_average_medium"], rho);
  EXPECT_NEAR(averaged, mean, 1e-5 * mean);
  EXPECT_GT(std::abs(fast_p_modulus(r["plane_waves"], rho) - mean), 1e-3 * mean);

  const Json& c33 = r["effective"]["stiffness"]["c33"]["modulus_pa"];
  const std::vector<double> re = map("real_total_stress_map"), im = map("imag_total_stress_map");
  const int nx = r["grid"]["nx"], ny = r["grid"]["ny"];
  for (int k = 0; k < ny; ++k) {
    cplx row(0.0);
    for (int j = 0; j < nx; ++j) row += cplx(re[k * nx + j], im[k * nx + j]) / double(nx);
    EXPECT_LT(std::abs(row - cplx(c33[0], c33[1])), 1e-9 * c33[0].get<double>()) << "row " << k;
  }
}

}  // namespace

namespace {

// A homogeneous sample has no flow under the plate tests and so no loss:
// the rounding of its solve (+-1e-15 of the modulus, either sign) is
// reported as no loss, never as a negative 1000/Q.
TEST(SampleReferences, HomogeneousSampleReportsNoLossRatherThanRoundingNoise) {
  const std::string dir = fresh_dir("no_loss");
  copy_example("shaley_sand", dir);
  for (const char* form : {"two_dimensional", "plane_strain"}) {
    ASSERT_EQ(run_with_args(dir, std::string("run deck.toml -o out -q --stiffness full "
                                             "--frequencies 100,1e4 --elastic-form ") +
                                     form)
                  .status,
              0);
    const Json r = Json::parse(read_file(dir + "/out/results.json"));
    for (const char* m : {"c33", "c11", "c55"}) {
      EXPECT_EQ(r["effective"]["stiffness"][m]["q_inverse_times_1000"], 0.0) << form << " " << m;
      for (const Json& q : r["curves"][m]["q_inverse_times_1000"]) EXPECT_EQ(q, 0.0) << m;
    }
  }
}

}  // namespace
