#include "TestProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "ChannelDirectory.h"

namespace recmon::test {

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& args) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);

  Pid_ = ::fork();
  if (Pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  OutFd_ = out[0];
  ErrFd_ = err[0];
  if (Pid_ < 0) {
    throw std::runtime_error("fork failed");
  }
}

TChildProcess::~TChildProcess() {
  if (!Status_) {
    ::kill(Pid_, SIGKILL);
    ::waitpid(Pid_, nullptr, 0);
  }
  ::close(OutFd_);
  ::close(ErrFd_);
}

void TChildProcess::Drain(std::chrono::milliseconds timeout) {
  pollfd fds[] = {{OutFd_, POLLIN, 0}, {ErrFd_, POLLIN, 0}};
  if (::poll(fds, 2, static_cast<int>(timeout.count())) <= 0) {
    return;
  }
  for (int i = 0; i < 2; ++i) {
    if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) {
      continue;
    }
    char chunk[4096];
    const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
    if (got > 0) {
      (i == 0 ? Out_ : Err_).append(chunk, static_cast<std::size_t>(got));
    } else {
      // End of that stream: stop polling it.
      ::close(fds[i].fd);
      (i == 0 ? OutFd_ : ErrFd_) = -1;
    }
  }
}

std::optional<std::string> TChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto newline = Out_.find('\n');
    if (newline != std::string::npos) {
      std::string line = Out_.substr(0, newline);
      Out_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || OutFd_ < 0) {
      return std::nullopt;
    }
    Drain(left);
  }
}

std::optional<int> TChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Status_) {
    int status = 0;
    if (::waitpid(Pid_, &status, WNOHANG) == Pid_) {
      Status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    if (OutFd_ < 0 && ErrFd_ < 0) {
      ::usleep(5000);
    }
    Drain(5ms);
  }
  while (OutFd_ >= 0 || ErrFd_ >= 0) {
    Drain(1000ms);
  }
  return Status_;
}

void TChildProcess::Signal(int sig) const {
  ::kill(Pid_, sig);
}

TRuntimeDir::TRuntimeDir() {
  char pattern[] = "/tmp/recmon-channel-test-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  Path = pattern;
  ::setenv("XDG_RUNTIME_DIR", Path.c_str(), 1);
  Channel = RecMonChannelDirectory();
}

TRuntimeDir::~TRuntimeDir() {
  ::unsetenv("XDG_RUNTIME_DIR");
  std::error_code ignored;
  std::filesystem::remove_all(Path, ignored);
}

std::string TRuntimeDir::MapPath() const {
  return Channel + "/" + RecMonMapName;
}
std::string TRuntimeDir::MutexPath() const {
  return Channel + "/" + RecMonMutexName;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace recmon::test
