// Nothing lost, nothing left behind, run as a separate process: a run stopped by a
// signal puts no new file in place (no results file, no plot), a second signal
// removes the unfinished files, what a killed run left is removed by a later run once
// it is stale, and a file that could not be put in place is refused before the fit,
// naming the folder. Each case checks the status, the messages and afterwards every
// file of the folders involved.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cli/model_list.hpp"
#include "cli/output_plan.hpp"
#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

namespace fs = std::filesystem;
using files = std::map<std::string, std::string>;

const std::string example =
    support::read_file(std::string(INHIBRA_SOURCE_DIR) + "/examples/Data.in");
constexpr std::time_t two_days = 2 * 24 * 60 * 60;
constexpr unsigned nobody = 65534;

// Names in the folder that begin with `prefix`.
std::vector<std::string> names_with(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& name : support::file_names(folder))
    if (name.starts_with(prefix)) out.push_back(name);
  return out;
}

void make_old(const fs::path& path) {
  const std::time_t then = std::time(nullptr) - two_days;
  const timespec times[2] = {{then, 0}, {then, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

struct child_end {
  int raw = 0;      // as waitpid gives it
  std::string err;  // standard error
};

// Starts `inhibra-fit -q -j 1 --plots P <args> Data.in` in `dir`, with TMPDIR set to
// `temporary` and no XDG_RUNTIME_DIR; once a file whose name begins with `marker`
// appears in `watched` (the run is under way), sends `signals` one after another and
// waits for the end.
child_end signalled_run(const support::temp_dir& dir, const support::temp_dir& temporary,
                        const std::string& args, const fs::path& watched, const std::string& marker,
                        const std::vector<int>& signals) {
  const support::temp_dir streams;
  const std::string err_file = streams.file("stderr.txt");
  const std::string command = quoted(INHIBRA_FIT_EXE) + " -q -j 1 --plots P " + args;
  const pid_t pid = fork();
  if (pid == 0) {
    // Whatever the test runner ignores, the program gets the default dispositions.
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
      ::signal(s, SIG_DFL);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDWR);
    if (err < 0 || null < 0 || dup2(err, 2) < 0 || dup2(null, 1) < 0 || dup2(null, 0) < 0)
      _exit(97);
    if (chdir(dir.path().c_str()) != 0) _exit(99);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    setenv("TMPDIR", temporary.path().c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(98);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (names_with(watched, marker).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(names_with(watched, marker).empty()) << "the run never reached " << marker;
  for (const int s : signals)
    kill(pid, s);
  child_end end;
  waitpid(pid, &end.raw, 0);
  end.err = support::read_file(err_file);
  return end;
}

// A folder with two data files, an earlier results file of the first and an earlier
// set of every plot of all ten models (recognisably not what a run draws).
void prepare_earlier_run(const support::temp_dir& dir) {
  dir.write("Data.in", example);
  dir.write("More.in", example);
  dir.write("Data.out", "earlier results\r\n");
  fs::create_directory(dir.file("P"));
  model_selection all{};
  all.fill(true);
  for (const auto& what : plot_kinds(all))
    dir.write("P/Data-" + what + ".png", "earlier " + what);
}

const std::string first_plot = ".inhibra-partial-Data-model01-xy.png.";

TEST(StoppedRun, PutsNothingInPlaceAndKeepsTheEarlierFilesWhole) {
  // Stopped while the first results file is being written, before any plot, or while
  // the plot of model 1 waits under its temporary name: the nine models still to fit
  // take seconds, the signal follows in milliseconds, and More.in is never started.
  for (const auto& [signal_number, name] :
       {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"}, std::pair{SIGHUP, "SIGHUP"}}) {
    for (const auto& [watched, marker] :
         {std::pair{"", ".inhibra-partial-Data.out."}, std::pair{"P", first_plot.c_str()}}) {
      SCOPED_TRACE(std::string(name) + " at " + marker);
      support::temp_dir dir;
      support::temp_dir temporary;
      prepare_earlier_run(dir);
      const auto before = support::snapshot(dir.path());
      const auto end = signalled_run(dir, temporary, "Data.in More.in", dir.path() / watched,
                                     marker, {signal_number});
      ASSERT_TRUE(WIFEXITED(end.raw));
      EXPECT_EQ(WEXITSTATUS(end.raw), 128 + signal_number);
      EXPECT_EQ(end.err, std::string("Error: stopped by ") + name +
                             ": the results and plot files of unfinished runs were not written; "
                             "earlier ones are unchanged\n");
      EXPECT_EQ(support::snapshot(dir.path()), before);
      EXPECT_TRUE(support::snapshot(temporary.path()).empty());
    }
  }
}

TEST(SecondSignal, RemovesTheUnfinishedFilesAndEndsTheProgram) {
  support::temp_dir dir;
  support::temp_dir temporary;
  prepare_earlier_run(dir);
  const auto before = support::snapshot(dir.path());
  // Two different signals, so that the second is not merged into the first.
  const auto end =
      signalled_run(dir, temporary, "Data.in", dir.file("P"), first_plot, {SIGHUP, SIGTERM});
  // Ended by the signal itself, before any orderly clean-up could run.
  ASSERT_TRUE(WIFSIGNALED(end.raw)) << end.raw;
  EXPECT_TRUE(WTERMSIG(end.raw) == SIGTERM || WTERMSIG(end.raw) == SIGHUP) << WTERMSIG(end.raw);
  EXPECT_EQ(end.err, "");
  EXPECT_EQ(support::snapshot(dir.path()), before);
  EXPECT_TRUE(support::snapshot(temporary.path()).empty());
}

TEST(KilledRun, LeavesFilesThatALaterRunRemovesOnceTheyAreStale) {
  support::temp_dir dir;
  support::temp_dir temporary;
  dir.write("Data.in", example);
  fs::create_directory(dir.file("P"));
  const auto end = signalled_run(dir, temporary, "Data.in", dir.file("P"), first_plot, {SIGKILL});
  ASSERT_TRUE(WIFSIGNALED(end.raw) && WTERMSIG(end.raw) == SIGKILL);
  // Nothing can clean up after kill -9: the unfinished files and the runtime folder stay.
  const auto left_results = names_with(dir.path(), ".inhibra-partial-Data.out.");
  const auto left_plots = names_with(dir.file("P"), first_plot);
  const auto left_runtime = names_with(temporary.path(), "inhibra-runtime-");
  ASSERT_EQ(left_results.size(), 1u);
  ASSERT_EQ(left_plots.size(), 1u);
  ASSERT_EQ(left_runtime.size(), 1u);

  // A day later, a run in the same folders removes them (which files are ours and
  // stale is pinned by the clean-up's own tests).
  make_old(dir.file(left_results[0]));
  make_old(dir.file("P/" + left_plots[0]));
  make_old(temporary.file(left_runtime[0]));

  const auto r =
      run_fit("-q -m 1 --plots P Data.in", dir,
              "unset XDG_RUNTIME_DIR; TMPDIR=" + quoted(temporary.path()) + " " + fixed_date);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto got = support::snapshot(dir.path());
  // What the new run wrote: its report and seven plots.
  EXPECT_TRUE(got["Data.out"].ends_with("\r\n RESULTS FILE Data.out\r\n\r\n"));
  got.erase("Data.out");
  for (const char* plot :
       {"P/Data-model01-xy.png", "P/Data-best-xy.png", "P/Data-best-residuals.png",
        "P/Data-best-kmapp.png", "P/Data-best-mc50.png", "P/Data-best-lineweaver-burk.png",
        "P/Data-best-dixon.png"}) {
    EXPECT_TRUE(got[plot].starts_with("\x89PNG")) << plot;
    got.erase(plot);
  }
  got.erase("P");
  EXPECT_EQ(got, (files{{"Data.in", example}}));
  EXPECT_EQ(support::snapshot(temporary.path()), files{});
}

// Runs inhibra-fit as a user without privileges: the administrator's rights would
// write anywhere. Empty when that cannot be done here.
std::string unprivileged() {
  if (geteuid() != 0) return fixed_date;
  const std::string drop = "setpriv --reuid=" + std::to_string(nobody) +
                           " --regid=" + std::to_string(nobody) + " --clear-groups";
  const std::string probe = drop + " test -x " + quoted(INHIBRA_FIT_EXE) + " 2>/dev/null";
  if (std::system(probe.c_str()) != 0) return "";
  return std::string(fixed_date) + " " + drop;
}

TEST(UnwritableFolders, AreNamedBeforeAnythingIsFitted) {
  const std::string as_user = unprivileged();
  if (as_user.empty()) GTEST_SKIP() << "no way to run the program as an unprivileged user";
  const bool administrator = geteuid() == 0;
  // In `given`, "<folder>" is a folder of the runner's, "<read-only>" one it cannot
  // write into and "<shared>" one of mode 1777 made by the administrator; a file whose
  // content begins with "theirs" is another user's, every other one the runner's.
  const struct {
    const char* what;
    files given;
    std::string args, err;
    std::string fitted = "";  // the results file of an input that could be written
  } cases[] = {
      {"read-only results folder",
       {{"ro", "<read-only>"}, {"ro/Data.in", example}, {"ro/Data.out", "earlier\r\n"}},
       "-q -m 1 ro/Data.in",
       "Warning: Results file ro/Data.out: cannot write into the folder <dir>/ro (Permission "
       "denied): ro/Data.in is not fitted\n"},
      {"read-only results folder among several inputs",
       {{"ro", "<read-only>"},
        {"ro/Data.in", example},
        {"ok", "<folder>"},
        {"ok/More.in", example}},
       "-q -m 1 ro/Data.in ok/More.in",
       "Warning: ro/Data.in: Results file ro/Data.out: cannot write into the folder <dir>/ro "
       "(Permission denied): ro/Data.in is not fitted\n",
       "ok/More.out"},
      {"read-only plot folder",
       {{"Data.in", example}, {"P", "<read-only>"}},
       "-q -m 1 --plots P Data.in",
       "Error: plot files: cannot write into the folder <dir>/P (Permission denied)\n"},
      {"read-only folder of the JSON",
       {{"Data.in", example}, {"J", "<read-only>"}},
       "-q -m 1 --json J/all.json Data.in",
       "Error: JSON file not written: J/all.json (cannot write into the folder <dir>/J "
       "(Permission denied))\n"},
      {"another user's results file in a shared folder",
       {{"S", "<shared>"}, {"S/Data.in", example}, {"S/Data.out", "theirs\r\n"}},
       "-q -m 1 S/Data.in",
       "Warning: Results file S/Data.out: Data.out in the shared folder <dir>/S belongs to "
       "another user and cannot be replaced: S/Data.in is not fitted\n"},
      {"another user's plot in a shared plot folder",
       {{"Data.in", example}, {"P", "<shared>"}, {"P/Data-best-xy.png", "theirs"}},
       "-q -m 1 --plots P Data.in",
       "Warning: Plot file P/Data-best-xy.png: Data-best-xy.png in the shared folder <dir>/P "
       "belongs to another user and cannot be replaced: Data.in is not fitted\n"},
  };
  auto theirs = [](const std::string& content) { return content.starts_with("theirs"); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Files of another user can only be made by the administrator.
    if (!administrator && std::any_of(c.given.begin(), c.given.end(),
                                      [&](const auto& f) { return theirs(f.second); }))
      continue;
    support::temp_dir dir;
    for (const auto& [name, content] : c.given) {
      if (content.starts_with("<"))
        fs::create_directory(dir.file(name));
      else
        dir.write(name, content);
    }
    if (administrator) {
      // Everything becomes the runner's, but what is another user's.
      ASSERT_EQ(chown(dir.path().c_str(), nobody, nobody), 0);
      for (const auto& [name, content] : c.given) {
        if (theirs(content)) {
          ASSERT_EQ(chmod(dir.file(name).c_str(), 0666), 0);  // even writable
        } else if (content != "<shared>") {
          ASSERT_EQ(chown(dir.file(name).c_str(), nobody, nobody), 0);
        }
      }
    }
    for (const auto& [name, content] : c.given) {
      const int mode = content == "<shared>" ? 01777 : content == "<read-only>" ? 0555 : 0;
      if (mode != 0) {
        ASSERT_EQ(chmod(dir.file(name).c_str(), static_cast<mode_t>(mode)), 0);
      }
    }
    const auto before = support::snapshot(dir.path());

    const auto r = run_fit(c.args, dir, as_user);
    std::string err = c.err;
    err.replace(err.find("<dir>"), 5, fs::canonical(dir.path()).string());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, err);
    auto after = support::snapshot(dir.path());
    // An input that could be written was fitted; nothing else changed.
    if (!c.fitted.empty()) {
      EXPECT_TRUE(after[c.fitted].ends_with("RESULTS FILE " + c.fitted + "\r\n\r\n"));
      after.erase(c.fitted);
    }
    EXPECT_EQ(after, before);
    for (const auto& [name, content] : c.given)
      if (content == "<read-only>") fs::permissions(dir.file(name), fs::perms::owner_all);
  }
}

}  // namespace
}  // namespace inhibra::cli
