// tools/sweep: one run per frequency of the deck's sweep (or per value of a
// field), results collected in sweep.csv, failures reported without losing
// the other runs.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "support/report.hpp"
#include "support/run.hpp"
#include "support/testing.hpp"
#include "tools/tools_testing.hpp"

using namespace tp::testing;
namespace fs = std::filesystem;

TEST(Sweep, OneRowPerFrequencyHoldingWhatTheSingleRunPrints) {
  const std::string cs = small_case("sweep_case");
  const std::string out = fresh_dir("sweep_out") + "/out";
  const auto r = run_sweep(cs, out, "-j 2 --separate-runs");
  ASSERT_EQ(r.status, 0) << r.err;

  const auto rows = read_csv(out + "/sweep.csv");
  ASSERT_EQ(rows.size(), 4u);
  const auto& head = rows[0];
  // The sample's C33 (plate test) first, then the legacy test's columns.
  EXPECT_EQ(head, (std::vector<std::string>{
                      "run", "freq_hz", "c33_velocity_m_per_s", "c33_1000_over_q",
                      "diffusion_cells_across", "vp_c33", "q1000_c33", "vp_mstar", "q1000_mstar",
                      "cell_vp1_velocity_m_per_s", "cell_vp1_1000_over_q",
                      "average_medium_vp1_velocity_m_per_s", "average_medium_vp1_1000_over_q",
                      "resolved", "closed_form_cell", "status", "stop_code", "message"}));
  // The deck sweeps 100 Hz to 10 kHz in 3 points, evenly in log10.
  const double expected_freq[] = {100.0, 1000.0, 10000.0};
  for (int i = 1; i <= 3; ++i) {
    const auto& row = rows[static_cast<std::size_t>(i)];
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(column(head, row, "status"), "ok");
    EXPECT_EQ(column(head, row, "stop_code"), "40");
    const std::string freq = column(head, row, "freq_hz");
    EXPECT_NEAR(std::stod(freq), expected_freq[i - 1], 1e-9 * expected_freq[i - 1]);

    // The same deck at that frequency, run alone.
    const std::string single = fresh_dir("sweep_single");
    copy_example("permafrost", single);
    write_file(single + "/deck", read_file(cs + "/deck"));
    const auto one = run_program(single, case_deck_with(single, "freq", freq));
    ASSERT_EQ(one.status, 40);
    // The table holds each number in its shortest exact form.
    const auto same = [&](const std::string& name, const std::string& printed) {
      EXPECT_EQ(std::stod(column(head, row, name)), std::stod(printed)) << name;
    };
    same("vp_c33", report_value(one.out, "using averages  Velocity"));
    same("q1000_c33", report_value(one.out, "using averages 1000/Q"));
    same("vp_mstar", report_value(one.out, "from deltavol1 Velocity"));
    same("q1000_mstar", report_value(one.out, "from deltavol1 1000/Q"));
    const auto anal = split_lines(read_file(single + "/vp_anal.phiw"));
    same("cell_vp1_velocity_m_per_s", anal.at(0).substr(anal.at(0).rfind(' ') + 1));
    // The table's legacy 1000/Q is 1000 |Im z / Re z| = 1000 t; the column's
    // is 1000 Im M / Re M with M ~ 1/z^2, 1000 * 2t / (1 - t^2).
    const auto q = split_lines(read_file(single + "/1000_over_q_anal.phiw"));
    const double t = std::stod(q.at(0).substr(17)) / 1000.0;
    const double modern = 1000.0 * 2.0 * t / (1.0 - t * t);
    EXPECT_NEAR(std::stod(column(head, row, "cell_vp1_1000_over_q")), modern, 1e-4 * modern);

    // Each run keeps its own results folder with its deck and the report.
    const std::string run_dir = out + "/" + column(head, row, "run");
    EXPECT_TRUE(fs::exists(run_dir + "/deck"));
    EXPECT_TRUE(fs::exists(run_dir + "/results.json"));
    EXPECT_EQ(without_running_time(read_file(run_dir + "/report.txt")),
              without_running_time(one.out));
  }
}

TEST(Sweep, FailedRunIsReportedWithItsStopCodeAndTheOthersAreKept) {
  // phi_layer(1) = 0.35 reaches phi_a(1) = 0.3: the ice-model check stops
  // that run with code 11.
  const std::string cs = small_case("sweep_fail_case");
  const std::string out = fresh_dir("sweep_fail_out") + "/out";
  const auto r = run_sweep(cs, out, "--field 'phi_layer(1)' --values 0.1,0.35,0.2");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run_002"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("stop code 11"), std::string::npos) << r.err;

  const auto rows = read_csv(out + "/sweep.csv");
  ASSERT_EQ(rows.size(), 4u);
  const auto& head = rows[0];
  EXPECT_EQ(head.at(1), "phi_layer(1)");
  EXPECT_EQ(column(head, rows[2], "status"), "failed");
  EXPECT_EQ(column(head, rows[2], "stop_code"), "11");
  EXPECT_NE(column(head, rows[2], "message").find("ice model"), std::string::npos);
  EXPECT_EQ(column(head, rows[2], "vp_c33"), "");
  for (const std::size_t i : {1u, 3u}) {
    EXPECT_EQ(column(head, rows[i], "status"), "ok");
    EXPECT_GT(std::stod(column(head, rows[i], "vp_c33")), 1000.0);
  }
  EXPECT_EQ(column(head, rows[1], "phi_layer(1)"), "0.1");
}

TEST(Sweep, DeckReaderRejectionReachesTheTableWithItsMessage) {
  const std::string cs = small_case("sweep_nx_case");
  const std::string out = fresh_dir("sweep_nx_out") + "/out";
  const auto r = run_sweep(cs, out, "--field nx --values 4,0");
  EXPECT_EQ(r.status, 1);
  const auto rows = read_csv(out + "/sweep.csv");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(column(rows[0], rows[1], "status"), "ok");
  EXPECT_EQ(column(rows[0], rows[2], "stop_code"), "2");
  EXPECT_NE(column(rows[0], rows[2], "message").find("nx = 0"), std::string::npos);
}

TEST(Sweep, FieldValuesReachTheProgramWithTheirMeaning) {
  // A fixed-20 field without a decimal point would carry 10 implied
  // decimals (3e16 would read as 3e6), and key_model is an i5 field.
  const std::string cs = small_case("sweep_field_case");
  const std::string out = fresh_dir("sweep_field_out") + "/out";
  auto r = run_sweep(cs, out, "--field 'AKF(2)' --values 3e16");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string report = read_file(out + "/run_001/report.txt");
  const auto layer2 = report.substr(report.find("layer i=   2"));
  EXPECT_EQ(std::stod(report_value(layer2, "akf (GPA)")), 3e16);
  EXPECT_EQ(std::stod(report_value(report, "akf (GPA)")), 2.25e9);  // layer 1 untouched

  // Another sweep into the same folder replaces the finished runs only
  // when asked to.
  r = run_sweep(cs, out, "--field key_model --values 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("finished run of another deck"), std::string::npos) << r.err;
  r = run_sweep(cs, out, "--field key_model --values 1 --force");
  // The shaley-sand model reads s3 = 0 of this deck as no solid 3 at all,
  // which its coefficients refuse: the run saw key_model = 1.
  const auto rows = read_csv(out + "/sweep.csv");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(column(rows[0], rows[1], "message").find("phi3 is zero"), std::string::npos);
  EXPECT_EQ(split_lines(read_file(out + "/run_001/deck")).at(6).substr(0, 5), "    1");
}

TEST(Sweep, UnknownFieldOrForeignOutputFolderStopsBeforeAnyRun) {
  const std::string cs = small_case("sweep_bad_case");
  const std::string out = fresh_dir("sweep_bad_out") + "/out";
  auto r = run_sweep(cs, out, "--field akf --values 1.0");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("akf(1) or akf(2)"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(out));

  // A folder that holds other files than an earlier sweep is not cleared.
  r = run_sweep(cs, cs, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(fs::exists(cs + "/deck"));
  EXPECT_FALSE(fs::exists(cs + "/run_001"));
}
