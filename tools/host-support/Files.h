// Paths and files for the suites and the programs around them, in both
// builds. Every path given or returned here is a POSIX path ("/tmp/x");
// hostPath and localPath turn it into what a call takes. The file functions
// take paths longer than 259 bytes too: under Windows they use the
// wide-character calls with "\\?\" paths.
#pragma once

#include <stddef.h>

#include <string>
#include <utility>

// `posixPath` as the plug-in and a host spell it, for the Windows calls of
// the program under test: backslashes, and under Windows "Z:" in front of
// an absolute path (Wine's drive for the POSIX root). Natively the
// stand-ins map the backslashes back.
std::string hostPath(const std::string& posixPath);

// `posixFolder` as the plug-in spells its own folder: hostPath with one
// backslash at the end.
std::string hostFolder(const std::string& posixFolder);

// `posixPath` as this program opens it with the C runtime or
// std::filesystem, and as a program it starts takes it on its command
// line: the POSIX path natively, hostPath under Windows.
std::string localPath(const std::string& posixPath);

#ifdef _WIN32
// hostPath as a wide text, with "\\?\" in front of an absolute path, for
// the wide-character calls, which then take paths longer than 259 bytes.
std::wstring longPath(const std::string& posixPath);
#endif

// The path of `relative` ("templates/detailed.tpp") in the source tree.
std::string sourcePath(const std::string& relative);

// The path of the fixture `name` in tests/<area>/fixtures.
std::string fixturePath(const char* area, const char* name);

// A folder below `base` whose hostFolder is exactly `length` bytes long
// (at least that of `base`, and never one more), made of names of at most
// 200 bytes. Nothing is created.
std::string folderOfLength(const std::string& base, size_t length);

// Creates a fresh empty folder below the temporary folder, named after the
// process, `tag` and a counter, and returns its path (no slash at the end).
std::string makeTempFolder(const char* tag);

// Creates `posixFolder` and its missing parents. Returns true when the
// folder exists afterwards.
bool createFolders(const std::string& posixFolder);

// Writes `bytes` exactly (no newline conversion) to `posixPath`, replacing
// the file and creating its missing folders. Returns false when the file
// could not be written whole.
bool writeFileBytes(const std::string& posixPath, const std::string& bytes);

// The bytes of the file; empty when it can't be read.
std::string readFileBytes(const std::string& posixPath);

// Removes a file, or a folder with everything below it; nothing when the
// path does not exist.
void removeTree(const std::string& posixPath);

// A fresh empty folder below the temporary folder (makeTempFolder), removed
// with everything in it when the object ends: on every way out of a test,
// a failed ASSERT or an exception included. Moving it hands the folder on
// (the moved-from object removes nothing); it is not copied.
class ScratchFolder {
 public:
  ScratchFolder() = default;  // no folder: path() is empty
  explicit ScratchFolder(const char* tag) : path_(makeTempFolder(tag)) {}
  ~ScratchFolder() { release(); }
  ScratchFolder(ScratchFolder&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  ScratchFolder& operator=(ScratchFolder&& other) noexcept {
    if (this != &other) {
      release();
      path_ = std::move(other.path_);
      other.path_.clear();
    }
    return *this;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's POSIX path, without a slash at the end.
  const std::string& path() const { return path_; }

 private:
  void release() {
    if (!path_.empty()) removeTree(path_);
  }
  std::string path_;
};
