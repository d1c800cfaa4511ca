#include "SoundServer.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace recmon::test {

using namespace std::chrono_literals;

TRun RunToEnd(const std::string& program, const std::vector<std::string>& args) {
  TChildProcess child(program, args);
  TRun run;
  const auto status = child.Wait(30s);
  run.Status = status.value_or(-1);
  run.Out = child.Output();
  run.Err = child.Errors();
  return run;
}

bool OnPipeWire() {
  const char* choice = std::getenv("RECMON_TEST_SOUND_SERVER");
  return choice != nullptr && std::string(choice) == "pipewire";
}

TSoundServer::TSoundServer(const std::string& folder, bool keepOutputsBusy) : Folder_(folder) {
  for (const char* sub : {"/server-runtime", "/server-home"}) {
    ::mkdir((folder + sub).c_str(), 0700);
  }
  std::ofstream(folder + "/client.conf") << "autospawn = no\n";
  ::setenv("PULSE_CLIENTCONFIG", (folder + "/client.conf").c_str(), 1);
  if (OnPipeWire()) {
    StartPipeWire();
  } else {
    StartPulseAudio();
  }
  if (keepOutputsBusy) {
    KeepOutputsBusy();
    // The outputs settle into real time once they have played for a moment.
    std::this_thread::sleep_for(2s);
  }
}

void TSoundServer::KeepOutputsBusy() {
  for (const char* sink : {"others", "micfeed", "headset"}) {
    KeepBusy(sink);
  }
}

void TSoundServer::KeepBusy(const std::string& sink) {
  // PipeWire's null outputs keep time by themselves; more streams only load
  // a graph that on two shared cores may then fall behind the clock.
  if (OnPipeWire()) {
    return;
  }
  Keepers_.push_back(std::make_unique<TChildProcess>(
      "/usr/bin/pacat",
      std::vector<std::string>{"--playback", "--device=" + sink, "--latency-msec=20",
                               "--format=s16le", "--rate=48000", "--channels=1", "/dev/zero"}));
}

void TSoundServer::UnplugHeadset() {
  std::istringstream lines(Pactl({"list", "short", "modules"}));
  for (std::string line; std::getline(lines, line);) {
    if (line.find("sink_name=headset") != std::string::npos) {
      Pactl({"unload-module", line.substr(0, line.find('\t'))});
    }
  }
}

void TSoundServer::PlugInHeadset() {
  Pactl({"load-module", "module-null-sink", "sink_name=headset", "channels=2", "rate=48000"});
  KeepBusy("headset");
}

void TSoundServer::WaitForServer() {
  for (int i = 0;; ++i) {
    if (RunToEnd("/usr/bin/pactl", {"info"}).Status == 0) {
      return;
    }
    if (i == 100 || Server_->Wait(0ms)) {
      throw std::runtime_error(
          "the test's sound server did not start (are its packages "
          "installed?): " +
          Server_->Errors());
    }
    std::this_thread::sleep_for(50ms);
  }
}

void TSoundServer::StartPulseAudio() {
  const std::string socket = Folder_ + "/native";
  std::ofstream(Folder_ + "/server.pa")
      << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket << "\n"
      << "load-module module-null-sink sink_name=others channels=2 rate=48000\n"
      << "load-module module-null-sink sink_name=micfeed channels=1 rate=48000\n"
      << "load-module module-null-sink sink_name=headset channels=2 rate=48000\n"
      << "load-module module-remap-source source_name=mic master=micfeed.monitor channels=1\n"
      << "set-default-sink others\n"
      << "set-default-source mic\n";
  ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  // -n: not the default script, which looks for sound cards, udev and X11.
  Server_ = std::make_unique<TChildProcess>(
      "/usr/bin/env", std::vector<std::string>{"XDG_RUNTIME_DIR=" + Folder_ + "/server-runtime",
                                               "HOME=" + Folder_ + "/server-home", "pulseaudio",
                                               "-n", "-F", Folder_ + "/server.pa", "--daemonize=no",
                                               "--exit-idle-time=-1", "--use-pid-file=no"});
  WaitForServer();
}

namespace {

std::unique_ptr<TChildProcess> StartWith(const std::string& folder,
                                         std::vector<std::string> command) {
  const std::vector<std::string> env{"XDG_RUNTIME_DIR=" + folder + "/server-runtime",
                                     "HOME=" + folder + "/server-home",
                                     "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/bus"};
  command.insert(command.begin(), env.begin(), env.end());
  return std::make_unique<TChildProcess>("/usr/bin/env", command);
}

}  // namespace

void TSoundServer::StartPipeWire() {
  Helpers_.push_back(
      StartWith(Folder_, {"dbus-daemon", "--session", "--address=unix:path=" + Folder_ + "/bus",
                          "--nofork", "--nopidfile"}));
  std::this_thread::sleep_for(300ms);
  Helpers_.push_back(StartWith(Folder_, {"pipewire"}));
  std::this_thread::sleep_for(500ms);
  Helpers_.push_back(StartWith(Folder_, {"wireplumber"}));
  StartPipeWirePulse();
}

void TSoundServer::StartPipeWirePulse() {
  // The PulseAudio service is the server the recorder talks to; the outputs
  // made through it last as long as it runs.
  Server_ = StartWith(Folder_, {"pipewire-pulse"});
  ::setenv("PULSE_SERVER", ("unix:" + Folder_ + "/server-runtime/pulse/native").c_str(), 1);
  WaitForServer();
  for (const std::vector<std::string>& module :
       {std::vector<std::string>{"module-null-sink", "sink_name=others", "channels=2",
                                 "rate=48000"},
        std::vector<std::string>{"module-null-sink", "sink_name=micfeed", "channels=1",
                                 "rate=48000"},
        std::vector<std::string>{"module-null-sink", "sink_name=headset", "channels=2",
                                 "rate=48000"},
        std::vector<std::string>{"module-remap-source", "source_name=mic", "master=micfeed.monitor",
                                 "channels=1"}}) {
    std::vector<std::string> args{"load-module"};
    args.insert(args.end(), module.begin(), module.end());
    RunToEnd("/usr/bin/pactl", args);
  }
  // The session manager must see the new nodes before they can be defaults.
  for (int i = 0; i < 50; ++i) {
    if (RunToEnd("/usr/bin/pactl", {"set-default-sink", "others"}).Status == 0 &&
        RunToEnd("/usr/bin/pactl", {"set-default-source", "mic"}).Status == 0) {
      const TRun info = RunToEnd("/usr/bin/pactl", {"info"});
      if (info.Out.find("Default Sink: others") != std::string::npos &&
          info.Out.find("Default Source: mic") != std::string::npos) {
        return;
      }
    }
    std::this_thread::sleep_for(100ms);
  }
  throw std::runtime_error("PipeWire did not take the test's outputs as defaults");
}

TSoundServer::~TSoundServer() {
  Keepers_.clear();
  if (Server_ && !Server_->Wait(0ms)) {
    Server_->Signal(SIGTERM);
    Server_->Wait(3s);
  }
  while (!Helpers_.empty()) {
    Helpers_.back()->Signal(SIGTERM);
    Helpers_.back()->Wait(3s);
    Helpers_.pop_back();
  }
  ::unsetenv("PULSE_SERVER");
  ::unsetenv("PULSE_CLIENTCONFIG");
}

void TSoundServer::Kill() {
  Server_->Signal(SIGKILL);
  Server_->Wait(3s);
  Keepers_.clear();
}

void TSoundServer::Restart() {
  if (OnPipeWire()) {
    StartPipeWirePulse();
  } else {
    StartPulseAudio();
  }
  KeepOutputsBusy();
}

std::string Pactl(const std::vector<std::string>& args) {
  const TRun run = RunToEnd("/usr/bin/pactl", args);
  if (run.Status != 0) {
    throw std::runtime_error("pactl failed: " + run.Err);
  }
  return run.Out;
}

void MakeTone(const std::string& path, int channels, double hz, double seconds) {
  const TRun run =
      RunToEnd("/usr/bin/sox", {"-n", "-r", "48000", "-c", std::to_string(channels), path, "synth",
                                std::to_string(seconds), "sine", std::to_string(hz), "vol", "0.5"});
  if (run.Status != 0) {
    throw std::runtime_error("sox could not make a tone (is sox installed?): " + run.Err);
  }
}

namespace {

double Figure(const std::string& text, const std::string& label) {
  const auto at = text.find(label);
  if (at == std::string::npos) {
    throw std::runtime_error("sox printed no '" + label + "': " + text);
  }
  return std::strtod(text.c_str() + text.find(':', at) + 1, nullptr);
}

}  // namespace

TStretch Measure(const std::string& file, int channel, double start, double length) {
  const TRun run =
      RunToEnd("/usr/bin/sox", {file, "-n", "remix", std::to_string(channel), "trim",
                                std::to_string(start), std::to_string(length), "stat"});
  if (run.Status != 0) {
    throw std::runtime_error("sox could not read " + file + ": " + run.Err);
  }
  return {Figure(run.Err, "RMS     amplitude"), Figure(run.Err, "Rough   frequency")};
}

std::optional<double> SoundSeconds(const std::string& file) {
  const TRun run = RunToEnd("/usr/bin/soxi", {"-D", file});
  if (run.Status != 0) {
    return std::nullopt;
  }
  return std::strtod(run.Out.c_str(), nullptr);
}

}  // namespace recmon::test
