// The user's settings as the plug-in holds them while loaded: the template
// catalogue of its folder, the chosen template and the port. Loaded once
// when the host initialises the plug-in; the settings window changes the
// choices (each stored in sstp.ini at once), and every notice takes a copy
// of them when it is queued. Any thread may call these.
#pragma once

#include <stdint.h>

#include "aviutl2/PluginFiles.h"
#include "template/JobRecord.h"
#include "template/TemplateCatalog.h"

// What a notice needs of the settings, copied when it is queued.
struct NoticeSettings {
  char templatePath[sizeof(JobRecord::templatePath)];  // the chosen template; "" when none is chosen (nothing is sent)
  char ghostName[kGhostNameSize];                      // its [config] ghost; "" names none
  int32_t port;            // 9801 or 11000
};

// Searches `paths.ansiFolder` for templates, reads sstp.ini and chooses as
// the 1.x edition does: the stored template, else the first listed one
// (and the estimator starts afresh); none when the folder holds none (one
// log line; so for a folder that can't be searched). A template whose
// path is 260 bytes or longer is not listed. Returns false only when
// memory for the catalogue can't be had (nothing is chosen then).
bool loadSettings(const PluginPaths& paths);

// Forgets the catalogue and the choices.
void releaseSettings();

NoticeSettings noticeSettings();

// The template list: its length, the text of entry `index` as
// templateLabel gives it (free with free(); null for an index out of range
// or without memory), and the entry chosen (-1: none).
int32_t templateCount();
char* templateListText(int32_t index);
int32_t chosenTemplate();

// Chooses list entry `index` and stores its path in sstp.ini; an index out
// of range changes nothing. A file that can't be written is logged; the
// choice holds for this session all the same.
void chooseTemplate(int32_t index);

// The port chosen (9801 or 11000). choosePort takes chosenSstpPort of
// `port` and stores it in sstp.ini, logged as chooseTemplate.
int32_t chosenPort();
void choosePort(int32_t port);
