// threephase run DECK [-o DIR] [--solver NAME] [--quiet]
//
// The computation runs in a child process inside a staging folder next to
// DIR (same file system): report.txt, the legacy result files, results.json
// and maps/. Only when it ends normally is the staging folder renamed into
// place, replacing an earlier DIR in one step; a run that fails, is
// interrupted or crashes removes its staging folder and leaves DIR as it
// was. (A run killed outright, parent and child together, can leave a
// hidden ".DIR.staging-PID" beside DIR; never a half-written DIR.)
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands.hpp"
#include "common/input.hpp"
#include "common/stop.hpp"
#include "deck/keyword_deck.hpp"
#include "driver/deck_file.hpp"

namespace tp {

namespace fs = std::filesystem;

namespace {

struct RunArgs {
  std::string deck, out;
  bool quiet = false;
};

// The child being waited for, so that an interrupt reaches it.
volatile pid_t running_child = 0;

void forward_signal(int sig) {
  if (running_child > 0) ::kill(running_child, sig);
}

// The default results folder: the deck's name without extension and
// "_results", in the working directory.
std::string default_out(const std::string& deck) {
  return fs::path(deck).stem().string() + "_results";
}

// The results folder a keyword deck names in its [run] output, taken from
// the deck's folder when relative; empty when it names none. A deck that
// does not read gives none here: the run then refuses it with its message.
fs::path deck_output(const fs::path& deck) {
  std::string text;
  if (!read_text_file(deck.c_str(), text) || deck_form(text) != DeckForm::keyword) return {};
  static Deck d;
  RunPlan plan;
  DeckError err;
  if (read_keyword_deck(text, d, plan, err) != 0 || plan.output.empty()) return {};
  return deck.parent_path() / plan.output;
}

// The results folder: -o, else the deck's [run] output, else the default.
fs::path results_folder(const RunArgs& a, const fs::path& deck) {
  if (!a.out.empty()) return fs::absolute(a.out).lexically_normal();
  const fs::path named = deck_output(deck);
  if (!named.empty()) return named.lexically_normal();
  return fs::absolute(default_out(a.deck)).lexically_normal();
}

// DIR may be replaced only when it is absent, empty, or an earlier run's
// results (it holds results.json): never a folder of other files.
bool replaceable(const fs::path& out, std::string& why) {
  std::error_code ec;
  if (!fs::exists(out, ec)) return true;
  if (!fs::is_directory(out, ec)) {
    why = "exists and is not a folder";
    return false;
  }
  if (fs::is_empty(out, ec) || fs::exists(out / "results.json", ec)) return true;
  why = "exists and holds no earlier run's results (no results.json); choose another folder";
  return false;
}

// In the child: the computation in the staging folder, with the deck on
// standard input, the side files beside the deck and the report in
// report.txt. Never returns.
[[noreturn]] void run_child(const fs::path& staging, const fs::path& deck,
                            const CommandContext& ctx) {
  if (::chdir(staging.c_str()) != 0 || !deck_on_stdin(deck.string()) ||
      std::freopen("report.txt", "w", stdout) == nullptr) {
    std::fprintf(stderr, "threephase: %s: cannot prepare the staging folder (%s)\n",
                 staging.c_str(), std::strerror(errno));
    std::_Exit(kExitOutput);
  }
  set_input_dir(deck.parent_path().c_str());
  set_exit_style(ExitStyle::modern);
  static std::string deck_name;
  deck_name = deck.string();
  // The solver that ran is recorded by the computation.
  ctx.compute(with_solver_choices(RunMode{true, deck_name.c_str(), "own"}, ctx));
  std::_Exit(kExitFailure);
}

// Puts the staging folder in the place of out: an atomic exchange when out
// exists (the old results then go with the staging folder), else a rename.
// A file system without the exchange gets two renames, the old results
// kept aside until the new ones are in place.
bool commit(const fs::path& staging, const fs::path& out) {
  std::error_code ec;
  if (!fs::exists(out, ec)) return ::rename(staging.c_str(), out.c_str()) == 0;
  if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) {
    fs::remove_all(staging, ec);
    return true;
  }
  const fs::path old = staging.string() + ".old";
  if (::rename(out.c_str(), old.c_str()) != 0) return false;
  if (::rename(staging.c_str(), out.c_str()) != 0) {
    const int err = errno;
    ::rename(old.c_str(), out.c_str());
    errno = err;
    return false;
  }
  fs::remove_all(old, ec);
  return true;
}

// A few lines from results.json on standard output.
void print_summary(const fs::path& out) {
  std::ifstream in(out / "results.json");
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_discarded()) return;
  std::printf("threephase: results in %s (report.txt, results.json, maps/)\n", out.c_str());
  for (const char* m : {"c33", "mstar"}) {
    const auto& r = j["finite_element"][m];
    std::printf(
        "  %-6s velocity %.6g m/s, 1000/Q %.6g\n", m,
        r["velocity_m_per_s"].is_number() ? r["velocity_m_per_s"].get<double>() : 0.0,
        r["q_inverse_times_1000"].is_number() ? r["q_inverse_times_1000"].get<double>() : 0.0);
  }
  const auto& p1 = j["plane_waves"]["compressional"][0];
  if (p1["velocity_m_per_s"].is_number() && p1["q_inverse_times_1000"].is_number()) {
    std::printf("  fast P wave (closed form) velocity %.6g m/s, 1000/Q %.6g\n",
                p1["velocity_m_per_s"].get<double>(), p1["q_inverse_times_1000"].get<double>());
  }
  std::printf("  %zu warning(s)\n", j["warnings"].size());
}

int run_command(const RunArgs& a, const CommandContext& ctx) {
  const fs::path deck = fs::absolute(a.deck).lexically_normal();
  const fs::path out = results_folder(a, deck);
  std::string why;
  if (!replaceable(out, why)) {
    std::fprintf(stderr, "threephase: %s %s\n", out.c_str(), why.c_str());
    return kExitBadInput;
  }
  std::error_code ec;
  const fs::path parent = out.parent_path();
  fs::create_directories(parent, ec);
  const fs::path staging =
      parent / ("." + out.filename().string() + ".staging-" + std::to_string(::getpid()));
  fs::remove_all(staging, ec);
  if (!fs::create_directory(staging, ec)) {
    std::fprintf(stderr, "threephase: %s: cannot create the staging folder (%s)\n", staging.c_str(),
                 ec.message().c_str());
    return kExitOutput;
  }

  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) run_child(staging, deck, ctx);
  int status = kExitFailure;
  if (child < 0) {
    std::fprintf(stderr, "threephase: cannot start the run (%s)\n", std::strerror(errno));
  } else {
    running_child = child;
    struct sigaction sa {};
    sa.sa_handler = forward_signal;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    int ws = 0;
    while (::waitpid(child, &ws, 0) < 0 && errno == EINTR) {
    }
    running_child = 0;
    if (WIFEXITED(ws)) {
      status = WEXITSTATUS(ws);
    } else {
      std::fprintf(stderr, "threephase: the run ended by signal %d; %s is unchanged\n",
                   WIFSIGNALED(ws) ? WTERMSIG(ws) : 0, out.c_str());
    }
  }
  if (status != kExitSuccess) {
    fs::remove_all(staging, ec);
    return status;
  }
  if (!commit(staging, out)) {
    std::fprintf(stderr,
                 "threephase: %s: cannot move the results into place (%s); they are in %s\n",
                 out.c_str(), std::strerror(errno), staging.c_str());
    return kExitOutput;
  }
  if (!a.quiet) print_summary(out);
  return flushed_status();
}

}  // namespace

void add_run_command(CLI::App& app, CommandContext& ctx) {
  CLI::App* cmd = app.add_subcommand(
      "run",
      "Run DECK (its side files beside it) into DIR: report.txt, the legacy result "
      "files, results.json and maps/*.npy; DIR is replaced only when the run succeeds");
  static RunArgs args;
  add_deck_argument(cmd, args.deck, "The deck (side files beside it)");
  cmd->add_option("-o,--output", args.out,
                  "Results folder (default: the deck's [run] output, beside the deck, else "
                  "the deck's name with _results, here)");
  cmd->add_flag("-q,--quiet", args.quiet,
                "Print nothing on success (otherwise a short summary on standard output)");
  cmd->callback([&ctx] {
    ctx.status = ctx.under_launcher ? refused_under_launcher("run") : run_command(args, ctx);
  });
}

}  // namespace tp
