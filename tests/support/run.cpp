#include "support/run.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/testing.hpp"

namespace tp::testing {

namespace {

// Puts descriptor `fd` on `path` opened with `flags`; false when it cannot.
bool redirect(int fd, const std::string& path, int flags) {
  const int opened = ::open(path.c_str(), flags, 0644);
  if (opened < 0) return false;
  ::dup2(opened, fd);
  return true;
}

// In the child: the folder, the streams, then `argv`. Never returns.
[[noreturn]] void exec_child(const std::string& dir, const std::vector<std::string>& argv,
                             const std::string& in, const std::string& out, const std::string& err,
                             bool close_stdout) {
  const int write = O_WRONLY | O_CREAT | O_TRUNC;
  if (::chdir(dir.c_str()) != 0 || !redirect(0, in, O_RDONLY) || !redirect(2, err, write)) {
    ::_exit(126);
  }
  if (close_stdout) {
    ::close(1);
  } else if (!redirect(1, out, write)) {
    ::_exit(126);
  }
  for (int fd = 3; fd < 64; ++fd) ::close(fd);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

// Waits for `pid` until `seconds` have passed, then kills it; fills how it ended.
void wait_child(pid_t pid, int seconds, RunResult& r) {
  int raw = 0;
  struct rusage usage {};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (::wait4(pid, &raw, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::wait4(pid, &raw, 0, &usage);
      r.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  r.peak_rss_kb = usage.ru_maxrss;
  if (!r.timed_out && WIFEXITED(raw)) {
    r.exited = true;
    r.status = WEXITSTATUS(raw);
  } else if (WIFSIGNALED(raw)) {
    r.signal = WTERMSIG(raw);
  }
}

// Runs `argv` in `dir` with the streams of `s` (defaults in `dir`).
RunResult run_child(const std::string& dir, const std::vector<std::string>& argv, const Streams& s,
                    int seconds) {
  const std::string in = s.in.empty() ? dir + "/stdin.deck" : s.in;
  const std::string out = s.out.empty() ? dir + "/stdout.txt" : s.out;
  const std::string err = s.err.empty() ? dir + "/stderr.txt" : s.err;
  const pid_t pid = ::fork();
  if (pid == 0) exec_child(dir, argv, in, out, err, s.close_stdout);
  RunResult r;
  wait_child(pid, seconds, r);
  if (!s.close_stdout && s.out.empty()) r.out = read_file(out);
  r.err = read_file(err);
  return r;
}

}  // namespace

RunResult run_program(const std::string& dir, const std::string& deck, const Streams& s,
                      int seconds) {
  if (s.in.empty()) write_file(dir + "/stdin.deck", deck);
  return run_child(dir, {THREEPHASE_EXE}, s, seconds);
}

RunResult run_with_args(const std::string& dir, const std::string& args, const std::string& in,
                        int seconds) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while ((at = args.find_first_not_of(' ', at)) != std::string::npos) {
    const std::size_t end = args.find(' ', at);
    words.push_back(args.substr(at, end - at));
    at = end;
  }
  return run_argv(dir, words, in, seconds);
}

RunResult run_argv(const std::string& dir, const std::vector<std::string>& args,
                   const std::string& in, int seconds) {
  std::vector<std::string> argv{THREEPHASE_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  Streams s;
  s.in = in;
  return run_child(dir, argv, s, seconds);
}

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

RunResult run_tool(const std::string& tool, const std::string& args, int seconds) {
  const std::string dir = fresh_dir("tool_io");
  write_file(dir + "/stdin.deck", "");
  const std::string cmd = "THREEPHASE=" + shell_quote(THREEPHASE_EXE) + " exec " +
                          shell_quote(source_path("tools/" + tool)) + " " + args;
  return run_child(dir, {"/bin/sh", "-c", cmd}, {}, seconds);
}

}  // namespace tp::testing
