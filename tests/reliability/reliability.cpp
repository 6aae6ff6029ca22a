#include "reliability/reliability.hpp"

#include "support/testing.hpp"

namespace tp::reliability {

std::string example_dir(const std::string& name) {
  const std::string dir = tp::testing::fresh_dir("rel_" + name);
  tp::testing::copy_example(name, dir);
  return dir;
}

std::string unacceptable(const RunResult& o) {
  if (o.timed_out) return "the run hung and was killed";
  if (!o.exited) return "the run ended by signal " + std::to_string(o.signal);
  if (o.err.find("Sanitizer") != std::string::npos ||
      o.err.find("runtime error") != std::string::npos) {
    return "sanitizer report: " + o.err.substr(0, 2000);
  }
  if (o.status == 40) return "the run reported its normal end (40)";
  if (o.status == 0) return "the run reported success (0)";
  return "";
}

}  // namespace tp::reliability
