// Runs an external program to completion and hands back what it printed.
//
// This is the one place delivery touches other processes, so tests can put
// fake programs first on PATH and exercise every branch without the real ones.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "base/error.h"

struct ProcessOutcome {
  bool exited = false;      // ended by exit(), not by a signal
  int exit_code = -1;       // meaningful when `exited`
  bool timed_out = false;   // killed because the time limit ran out
  std::string out;          // standard output, raw bytes
  std::string err;          // standard error, raw bytes

  bool success() const { return exited && exit_code == 0 && !timed_out; }
};

// At most this much of each output stream is kept; the rest is read and
// dropped so that a chatty program neither blocks nor fills the memory.
inline constexpr size_t kMaxCapturedOutput = 16 * 1024 * 1024;

// Starts `program` (looked up on PATH unless it holds a "/") with `args`,
// no shell, the caller's working directory and environment, standard input
// from /dev/null, and waits for it and its output.
//
// The program runs in a process group of its own. When `time_limit` passes
// before it has exited and closed its output, the whole group is killed with
// SIGKILL and the outcome says `timed_out`, holding what was printed so far.
//
// Fails, with the operating system's message, only when the program cannot
// be started at all (not found, not executable, no pipes).
Result<ProcessOutcome> run_process(const std::string& program,
                                   const std::vector<std::string>& args,
                                   std::chrono::milliseconds time_limit);

// "120 s" for whole seconds, "250 ms" otherwise: how messages name a limit.
std::string describe_time_limit(std::chrono::milliseconds limit);
