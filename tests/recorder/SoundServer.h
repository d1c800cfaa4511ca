#pragma once

// A private headless sound server for one test, with no sound card: started
// in the test's own folders, reached through PULSE_SERVER by every program
// the test starts, and stopped with the test. Its default output "others"
// plays the other parties; what is played into "micfeed" comes out of the
// default source "mic", the microphone; a second output, "headset", is
// there to be switched to, unplugged and plugged in again.
//
// PulseAudio by default; with RECMON_TEST_SOUND_SERVER=pipewire, PipeWire
// with its PulseAudio service (and a private session bus, which PipeWire and
// its session manager need).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestProcess.h"

namespace recmon::test {

class TSoundServer final {
 public:
  // `keepOutputsBusy`: hold a silent stream open on both outputs, as a call
  // application does, so that the idle outputs stop rendering ahead.
  TSoundServer(const std::string& folder, bool keepOutputsBusy);
  ~TSoundServer();
  TSoundServer(const TSoundServer&) = delete;
  TSoundServer& operator=(const TSoundServer&) = delete;

  // Ends the server at once, as a crash would; its clients' streams end with it.
  void Kill();
  // Takes the "headset" output away, and brings it back (kept busy again).
  void UnplugHeadset();
  void PlugInHeadset();
  // Starts it again after Kill with the same outputs, source and defaults,
  // as a service manager restarts a crashed server. A freshly started
  // PulseAudio null output plays nothing for up to two seconds.
  void Restart();

 private:
  void StartPulseAudio();
  void StartPipeWire();
  void StartPipeWirePulse();
  void WaitForServer();
  void KeepOutputsBusy();
  void KeepBusy(const std::string& sink);

  std::string Folder_;
  // The server last: it goes first when stopped, its helpers after it.
  std::vector<std::unique_ptr<TChildProcess>> Helpers_;
  std::unique_ptr<TChildProcess> Server_;
  std::vector<std::unique_ptr<TChildProcess>> Keepers_;
};

// Whether the tests run on PipeWire (RECMON_TEST_SOUND_SERVER=pipewire).
bool OnPipeWire();

// Runs a program to its end (at most 30 s); its exit status and output.
struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};
TRun RunToEnd(const std::string& program, const std::vector<std::string>& args);

// pactl with `args` against the test's server; its output. Raises when it fails.
std::string Pactl(const std::vector<std::string>& args);

// Writes a tone file with sox: `seconds` of `hz` at half full scale.
void MakeTone(const std::string& path, int channels, double hz, double seconds);

// sox's figures for one channel (1 = left) of a stretch of a file.
struct TStretch {
  double Rms = 0;
  double Frequency = 0;  // sox's rough frequency
};
TStretch Measure(const std::string& file, int channel, double start, double length);

// Length of a sound file in seconds (sox), nothing when it cannot be read.
std::optional<double> SoundSeconds(const std::string& file);

}  // namespace recmon::test
