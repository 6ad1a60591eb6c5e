#include "deliver/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Closes a file descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

struct Pipe {
  Pipe(int r, int w) : read_end(r), write_end(w) {}
  Fd read_end, write_end;
};

Result<std::unique_ptr<Pipe>> make_pipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return os_error(errno);
  return std::make_unique<Pipe>(fds[0], fds[1]);
}

// Owns the spawn attribute objects of one start.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
};

Result<pid_t> spawn(const std::string& program, const std::vector<std::string>& args,
                    int out_fd, int err_fd) {
  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&setup.actions, out_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, err_fd, STDERR_FILENO);

  // A group of its own lets a time-out kill the program's children as well;
  // a clean signal state keeps a server's ignored SIGPIPE from leaking in.
  sigset_t empty, defaults;
  sigemptyset(&empty);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setpgroup(&setup.attr, 0);
  posix_spawnattr_setsigmask(&setup.attr, &empty);
  posix_spawnattr_setsigdefault(&setup.attr, &defaults);
  posix_spawnattr_setflags(&setup.attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  int rc = posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
  if (rc != 0) return os_error(rc);
  return pid;
}

int remaining_ms(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(std::min<int64_t>(left.count(), 60'000));
}

void append_capped(std::string& sink, const char* data, size_t n) {
  if (sink.size() >= kMaxCapturedOutput) return;
  sink.append(data, std::min(n, kMaxCapturedOutput - sink.size()));
}

// Reads both streams until each reaches its end or the deadline passes.
// Returns false on time-out.
bool drain_outputs(int out_fd, int err_fd, Clock::time_point deadline, ProcessOutcome& outcome) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  int open_streams = 2;
  char buffer[65536];
  while (open_streams > 0) {
    if (Clock::now() >= deadline) return false;
    int n = poll(fds, 2, remaining_ms(deadline));
    if (n < 0 && errno != EINTR) return true;  // nothing sensible left to read
    for (int i = 0; i < 2 && n > 0; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        append_capped(*sinks[i], buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open_streams;
      }
    }
  }
  return true;
}

// Waits for the child to exit until the deadline. A program may close its
// output and keep running, so this polls rather than blocking.
bool wait_until(pid_t pid, Clock::time_point deadline, int& status) {
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return true;  // already reaped elsewhere: treat as gone
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

}  // namespace

Result<ProcessOutcome> run_process(const std::string& program,
                                   const std::vector<std::string>& args,
                                   std::chrono::milliseconds time_limit) {
  ASSIGN_OR_RETURN(std::unique_ptr<Pipe> out_pipe, make_pipe());
  ASSIGN_OR_RETURN(std::unique_ptr<Pipe> err_pipe, make_pipe());
  ASSIGN_OR_RETURN(pid_t pid, spawn(program, args, out_pipe->write_end.get(),
                                    err_pipe->write_end.get()));
  // Our copies of the write ends must go, or the reads never see the end.
  out_pipe->write_end.reset();
  err_pipe->write_end.reset();

  const Clock::time_point deadline = Clock::now() + time_limit;
  ProcessOutcome outcome;
  int status = 0;
  bool finished = drain_outputs(out_pipe->read_end.get(), err_pipe->read_end.get(), deadline,
                                outcome) &&
                  wait_until(pid, deadline, status);
  if (!finished) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.timed_out = true;
    return outcome;
  }
  outcome.exited = WIFEXITED(status);
  if (outcome.exited) outcome.exit_code = WEXITSTATUS(status);
  return outcome;
}

std::string describe_time_limit(std::chrono::milliseconds limit) {
  if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
  return std::to_string(limit.count()) + " ms";
}
