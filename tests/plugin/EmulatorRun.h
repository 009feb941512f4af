// Runs the host emulator (tools/host-emulator) on a copy of the built
// plug-in in a folder of its own, as the end-to-end suites need it: natively
// as a child process, under Wine as a Windows process (CreateProcessA).
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "SstpReceiver.h"
#include "host-support/Files.h"

struct EmulatorResult {
  int exitCode = -1;
  std::string out;  // standard output, UTF-8
  std::string err;  // standard error, bytes as written
};

// A fresh plug-in folder: a copy of the built module and the given
// fixtures from tests/plugin/fixtures, each under the name it is given. A
// folder it made removes itself when the object ends.
struct PluginFolder {
  std::string posix;     // the folder's POSIX path, no trailing slash
  std::string module;    // POSIX path of the module copy
  ScratchFolder scratch; // the folder, when makePluginFolder made it

  // The Windows form of a path in the folder, as the plug-in spells it.
  std::string hostFile(const std::string& name) const;
  std::string settingsFile() const { return posix + "/host-emulator.ini"; }
  std::string extendedFile() const { return posix + "/host-emulator.dat"; }
};

struct NamedFixture {
  const char* fixture;  // file in tests/plugin/fixtures
  std::string name;     // name in the plug-in folder
};

// `folder` empty: a new temporary folder, removed with the PluginFolder.
// Otherwise the folder (created with its parents) is used as it is and its
// maker removes it.
PluginFolder makePluginFolder(const char* tag, const std::vector<NamedFixture>& templates,
                              const std::string& folder = std::string());

// Runs the emulator with `--plugin <module copy>` followed by `arguments`.
EmulatorResult runEmulator(const PluginFolder& folder, const std::vector<std::string>& arguments);

// The lines of `text` that begin with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix);

// The bytes of a fixture file.
std::string fixtureBytes(const char* name);

// The SEND request the plug-in must send: SSTP/1.4 with IfGhost when
// `ghost` is not empty, else SSTP/1.1.
std::string sendRequest(const std::string& ghost, const std::string& script);

// The 88 bytes of the estimator's stored record, built field by field.
struct RecordFields {
  int32_t nextSlot;
  int32_t sampleCount;
  double secondsPerPixelFrame;
  double perFilterFactor;
  int32_t samples[4][4];  // pixels, frames, filters, seconds
};
std::string recordBytes(const RecordFields& fields);

// The record after a reset and one learned run, computed here in the order
// the model prescribes (so the bits match).
RecordFields recordAfterOneRun(int32_t pixels, int32_t frames, int32_t filters, int32_t seconds);

// Writes the host's settings file of `folder` (key=value lines).
void writeSettings(const PluginFolder& folder, const std::vector<std::pair<std::string, std::string>>& settings);

// The names in `folder` matching "*.tpp", in the directory search's order.
std::vector<std::string> templateOrder(const PluginFolder& folder);

// A suite whose saves reach two test receivers: the emulator sends the
// plug-in's connections for 9801 and 11000 to the receivers' free ports.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the emulator with the two ports sent to the receivers.
  EmulatorResult run(const PluginFolder& folder, const std::vector<std::string>& arguments);

  // Forgets what the receivers got so far.
  void restartReceivers();

  SstpReceiver* at9801 = nullptr;
  SstpReceiver* at11000 = nullptr;
};
