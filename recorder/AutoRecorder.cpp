#include "AutoRecorder.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <vector>

#include "CallDetector.h"
#include "CallFile.h"
#include "CallNames.h"
#include "CallNotice.h"
#include "DesktopNotifier.h"
#include "FolderUrl.h"
#include "ProgramLauncher.h"
#include "PulseWatcher.h"
#include "RecordingDefs.h"

namespace recmon {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// After a stop signal, how long a last notification may take to go out.
constexpr auto kLastNoticeTime = 2s;
// The desktop's opener for a notification's "Open Folder".
constexpr const char* kFolderOpener = "xdg-open";

// A new file's path for a call of `app`: a dated name with the program's
// name in the chosen folder, which is made (private to the user) if missing.
std::string NewCallPath(const TRecorderOptions& options, const std::string& app, std::time_t now) {
  const std::string folder = MakeCallsFolder(options.Folder);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::string path = FreePath(folder, AppCallFileName(local, app, ChosenExtension(options)),
                              [](const std::string& candidate) {
                                std::error_code ignored;
                                return fs::exists(fs::symlink_status(candidate, ignored));
                              });
  if (path.size() > RecMonFileNameSize) {
    throw std::runtime_error("the path " + path + " is longer than the " +
                             std::to_string(RecMonFileNameSize) +
                             " bytes the monitor can show; choose a shorter --folder");
  }
  return path;
}

// Stop signals and SIGCHLD as a descriptor to sleep on.
class TSignalFd final {
 public:
  explicit TSignalFd(const sigset_t& signals)
      : Fd_(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK)) {
    if (Fd_ < 0) {
      throw std::system_error(errno, std::generic_category(), "cannot wait for signals");
    }
  }
  ~TSignalFd() { ::close(Fd_); }
  TSignalFd(const TSignalFd&) = delete;
  TSignalFd& operator=(const TSignalFd&) = delete;
  int Fd() const { return Fd_; }
  // The signals that came, in order.
  std::vector<int> Take() const {
    std::vector<int> taken;
    signalfd_siginfo info{};
    while (::read(Fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      taken.push_back(static_cast<int>(info.ssi_signo));
    }
    return taken;
  }

 private:
  int Fd_;
};

class TAutoRecorder final {
 public:
  TAutoRecorder(const TRecorderOptions& options, std::ostream& out, std::ostream& err,
                const TCallRecorderFactory& record)
      : Options_(options),
        Out_(out),
        Err_(err),
        Record_(record),
        Filter_(options.Only, options.Ignore, static_cast<std::uint32_t>(::getpid())),
        Detector_(Filter_),
        Notifier_(err,
                  [](const std::string& folder) {
                    if (const auto url = LocalFolderUrl(folder)) {
                      StartProgram({kFolderOpener, *url});
                    }
                  }),
        Launcher_(MonitorProgram()) {}

  int Run(const sigset_t& stopSignals);

 private:
  void OnReport(TClock::time_point now);
  void OnEvents(const std::vector<TCallEvent>& events);
  void Begin(const std::string& app);
  TCallResult End(const std::string& why);
  void ShowMonitor();
  void Reap();

  const TRecorderOptions& Options_;
  std::ostream& Out_;
  std::ostream& Err_;
  const TCallRecorderFactory& Record_;
  TCallFilter Filter_;
  TCallDetector Detector_;
  TPulseWatcher Watcher_;
  TDesktopNotifier Notifier_;
  TMonitorLauncher Launcher_;

  std::optional<TServerStreams> Streams_;  // the newest view; nothing while the server is away
  std::uint64_t Losses_ = 0;
  std::string LastServerNote_;
  std::optional<TMonitorLauncher::TOutcome> LastMonitorOutcome_;

  // The call in progress.
  std::unique_ptr<ICallRecording> Recording_;
  TCallIdentity Identity_;
  std::string CallPath_;
};

void TAutoRecorder::OnReport(TClock::time_point now) {
  const TWatchReport report = Watcher_.Take();
  // A loss counts even when the server is back by now: the streams seen
  // before it may all be gone.
  const bool lost = report.Losses != Losses_;
  Losses_ = report.Losses;
  if (lost || (!report.Connected && Streams_)) {
    Streams_.reset();
    Detector_.SetServerGone();
    if (Recording_) {
      Recording_->Follow(std::nullopt, Identity_);
    }
  }
  if (!report.Connected && !report.Failure.empty()) {
    const std::string note = "waiting for the sound server (" + report.Failure + ")";
    if (note != LastServerNote_) {
      Err_ << "recmon-record: " << note << std::endl;
      LastServerNote_ = note;
    }
  }
  if (!report.Connected || !report.Streams) {
    return;
  }
  if (!Streams_) {
    Err_ << "recmon-record: waiting for calls on " << report.ServerName << std::endl;
    LastServerNote_.clear();
  }
  Streams_ = report.Streams;
  Detector_.SetStreams(Streams_->Captures, now);
  if (Recording_) {
    Identity_.Learn(*Streams_);
    Recording_->Follow(Streams_, Identity_);
  }
}

void TAutoRecorder::Begin(const std::string& app) {
  Identity_ = TCallIdentity{app, {}, {}};
  Identity_.Learn(*Streams_);
  TCallStart start{app, "", Identity_, *Streams_, Filter_};
  try {
    start.Path = NewCallPath(Options_, app, std::time(nullptr));
    CallPath_ = start.Path;
    Err_ << "recmon-record: " << app << "'s call began; recording into " << start.Path << std::endl;
    Out_ << start.Path << std::endl;
    Recording_ = Record_(start, Err_);
  } catch (const std::exception& e) {
    Err_ << "recmon-record: " << app << "'s call is not recorded: " << e.what() << std::endl;
    Detector_.Abandon();
    Notifier_.Notify({app, start.Path, 0, e.what(), true});
    return;
  }
  if (!Options_.NoMonitor) {
    ShowMonitor();
  }
}

void TAutoRecorder::ShowMonitor() {
  const auto outcome = Launcher_.Show([this] { return Notifier_.SessionEnvironment(); });
  // Each kind of trouble once, not at every call.
  if (outcome != LastMonitorOutcome_) {
    if (outcome == TMonitorLauncher::TOutcome::NoDisplay) {
      Err_ << "recmon-record: no display to show the monitor on" << std::endl;
    } else if (outcome == TMonitorLauncher::TOutcome::Failed) {
      Err_ << "recmon-record: could not start the monitor (recmon)" << std::endl;
    }
  }
  LastMonitorOutcome_ = outcome;
}

TCallResult TAutoRecorder::End(const std::string& why) {
  const TCallResult result = Recording_->Finish();
  Recording_.reset();
  Err_ << "recmon-record: " << Identity_.App << "'s call " << why << " after "
       << CallLengthText(result.Seconds) << "; " << result.Path
       << (result.Failure.empty() ? "" : " (" + result.Failure + ")") << std::endl;
  Notifier_.Notify({Identity_.App, result.Path, result.Seconds, result.Failure, !result.Created});
  return result;
}

void TAutoRecorder::OnEvents(const std::vector<TCallEvent>& events) {
  for (const TCallEvent& event : events) {
    if (event.Kind == TCallEvent::TKind::Ended) {
      if (Recording_) {
        End("ended");
      }
    } else if (Streams_) {
      Begin(event.App);
    }
  }
}

void TAutoRecorder::Reap() {
  for (;;) {
    const pid_t pid = ::waitpid(-1, nullptr, WNOHANG);
    if (pid <= 0) {
      return;
    }
    Launcher_.Reaped(pid);
  }
}

int TAutoRecorder::Run(const sigset_t& stopSignals) {
  sigset_t signals = stopSignals;
  sigaddset(&signals, SIGCHLD);
  const TSignalFd signalFd(signals);
  bool stopping = false;
  while (!stopping) {
    std::optional<TClock::time_point> deadline = Detector_.NextDeadline();
    if (const auto bus = Notifier_.Deadline(); bus && (!deadline || *bus < *deadline)) {
      deadline = bus;
    }
    int timeoutMs = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - TClock::now());
      timeoutMs = static_cast<int>(std::max<std::int64_t>(0, left.count()));
    }
    std::vector<pollfd> fds{{signalFd.Fd(), POLLIN, 0}, {Watcher_.Fd(), POLLIN, 0}};
    if (Notifier_.Fd() >= 0) {
      fds.push_back({Notifier_.Fd(), Notifier_.Events(), 0});
    }
    if (Recording_ && Recording_->StoppedFd() >= 0) {
      fds.push_back({Recording_->StoppedFd(), POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "cannot wait for events");
    }
    for (const int sig : signalFd.Take()) {
      if (sig == SIGCHLD) {
        Reap();
      } else {
        stopping = true;
      }
    }
    const auto now = TClock::now();
    if ((fds[1].revents & POLLIN) != 0) {
      OnReport(now);
    }
    Notifier_.Process();
    if (Recording_ && Recording_->Stopped()) {
      if (End("stopped").ServerAway) {
        Detector_.Forget();
      } else {
        Detector_.Abandon();
      }
    }
    if (!stopping) {
      OnEvents(Detector_.Advance(now));
    }
  }
  if (Recording_) {
    End("stopped with the recorder");
  }
  // The last notice goes out before the program ends.
  const auto until = TClock::now() + kLastNoticeTime;
  while (Notifier_.Busy() && TClock::now() < until) {
    pollfd bus{Notifier_.Fd(), Notifier_.Events(), 0};
    if (bus.fd < 0) {
      break;
    }
    ::poll(&bus, 1, 50);
    Notifier_.Process();
  }
  return 0;
}

}  // namespace

int RunAutoRecorder(const TRecorderOptions& options, const sigset_t& stopSignals, std::ostream& out,
                    std::ostream& err, const TCallRecorderFactory& record) {
  // Children's ends come through the signal descriptor, so SIGCHLD must be
  // blocked before any thread starts (a thread without it blocked would
  // take and discard it).
  sigset_t child;
  sigemptyset(&child);
  sigaddset(&child, SIGCHLD);
  ::pthread_sigmask(SIG_BLOCK, &child, nullptr);
  try {
    TAutoRecorder recorder(options, out, err, record);
    return recorder.Run(stopSignals);
  } catch (const std::exception& e) {
    err << "recmon-record: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace recmon
