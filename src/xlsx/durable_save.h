// Replacing files on the disk so that a failure, or a process killed on the way, leaves every one
// of them as it was. The one routine by which this project replaces a file: the workbooks of a
// save and the command line's report go through it together.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorvane::xlsx {

// Flushes a folder's entries (a rename made in it) to the disk, as fsync(2) on the folder does.
int SyncFolderSystem(const char* folder);

// The file operations of a replacement, in the order it makes them for each file: a temporary
// file, its writes, its flush and close, then the rename over the target and the flush of the
// target's folder. Tests replace them to fail at any step or to record the order.
struct SaveIo {
  std::function<int(std::string& pattern)> make_temporary;  // mkstemp
  std::function<long(int fd, const char* data, std::size_t size)> write;
  std::function<int(int fd)> sync;
  std::function<int(int fd)> close;
  std::function<int(const char* from, const char* to)> rename;
  // The system's unless replaced, also in a SaveIo made member by member.
  std::function<int(const char* folder)> sync_folder = SyncFolderSystem;
  static SaveIo System();
};

struct FileReplacement {
  std::filesystem::path target;
  std::string bytes;
  // What an error says after the target's name: "<target>: cannot be written (writing): ...".
  std::string failure = "cannot be written";
};

// Writes each file's bytes to a temporary file beside its target (every write checked, then
// flushed to the disk), keeps each existing target's original under a second name, and only then
// renames each over its target. All or nothing: a failure at any step, a failing rename too,
// leaves every target byte for byte as it was (targets already replaced are put back) and removes
// the temporary files; where a target cannot be put back, the message names it and where its
// original is kept. A process killed on the way leaves the targets as they were too. An existing
// target keeps its permission bits; a new one gets 0666 less the umask. Raises a FileError naming
// the target, the step and the reason.
void ReplaceFiles(const std::vector<FileReplacement>& files, const SaveIo& io = SaveIo::System());

// ReplaceFiles a file at a time, for files made one after another: each file's bytes go to its
// temporary file (written and flushed) as it is added, so that the caller need hold only one, and
// Replace then replaces every target all or nothing. Destroyed without Replace (a file that could
// not be made, or a failure), it removes the temporary files and leaves every target as it was.
class StagedReplacement {
 public:
  explicit StagedReplacement(SaveIo io = SaveIo::System());
  StagedReplacement(const StagedReplacement&) = delete;
  StagedReplacement& operator=(const StagedReplacement&) = delete;
  ~StagedReplacement();

  // Writes the file to its temporary file; raises as ReplaceFiles does.
  void Add(const FileReplacement& file);
  // Replaces every target added; raises as ReplaceFiles does.
  void Replace();

 private:
  void Discard();

  SaveIo io_;
  std::vector<FileReplacement> files_;  // targets and failure texts; the bytes are not kept
  std::vector<std::filesystem::path> temporaries_;
  std::vector<std::filesystem::path> originals_;  // the kept originals of existing targets
};

}  // namespace quorvane::xlsx
