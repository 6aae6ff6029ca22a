#include "reliability/reliability.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/capacity.hpp"
#include "deck/fields.hpp"
#include "support/testing.hpp"

namespace tp::reliability {

using tp::testing::read_file;
using tp::testing::write_file;

Outcome run_case(const std::string& dir, const std::string& deck, const Streams& s,
                 int seconds) {
  const std::string in = s.in.empty() ? dir + "/stdin.deck" : s.in;
  const std::string out = s.out.empty() ? dir + "/stdout.txt" : s.out;
  const std::string err = s.err.empty() ? dir + "/stderr.txt" : s.err;
  if (s.in.empty()) write_file(in, deck);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The child: its streams on the files, then the program.
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int fi = ::open(in.c_str(), O_RDONLY);
    const int fe = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fi < 0 || fe < 0) ::_exit(126);
    ::dup2(fi, 0);
    ::dup2(fe, 2);
    if (s.close_stdout) {
      ::close(1);
    } else {
      const int fo = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fo < 0) ::_exit(126);
      ::dup2(fo, 1);
    }
    for (int fd = 3; fd < 64; ++fd) ::close(fd);
    ::execl(THREEPHASE_EXE, THREEPHASE_EXE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  Outcome o;
  int raw = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (::waitpid(pid, &raw, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &raw, 0);
      o.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!o.timed_out && WIFEXITED(raw)) {
    o.exited = true;
    o.status = WEXITSTATUS(raw);
  } else if (WIFSIGNALED(raw)) {
    o.signal = WTERMSIG(raw);
  }
  if (!s.close_stdout && s.out.empty()) o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

std::string example_dir(const std::string& name) {
  const std::string dir = tp::testing::fresh_dir("rel_" + name);
  tp::testing::copy_example(name, dir);
  return dir;
}

std::vector<std::string> example_lines(const std::string& name) {
  return tp::testing::split_lines(read_file(tp::testing::source_path("examples/" + name + "/deck")));
}

std::string join(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

std::string field_of_line(int n) {
  int layer = 0;
  const DeckField* f = deck_field_of_line(n, kMaxLayers, layer);
  if (layer == 0) return f->name;
  return std::string(f->name) + "(" + std::to_string(layer) + ")";
}

std::string unacceptable(const Outcome& o) {
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
