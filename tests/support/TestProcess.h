#pragma once

// Real processes and a private runtime directory for the channel tests.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace recmon::test {

using namespace std::chrono_literals;

// A child started with fork/exec, its stdout and stderr captured. Killed and
// reaped when it goes, so no test leaves a process behind.
class TChildProcess final {
 public:
  TChildProcess(const std::string& program, const std::vector<std::string>& args);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // The next line of stdout, without its newline; nothing on timeout or end.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // The exit status (128 + signal when killed); nothing while still running.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  void Signal(int sig) const;
  const std::string& Output() const { return Out_; }  // stdout not yet taken by ReadLine
  const std::string& Errors() const { return Err_; }

 private:
  void Drain(std::chrono::milliseconds timeout);

  pid_t Pid_ = -1;
  int OutFd_ = -1;
  int ErrFd_ = -1;
  std::string Out_;
  std::string Err_;
  std::optional<int> Status_;
};

// Points XDG_RUNTIME_DIR at a fresh temporary folder for one test and
// removes it afterwards; the real runtime directory is never touched.
class TRuntimeDir final {
 public:
  TRuntimeDir();
  ~TRuntimeDir();
  TRuntimeDir(const TRuntimeDir&) = delete;
  TRuntimeDir& operator=(const TRuntimeDir&) = delete;

  std::string Path;
  std::string Channel;  // the channel directory inside it
  std::string MapPath() const;
  std::string MutexPath() const;
};

bool Exists(const std::string& path);

}  // namespace recmon::test
