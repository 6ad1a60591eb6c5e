#include "deliver/process_runner.h"

#include <signal.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

Result<ProcessOutcome> run_sh(const std::string& script, milliseconds limit = seconds(20)) {
  return run_process("sh", {"-c", script}, limit);
}

// True once `pid` has ended: no such process, or a zombie (a killed orphan
// waits for init to reap it, which can take a while in a container).
bool gone(pid_t pid) {
  for (int i = 0; i < 500; ++i) {
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t paren = line.rfind(')');
    if (paren != std::string::npos && line.compare(paren, 3, ") Z") == 0) return true;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return false;
}

TEST(ProcessRunner, CapturesBothStreamsAndTheExitCode) {
  struct Case {
    const char* script;
    std::string out, err;
    int code;
  } cases[] = {
      {"echo hello; echo oops >&2", "hello\n", "oops\n", 0},
      {"printf 'a\\0b'; exit 3", std::string("a\0b", 3), "", 3},
      {"read x; echo \"[$x]\"", "[]\n", "", 0},  // standard input is empty
      {"exit 255", "", "", 255},
  };
  for (const Case& c : cases) {
    Result<ProcessOutcome> r = run_sh(c.script);
    ASSERT_TRUE(r.ok()) << c.script;
    EXPECT_TRUE(r->exited) << c.script;
    EXPECT_FALSE(r->timed_out) << c.script;
    EXPECT_EQ(r->exit_code, c.code) << c.script;
    EXPECT_EQ(r->success(), c.code == 0) << c.script;
    EXPECT_EQ(r->out, c.out) << c.script;
    EXPECT_EQ(r->err, c.err) << c.script;
  }
}

TEST(ProcessRunner, PassesArgumentsWithoutAShell) {
  Result<ProcessOutcome> r =
      run_process("printf", {"%s|%s|", "a b", "$HOME;`x`"}, seconds(20));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->out, "a b|$HOME;`x`|");
}

TEST(ProcessRunner, AProgramThatIsNotThereFailsToStart) {
  Result<ProcessOutcome> r = run_process("tovik-no-such-program", {}, seconds(5));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().message(), "No such file or directory");
}

TEST(ProcessRunner, ASignalIsNotSuccess) {
  Result<ProcessOutcome> r = run_sh("kill -9 $$");
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(r->exited);
  EXPECT_FALSE(r->success());
}

TEST(ProcessRunner, LargeOutputOnBothStreamsDoesNotDeadlock) {
  // 1 MB on each stream is far beyond a pipe's buffer.
  Result<ProcessOutcome> r =
      run_sh("head -c 1000000 /dev/zero; head -c 1000000 /dev/zero >&2; echo end");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->out.size(), 1000004u);
  EXPECT_EQ(r->err.size(), 1000000u);
}

TEST(ProcessRunner, TimeLimitKillsTheWholeGroup) {
  struct Case {
    const char* name;
    const char* script;
  } cases[] = {
      {"sleeps", "echo $$; echo started >&2; sleep 30"},
      {"closes its output and keeps running", "echo $$; exec >&- 2>&-; sleep 30"},
      {"leaves a child holding the output", "sleep 30 & echo $!; wait"},
  };
  for (const Case& c : cases) {
    auto start = std::chrono::steady_clock::now();
    Result<ProcessOutcome> r = run_sh(c.script, milliseconds(300));
    auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(r.ok()) << c.name;
    EXPECT_TRUE(r->timed_out) << c.name;
    EXPECT_FALSE(r->success()) << c.name;
    EXPECT_LT(took, seconds(10)) << c.name;
    pid_t pid = std::stoi(r->out);
    EXPECT_TRUE(gone(pid)) << c.name << ": process " << pid << " survived";
  }
  Result<ProcessOutcome> r = run_sh("echo partial >&2; sleep 30", milliseconds(300));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->err, "partial\n");  // what was printed before the kill is kept
}

TEST(ProcessRunner, DescribesTimeLimits) {
  EXPECT_EQ(describe_time_limit(seconds(120)), "120 s");
  EXPECT_EQ(describe_time_limit(milliseconds(300)), "300 ms");
  EXPECT_EQ(describe_time_limit(milliseconds(1500)), "1500 ms");
}

}  // namespace
