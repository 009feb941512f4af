// The plug-in's own folder and what it keeps there: the templates (*.tpp),
// the settings (sstp.ini: the chosen template's path and the port) and the
// learned record (sstp.estimate: the estimator's 88 bytes, for this
// machine). The package installs the plug-in into a folder of its own under
// the host's application data folder (Plugin\sstp-notifier\), which the
// host's reinstall keeps.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>

#include "estimate/Estimator.h"

struct PluginPaths {
  std::wstring folder;         // with a backslash at its end; empty when the module's path can't be had
  std::string ansiFolder;      // the same in the ANSI code page, for the core; empty when it can't be written there
  std::wstring settingsFile;   // folder + "sstp.ini"; empty without a folder
  std::wstring recordFile;     // folder + "sstp.estimate"; empty without a folder
};

// The paths of the module `module`. Every member is empty when the
// module's path can't be had; ansiFolder alone when the folder holds a
// character the ANSI code page lacks.
PluginPaths pluginPaths(HMODULE module);

// The module this code is part of.
HMODULE ownModule();

// What sstp.ini holds. A missing file, section or key reads as "" and
// 9801; "port" chooses 11000 only as the number 11000 (chosenSstpPort).
struct StoredSettings {
  std::string templatePath;  // ANSI code page, as the catalogue spells paths
  int32_t port;
};
StoredSettings readSettings(const std::wstring& settingsFile);

// Writes `key` ("path" or "port") with the ANSI text `value` into
// sstp.ini at once. Returns false when the file can't be written (or
// `value` converted).
bool storeSetting(const std::wstring& settingsFile, const wchar_t* key, const char* value);

enum class RecordFile {
  read,        // the 88 bytes were read into the record
  missing,     // no such file (or no folder): the record is untouched
  unreadable,  // it can't be opened or read, or is not 88 bytes long: the record is untouched
};

// Reads the learned record from `recordFile` into `record`.
RecordFile readRecordFile(const std::wstring& recordFile, EstimatorRecord* record);

// Writes `record` to `recordFile` whole or not at all (a new file moved
// over the old one). Returns false when it could not be written.
bool writeRecordFile(const std::wstring& recordFile, const EstimatorRecord& record);
