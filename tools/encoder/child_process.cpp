#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace qf::encoder {
namespace {

volatile sig_atomic_t gSignal = 0;
volatile sig_atomic_t gRemoveArmed = 0;
char gRemovePath[PATH_MAX + 1];
// What a two-pass run writes beside the output (its logs), removed with it.
constexpr int kMaxExtras = 4;
char gExtraPaths[kMaxExtras][PATH_MAX + 1];
volatile sig_atomic_t gExtraCount = 0;
int gWakeWrite = -1;
int gWakeRead = -1;

constexpr int kInterruptSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onInterrupt(int sig) {
  int savedErrno = errno;
  if (gSignal == 0) gSignal = sig;
  // Removing the file first means a SIGKILL that follows the SIGTERM to the
  // group cannot leave it behind.
  if (gRemoveArmed) {
    unlink(gRemovePath);
    gRemoveArmed = 0;
  }
  for (int i = 0; i < gExtraCount; ++i) unlink(gExtraPaths[i]);
  gExtraCount = 0;
  if (gWakeWrite >= 0) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(gWakeWrite, &byte, 1);
  }
  errno = savedErrno;
}

class LineSplitter {
 public:
  void push(const char* data, std::size_t size, const LineHandler& handler) {
    for (std::size_t i = 0; i < size; ++i) {
      char c = data[i];
      if (c == '\n' || c == '\r') {
        if (!pending_.empty()) handler(pending_);
        pending_.clear();
      } else {
        pending_ += c;
      }
    }
  }
  void finish(const LineHandler& handler) {
    if (!pending_.empty()) handler(pending_);
    pending_.clear();
  }

 private:
  std::string pending_;
};

void endChild(pid_t pid, int& status) {
  kill(pid, SIGTERM);
  // ffmpeg stops within a moment of SIGTERM; give it one second, then force it.
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Starts program as a child that ends with this process, whatever ends this
// one: the kernel sends it SIGKILL when its parent dies, so a SIGKILL of the
// encoder (which no handler can see) cannot leave ffmpeg writing on. The
// child stays in our process group, so that ending the group ends it too.
// Returns 0, or the errno of the failed start.
int spawnTiedChild(const std::string& program, const std::vector<char*>& argv, int stdoutFd, int stderrFd,
                   pid_t& pid) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  // Our handlers must not run in the child before exec (they remove the
  // output): block the signals across fork; the child resets them.
  sigset_t all, old;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &old);
  pid_t parent = getpid();
  pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to exec.
    for (int sig : kInterruptSignals) signal(sig, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    int error = 0;
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) error = errno;
    // The parent may have died before the request was made.
    if (error == 0 && getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (error == 0 && (null < 0 || dup2(null, 0) < 0 || dup2(stdoutFd, 1) < 0 || dup2(stderrFd, 2) < 0)) error = errno;
    if (error == 0) {
      execvp(program.c_str(), argv.data());
      error = errno;
    }
    [[maybe_unused]] ssize_t n = write(report[1], &error, sizeof error);
    _exit(127);
  }
  int forkError = pid < 0 ? errno : 0;
  sigprocmask(SIG_SETMASK, &old, nullptr);
  close(report[1]);
  if (forkError != 0) {
    close(report[0]);
    return forkError;
  }
  // The report pipe closes on a successful exec; an error number means none happened.
  int error = 0;
  ssize_t n;
  do {
    n = read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  if (n == static_cast<ssize_t>(sizeof error) && error != 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return error;
  }
  return 0;
}

}  // namespace

void installInterruptHandlers() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    gWakeRead = fds[0];
    gWakeWrite = fds[1];
  }
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  for (int sig : kInterruptSignals) sigaddset(&action.sa_mask, sig);
  for (int sig : kInterruptSignals) sigaction(sig, &action, nullptr);
  // A reader that went away must not kill the conversion half-way.
  signal(SIGPIPE, SIG_IGN);
}

void setFileToRemoveOnInterrupt(const std::string& path) {
  gRemoveArmed = 0;
  if (path.empty() || path.size() > PATH_MAX) return;
  std::memcpy(gRemovePath, path.c_str(), path.size() + 1);
  gRemoveArmed = 1;
}

void addFileToRemoveOnInterrupt(const std::string& path) {
  if (gExtraCount >= kMaxExtras || path.empty() || path.size() > PATH_MAX) return;
  std::memcpy(gExtraPaths[gExtraCount], path.c_str(), path.size() + 1);
  gExtraCount = gExtraCount + 1;
}

void clearExtraFilesToRemoveOnInterrupt() { gExtraCount = 0; }

int interruptSignal() { return gSignal; }

void withInterruptsBlocked(const std::function<void()>& fn) {
  sigset_t block, old;
  sigemptyset(&block);
  for (int sig : kInterruptSignals) sigaddset(&block, sig);
  sigprocmask(SIG_BLOCK, &block, &old);
  fn();
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

ChildOutcome runChild(const std::string& program, const std::vector<std::string>& args,
                      const LineHandler& onStdout, const LineHandler& onStderr) {
  ChildOutcome outcome;
  if (gSignal != 0) {
    outcome.interrupted = true;
    return outcome;
  }
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    outcome.startError = std::strerror(errno);
    return outcome;
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    outcome.startError = std::strerror(errno);
    close(out[0]);
    close(out[1]);
    return outcome;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = spawnTiedChild(program, argv, out[1], err[1], pid);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    outcome.startError = std::strerror(rc);
    close(out[0]);
    close(err[0]);
    return outcome;
  }
  outcome.started = true;

  LineSplitter outLines;
  LineSplitter errLines;
  bool outOpen = true;
  bool errOpen = true;
  char buffer[65536];
  while ((outOpen || errOpen) && gSignal == 0) {
    pollfd fds[3] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}, {gWakeRead, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int k = 0; k < 2; ++k) {
      if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      bool isOut = k == 0;
      if (n <= 0) {
        (isOut ? outLines : errLines).finish(isOut ? onStdout : onStderr);
        (isOut ? outOpen : errOpen) = false;
      } else {
        (isOut ? outLines : errLines).push(buffer, static_cast<std::size_t>(n), isOut ? onStdout : onStderr);
      }
    }
  }
  int status = 0;
  if (gSignal != 0) {
    outcome.interrupted = true;
    endChild(pid, status);
  } else {
    while (waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) break;
      if (gSignal != 0) {
        outcome.interrupted = true;
        endChild(pid, status);
        break;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.termSignal = WTERMSIG(status);
  return outcome;
}

}  // namespace qf::encoder
