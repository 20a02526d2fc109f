// The listing, log and report files of the command: written whole beside
// their target, never through a name someone else planted, never over the
// program or its data, and a write that fails is a failed run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_support.h"

extern char** environ;

namespace x11sa::test {
namespace {

namespace fs = std::filesystem;

const char* const kProgram = "proc x11 data=airline; monthly date=date; var passengers; tables d11; run;\n";

// A command that regresses to reading a device whole must not take the
// machine's memory with it.
#ifdef __SANITIZE_ADDRESS__
const char* const kMemoryCap = "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=2048\"; ";
#else
const char* const kMemoryCap = "ulimit -v 524288; ";
#endif

// Runs the shell `commands` in `dir`, where `x11sa` is the command under
// test; their standard output and error go to out.txt and err.txt.
int shell_in(const fs::path& dir, const std::string& commands) {
  const std::string script = "cd '" + dir.string() + "' && " + kMemoryCap + "x11sa() { timeout 120 '" +
                             std::string(X11SA_CLI) + "' \"$@\"; }; { " + commands + "; } >out.txt 2>err.txt";
  const int raw = std::system(script.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

struct Case {
  const char* what;
  const char* setup;         // shell commands in the scratch folder
  const char* command;       // running x11sa there
  int status;
  const char* message;       // in standard error
  const char* keep;          // a file that must stay as it was ("" for none)
  const char* still_a_link;  // a symbolic link that must stay one ("" for none)
  const char* json;          // a file that must hold a JSON document ("" for none)
};

const Case kCases[] = {
    {"a link at the old fixed temporary name is not followed", "echo secret >victim && ln -s victim r.json.tmp",
     "x11sa --json r.json prog.x11", 0, "", "victim", "r.json.tmp", "r.json"},
    {"a link as the target: the file it points to is replaced", "echo old >real.json && ln -s real.json r.json",
     "x11sa --json r.json prog.x11", 0, "", "", "r.json", "real.json"},
    {"a device is written through", "ln -s /dev/null n.json && ln -s /dev/null n.html",
     "x11sa --json n.json --html n.html prog.x11", 0, "", "", "n.json", ""},
    {"a report that cannot be written", "ln -s /dev/full f.html", "x11sa --html f.html prog.x11", 2,
     "No space left on device", "", "f.html", ""},
    {"a listing file that cannot be written", "ln -s /dev/full f.lst", "x11sa --print f.lst prog.x11", 2,
     "No space left on device", "", "f.lst", ""},
    {"a listing on a full standard output", "", "x11sa prog.x11 >/dev/full", 2, "No space left on device", "", "",
     ""},
    {"a folder is refused", "mkdir r.html && echo x >r.html/keep", "x11sa --html r.html prog.x11", 2, "folder",
     "r.html/keep", "", ""},
    {"the program file is refused", "", "x11sa --print prog.x11 prog.x11", 2, "program file", "prog.x11", "", ""},
    {"an input data set is refused", "", "x11sa --log airline.csv prog.x11", 2, "input data set", "airline.csv", "",
     ""},
    {"an empty report name is refused", "", "x11sa --html '' prog.x11", 2, "file name", "", "", ""},
    {"a data set is not written over the program file",
     "printf \"proc x11 data=airline; monthly date=date; var passengers; output out='own.x11' d11=a; run;\" >own.x11",
     "x11sa own.x11", 1, "would replace the program file", "own.x11", "", ""},
    {"a library name is checked", "", "x11sa --lib 1lib=. prog.x11", 2, "library name", "", "", ""},
    {"a device as the program", "", "x11sa /dev/zero", 2, "not a regular file", "", "", ""},
    {"a folder as the program", "mkdir sub", "x11sa sub", 2, "folder", "", "", ""},
    {"a program beyond the size limit", "", "head -c 68157440 /dev/zero | tr '\\0' ' ' | x11sa -", 2, "64 MB", "",
     "", ""},
};

TEST(ReportFiles, TargetsAreReplacedWholeOrRefused) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const ScratchDir dir;
    dir.copy_data("airline.csv");
    dir.write("prog.x11", kProgram);
    ASSERT_EQ(shell_in(dir.path(), c.setup[0] != '\0' ? c.setup : ":"), 0);
    const std::string kept = c.keep[0] != '\0' ? read_file(dir.path() / c.keep) : "";

    const int status = shell_in(dir.path(), c.command);
    const std::string err = read_file(dir.path() / "err.txt");
    EXPECT_EQ(status, c.status) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    if (c.keep[0] != '\0') {
      EXPECT_TRUE(read_file(dir.path() / c.keep) == kept) << c.keep << " changed";
    }
    if (c.still_a_link[0] != '\0') {
      EXPECT_TRUE(fs::is_symlink(dir.path() / c.still_a_link));
    }
    if (c.json[0] != '\0') {
      EXPECT_TRUE(nlohmann::json::accept(read_file(dir.path() / c.json)));
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
      EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
  }
}

TEST(ReportFiles, ConcurrentWritersOfOneReportLeaveOneWholeDocument) {
  const ScratchDir dir;
  dir.copy_data("airline.csv");
  std::string program;  // long enough for the runs to overlap
  for (int i = 0; i < 10; ++i) program += kProgram;
  dir.write("prog.x11", program);
  std::string commands;
  for (int i = 0; i < 4; ++i)
    commands += "x11sa --json r.json --print /dev/null prog.x11 & p" + std::to_string(i) + "=$!; ";
  commands += "s=0; for p in $p0 $p1 $p2 $p3; do wait $p || s=1; done; exit $s";
  EXPECT_EQ(shell_in(dir.path(), commands), 0) << read_file(dir.path() / "err.txt");
  const nlohmann::json doc = nlohmann::json::parse(read_file(dir.path() / "r.json"), nullptr, false);
  ASSERT_FALSE(doc.is_discarded());
  EXPECT_EQ(doc["steps"].size(), 10u);
}

// A reader that went away gives EPIPE, which the run reports; it does not
// end the command by a signal before its files are in place.
TEST(ReportFiles, AClosedPipeIsAWriteError) {
  const ScratchDir dir;
  dir.copy_data("airline.csv");
  dir.write("prog.x11", kProgram);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ::close(pipe_fds[0]);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_adddup2(&files, pipe_fds[1], STDOUT_FILENO);
  const std::string err_file = (dir.path() / "err.txt").string();
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &pipe_signal);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  const std::string lib = "work=" + dir.path().string();
  const std::string program = (dir.path() / "prog.x11").string();
  std::vector<std::string> args = {X11SA_CLI, "--lib", lib, program};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, X11SA_CLI, &files, &attr, argv.data(), environ);
  ::close(pipe_fds[1]);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attr);
  ASSERT_EQ(spawned, 0);
  int raw = 0;
  ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
  ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_NE(read_file(err_file).find("Broken pipe"), std::string::npos) << read_file(err_file);
}

}  // namespace
}  // namespace x11sa::test
