// Writes the seed corpus of fuzz_host_boundary: one file per row of the
// table below, each a plain input (plainBoundaryInput) with the changes
// that lead it down one path of the plug-in.
//
// Usage: host_boundary_seeds FOLDER TEMPLATES
// FOLDER receives the seeds (fuzz/corpus/host_boundary); TEMPLATES is the
// folder of the sample templates (templates/), whose files some rows use.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "HostBoundaryInput.h"

namespace {

std::string sampleTemplates;

std::string sample(const char* name) {
  std::ifstream file(sampleTemplates + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Every keyword in both sections.
const char kValues[] =
    "[config]\r\nghost=A\r\n"
    "[start]\r\n1=${frame}|${length}|${time}|${fps}|${filter}|${width}|${height}|${filename}\r\n"
    "[end]\r\n1=${frame}|${time}|${fps}\r\n";

// Case sections on every source, thresholds from INT32_MIN up.
const char kCase[] =
    "[config]\r\nghost=A\r\n"
    "[start]\r\npattern=4\r\nswitch=case\r\nsource=pixel\r\n"
    "case1=-2147483648\r\ncase2=0\r\ncase3=76800\r\n1=$(len)\r\n2=b$(len)\r\n3=c$(tm)\r\n4=d$(flt)\r\n"
    "[len]\r\npattern=3\r\nswitch=case\r\nsource=length\r\ncase1=0\r\ncase2=60\r\n1=-\r\n2=s\r\n3=m\r\n"
    "[tm]\r\npattern=2\r\nswitch=CASE\r\nsource=time\r\ncase1=3600\r\n1=$frame\r\n2=h\r\n"
    "[flt]\r\npattern=2\r\nswitch=case\r\nsource=filter\r\ncase1=1\r\n1=none\r\n2=$filter\r\n"
    "[end]\r\npattern=3\r\nswitch=case\r\ncase1=1\r\ncase2=2147483647\r\n1=zero\r\n2=$frame\r\n3=max\r\n";

// Random sections, one with a negative "pattern", one with none.
const char kRandom[] =
    "[config]\r\nghost=\r\n"
    "[start]\r\npattern=3\r\n1=$(r)a\r\n2=$(r)b\r\n3=$(zero)c\r\n"
    "[r]\r\npattern=-2\r\n1=x\r\n2=y\r\n"
    "[zero]\r\npattern=0\r\n1=never\r\n"
    "[end]\r\npattern=2\r\n1=$(r)\r\n2=$(r)$(r)\r\n";

// A section naming itself twice: the work limits end it.
const char kFanOut[] = "[config]\r\nghost=A\r\n[start]\r\n1=x$(start)$(start)\r\n[end]\r\n1=$(start)\r\n";

// Five case sections of 2000 alternatives and no thresholds: every scan
// runs to its end, and the threshold limit stops the third.
const char kThresholds[] =
    "[config]\r\nghost=A\r\n[start]\r\n1=$(c)$(c)$(c)$(c)$(c)\r\n"
    "[c]\r\npattern=2000\r\nswitch=case\r\n1=c\r\n2000=z\r\n[end]\r\n1=$(c)\r\n";

// Values that the plug-in's reads cut inside ソ (0x83 0x5C): 2046 bytes and
// ソ in 2048 (alternatives, "switch", "source"), 258 bytes and ソ in the
// ghost's 260, and 28 digits and ソ in the native stand-in's 30-byte
// integer buffer ("pattern", a threshold).
std::string cutBefore(char fill, size_t length) { return std::string(length, fill) + "\x83\x5C"; }

std::string cutValues() {
  return "[config]\r\nghost=" + cutBefore('g', 258) + "\r\n[start]\r\n1=" + cutBefore('a', 2046) +
         "\x83\x5C\r\n[end]\r\n1=<$(inner)>\r\n[inner]\r\n1=" + cutBefore('n', 2046) + "\r\n";
}

std::string cutWords() {
  return "[config]\r\nghost=A\r\n[start]\r\npattern=" + std::string(27, '0') + "2\x83\x5C\r\nswitch=" +
         cutBefore('w', 2046) + "\r\n1=one\r\n2=two\r\n[end]\r\npattern=2\r\nswitch=case\r\nsource=" +
         cutBefore('s', 2046) + "\r\ncase1=" + std::string(25, '0') + "100\x83\x5C\r\n1=few\r\n2=many\r\n";
}

// A record that keeps the invariants with one learned run.
void learnedRecord(BoundaryInput* in) {
  const uint8_t record[kExtendedDataBytes] = {
      1, 0, 0, 0, 1, 0, 0, 0,                          // nextSlot 1, sampleCount 1
      0x2D, 0x43, 0x1C, 0xEB, 0xE2, 0x36, 0x1A, 0x3F,  // 0.0001
      0, 0, 0, 0, 0, 0, 0xE0, 0x3F,                    // 0.5
      0, 0x2C, 0x01, 0, 0x2C, 0x01, 0, 0, 0, 0, 0, 0, 60, 0, 0, 0,  // 76800 px, 300 frames, 60 s
  };
  memcpy(in->extendedData, record, sizeof record);
}

void pathInFolder(BoundaryInput* in, const char* name) {
  in->pathForm = PathForm::terminated;
  in->pathInFolder = 1;
  in->path = name;
}

void twoTemplates(BoundaryInput* in) {
  in->templates.push_back(TemplateInput{"b.tpp", kValues});
}

struct Seed {
  const char* name;
  void (*change)(BoundaryInput* in);
};

const Seed kSeeds[] = {
    {"plain", [](BoundaryInput*) {}},
    // The host's "path" setting against the catalogue.
    {"path-matches-second",
     [](BoundaryInput* in) {
       twoTemplates(in);
       pathInFolder(in, "b.tpp");
     }},
    {"path-other-case",
     [](BoundaryInput* in) {
       twoTemplates(in);
       pathInFolder(in, "B.TPP");
     }},
    {"path-unterminated-259-only-entry-too-long",
     [](BoundaryInput* in) {
       in->templates[0].name = std::string(170, 'n') + ".tpp";
       in->pathForm = PathForm::unterminated;
       in->path = std::string(259, 'p');
     }},
    {"path-unterminated-short",
     [](BoundaryInput* in) {
       twoTemplates(in);
       pathInFolder(in, "b");
       in->pathForm = PathForm::unterminated;
     }},
    {"path-600-bytes", [](BoundaryInput* in) { pathInFolder(in, std::string(500, 'q').c_str()); }},
    {"path-nothing-written", [](BoundaryInput* in) { in->pathForm = PathForm::nothing; }},
    {"template-too-long-beside-one",
     [](BoundaryInput* in) { in->templates.push_back(TemplateInput{std::string(190, 'L') + ".tpp", kValues}); }},
    // Ports: stored, picked, anything else.
    {"port-11000", [](BoundaryInput* in) { in->port = "11000"; }},
    {"port-not-stored", [](BoundaryInput* in) { in->portStored = 0; }},
    {"port-text", [](BoundaryInput* in) { in->port = " +11000x"; }},
    {"picks-second-template-and-11000",
     [](BoundaryInput* in) {
       twoTemplates(in);
       in->templatePick = PickInput{1, 1};
       in->portPick = PickInput{1, 1};
     }},
    {"picks-outside-the-lists",
     [](BoundaryInput* in) {
       in->templatePick = PickInput{1, -1};
       in->portPick = PickInput{1, 7};
     }},
    // Frame ranges: none, one, 60, every frame number.
    {"frames-none-end-far-before-start",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->saves[0] = SaveInput{1000000, 999, INT32_MIN, 3, 320, 240, 1000000000, 1000000001};
     }},
    {"frames-one",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->saves[0] = SaveInput{5, 5, 5, 3, 320, 240, 1000000000, 1000000000};
     }},
    {"frames-sixty-every-other",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->saveFrameAnswers = {1, 0, -1, 0};
       in->saves[0] = SaveInput{0, 59, 59, 3, 640, 480, 1000000000, 1000000003};
     }},
    {"frames-every-number",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->saves[0] = SaveInput{INT32_MIN, INT32_MAX, INT32_MAX, 3, 1920, 1080, INT32_MIN, INT32_MAX};
     }},
    // Sections.
    {"case-sections-int32-min-pixels",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kCase;
       in->saves[0].width = INT32_MIN;
       in->saves[0].height = 1;
     }},
    {"random-sections-before-1970",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kRandom;
       in->saves[0].startClock = -7;
       in->saves[0].endClock = -86400;
     }},
    {"fan-out", [](BoundaryInput* in) { in->templates[0].bytes = kFanOut; }},
    {"cut-inside-character-values", [](BoundaryInput* in) { in->templates[0].bytes = cutValues(); }},
    {"cut-inside-character-words", [](BoundaryInput* in) { in->templates[0].bytes = cutWords(); }},
    {"case-thresholds-to-the-limit", [](BoundaryInput* in) { in->templates[0].bytes = kThresholds; }},
    {"sample-templates",
     [](BoundaryInput* in) {
       in->templates[0] = TemplateInput{"detailed.tpp", sample("detailed.tpp")};
       in->templates.push_back(TemplateInput{"minimal.tpp", sample("minimal.tpp")});
       in->templates.push_back(TemplateInput{"any-ghost.tpp", sample("any-ghost.tpp")});
       pathInFolder(in, "minimal.tpp");
       in->saves.push_back(SaveInput{0, 17999, 9000, 0, 0, 0, 1000000100, 1000003700});
     }},
    // The estimator's record: learned, estimating 0, broken.
    {"record-learned-matching",
     [](BoundaryInput* in) {
       learnedRecord(in);
       pathInFolder(in, "a.tpp");
     }},
    {"record-estimates-zero",
     [](BoundaryInput* in) {
       learnedRecord(in);
       pathInFolder(in, "a.tpp");
       in->saves[0] = SaveInput{0, 0, 0, 3, 1, 1, 1000000000, 1000000000};
     }},
    {"record-broken", [](BoundaryInput* in) { memset(in->extendedData, 0xFF, kExtendedDataBytes); }},
    // The server's answers.
    {"answer-close", [](BoundaryInput* in) { in->serverAnswer = ServerAnswer::close; }},
    {"answer-reset", [](BoundaryInput* in) { in->serverAnswer = ServerAnswer::reset; }},
    {"answer-bare-number", [](BoundaryInput* in) { in->answerBytes = "-17 apples"; }},
    {"answer-2048-bytes", [](BoundaryInput* in) { in->answerBytes = "SSTP/1.4 200 OK\r\n" + std::string(2031, 'x'); }},
    // The host's other answers.
    {"filters-flags-and-null-records",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->reportedFilters = 7;
       in->filters = {{1, 1, 1}, {0, 1, 1}, {1, 0x8001, 1}, {1, 1, 0}, {1, 0x200001, 1}, {1, 5, 1}};
     }},
    {"no-file-or-system-information",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->fileInfoAnswers = 0;
       in->systemInfoAnswers = 0;
       in->reportedFilters = 3;
     }},
    {"rate-zero-scale-negative",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->rate = 0;
       in->scale = -1;
       in->saves.push_back(SaveInput{0, 899, 899, 3, 320, 240, 1000000000, 1000000000});
     }},
    {"output-name-unterminated",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->nameForm = NameForm::unterminated;
       in->outputName = "C:\\video\\\x82\xA0";  // ends in あ
     }},
    {"output-name-null", [](BoundaryInput* in) { in->nameForm = NameForm::null; }},
    {"three-saves-size-kept-no-table",
     [](BoundaryInput* in) {
       in->templates[0].bytes = kValues;
       in->saves.push_back(SaveInput{0, 99, 50, 0, 0, 0, 1000000020, 1000000010});
       in->saves.push_back(SaveInput{0, 99, 99, 4, 0, 0, 1000000030, 1000000040});
     }},
    {"no-saves", [](BoundaryInput* in) { in->saves.clear(); }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: host_boundary_seeds FOLDER TEMPLATES\n");
    return 2;
  }
  sampleTemplates = argv[2];
  for (const Seed& seed : kSeeds) {
    BoundaryInput input = plainBoundaryInput();
    seed.change(&input);
    std::string path = std::string(argv[1]) + "/" + seed.name;
    std::ofstream file(path, std::ios::binary);
    file << writeBoundaryInput(input);
    if (!file.good()) {
      fprintf(stderr, "host_boundary_seeds: can't write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
