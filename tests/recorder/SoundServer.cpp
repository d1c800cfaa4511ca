#include "SoundServer.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
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

TSoundServer::TSoundServer(const std::string& folder, bool keepOutputsBusy) : Folder_(folder) {
  for (const char* sub : {"/server-runtime", "/server-home"}) {
    ::mkdir((folder + sub).c_str(), 0700);
  }
  Socket_ = folder + "/native";
  std::ofstream(folder + "/server.pa")
      << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << Socket_ << "\n"
      << "load-module module-null-sink sink_name=others channels=2 rate=48000\n"
      << "load-module module-null-sink sink_name=micfeed channels=1 rate=48000\n"
      << "load-module module-remap-source source_name=mic master=micfeed.monitor channels=1\n"
      << "set-default-sink others\n"
      << "set-default-source mic\n";
  std::ofstream(folder + "/client.conf") << "autospawn = no\n";
  ::setenv("PULSE_SERVER", ("unix:" + Socket_).c_str(), 1);
  ::setenv("PULSE_CLIENTCONFIG", (folder + "/client.conf").c_str(), 1);
  // -n: not the default script, which looks for sound cards, udev and X11.
  Server_ = std::make_unique<TChildProcess>(
      "/usr/bin/env", std::vector<std::string>{"XDG_RUNTIME_DIR=" + folder + "/server-runtime",
                                               "HOME=" + folder + "/server-home", "pulseaudio",
                                               "-n", "-F", folder + "/server.pa", "--daemonize=no",
                                               "--exit-idle-time=-1", "--use-pid-file=no"});
  for (int i = 0;; ++i) {
    if (RunToEnd("/usr/bin/pactl", {"info"}).Status == 0) {
      break;
    }
    if (i == 100 || Server_->Wait(0ms)) {
      throw std::runtime_error(
          "the test's PulseAudio did not start (is the pulseaudio package "
          "installed?): " +
          Server_->Errors());
    }
    std::this_thread::sleep_for(50ms);
  }
  if (keepOutputsBusy) {
    for (const char* sink : {"others", "micfeed"}) {
      Keepers_.push_back(std::make_unique<TChildProcess>(
          "/usr/bin/pacat", std::vector<std::string>{"--playback", std::string("--device=") + sink,
                                                     "--latency-msec=20", "--format=s16le",
                                                     "--rate=48000", "--channels=1", "/dev/zero"}));
    }
    // The outputs settle into real time once they have played for a moment.
    std::this_thread::sleep_for(2s);
  }
}

TSoundServer::~TSoundServer() {
  Keepers_.clear();
  if (Server_ && !Server_->Wait(0ms)) {
    Server_->Signal(SIGTERM);
    Server_->Wait(3s);
  }
  ::unsetenv("PULSE_SERVER");
  ::unsetenv("PULSE_CLIENTCONFIG");
}

void TSoundServer::Kill() {
  Server_->Signal(SIGKILL);
  Server_->Wait(3s);
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
