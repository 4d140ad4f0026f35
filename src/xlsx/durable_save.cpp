// All-or-nothing replacement of files: temporary files beside the targets, flushed, then renamed.
#include "xlsx/durable_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "xlsx/error.h"

namespace quorvane::xlsx {

namespace fs = std::filesystem;

SaveIo SaveIo::System() {
  SaveIo io;
  io.make_temporary = [](std::string& pattern) { return ::mkstemp(pattern.data()); };
  io.write = [](int fd, const char* data, std::size_t size) { return ::write(fd, data, size); };
  io.sync = [](int fd) { return ::fsync(fd); };
  io.close = [](int fd) { return ::close(fd); };
  io.rename = [](const char* from, const char* to) { return ::rename(from, to); };
  io.sync_folder = SyncFolderSystem;
  return io;
}

int SyncFolderSystem(const char* folder) {
  const int dir = ::open(folder, O_RDONLY | O_DIRECTORY);
  if (dir < 0) return -1;
  const int result = ::fsync(dir);
  ::close(dir);
  return result;
}

namespace {

// What open(2) gives a new file: 0666 less the process's umask (which can only be read by setting
// it, so it is set back at once).
mode_t NewFileMode() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
}

fs::path FolderOf(const fs::path& target) {
  return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

FileError Failure(const FileReplacement& file, const char* step, int error) {
  return FileError(file.target.string() + ": " + file.failure + " (" + step +
                   "): " + std::strerror(error) + "; the file is unchanged");
}

// Writes the file's bytes to a new temporary file beside its target, with the target's permission
// bits, and flushes it to the disk. `made` names the temporary file as soon as it exists, so that
// the caller can remove it after a failure.
void WriteTemporary(const FileReplacement& file, const SaveIo& io, fs::path& made) {
  std::string pattern =
      (FolderOf(file.target) / ("." + file.target.filename().string() + ".XXXXXX")).string();
  const int fd = io.make_temporary(pattern);
  if (fd < 0) throw Failure(file, "no temporary file beside it", errno);
  made = pattern;
  struct stat st {};
  // An existing file keeps its permission bits; a new one gets the usual mode.
  const mode_t mode = ::stat(file.target.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
  ::fchmod(fd, mode);
  // Every write is checked: a full disk shows here, not as a damaged file later.
  const std::string& bytes = file.bytes;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 16);
    const ssize_t n = io.write(fd, bytes.data() + done, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      io.close(fd);
      throw Failure(file, "writing", error);
    }
    done += static_cast<std::size_t>(n);
  }
  // On the disk before it replaces anything.
  if (io.sync(fd) != 0) {
    const int error = errno;
    io.close(fd);
    throw Failure(file, "flushing", error);
  }
  if (io.close(fd) != 0) throw Failure(file, "closing", errno);
}

// Keeps an existing target's original under a second name beside the temporary file (a hard link,
// or a copy where the file system has none). Returns the name, or nothing for a new file.
fs::path KeepOriginal(const FileReplacement& file, const fs::path& temporary) {
  std::error_code ec;
  if (!fs::is_regular_file(file.target, ec)) return {};
  const fs::path kept = temporary.string() + ".orig";
  if (::link(file.target.c_str(), kept.c_str()) != 0 &&
      !fs::copy_file(file.target, kept, fs::copy_options::overwrite_existing, ec)) {
    throw Failure(file, "keeping the original", ec ? ec.value() : errno);
  }
  return kept;
}

// Puts the originals of the first `count` targets back after a failed rename (a new file is
// removed). Returns the targets that could not be put back, with where their originals are kept;
// the originals put back are cleared from `originals`.
std::string PutBack(const std::vector<FileReplacement>& files, std::vector<fs::path>& originals,
                    std::size_t count, const SaveIo& io) {
  std::string lost;
  for (std::size_t j = 0; j < count; ++j) {
    const fs::path& done = files[j].target;
    const bool back = originals[j].empty() ? ::unlink(done.c_str()) == 0
                                           : io.rename(originals[j].c_str(), done.c_str()) == 0;
    if (back) {
      io.sync_folder(FolderOf(done).c_str());  // the original is back on the disk too
    } else {
      lost += (lost.empty() ? "" : ", ") + done.string() +
              (originals[j].empty() ? std::string(" (a new file)")
                                    : " (its original is kept as " + originals[j].string() + ")");
    }
    originals[j].clear();
  }
  return lost;
}

}  // namespace

void ReplaceFiles(const std::vector<FileReplacement>& files, const SaveIo& io) {
  StagedReplacement replacement(io);
  for (const FileReplacement& file : files) replacement.Add(file);
  replacement.Replace();
}

StagedReplacement::StagedReplacement(SaveIo io) : io_(std::move(io)) {}

StagedReplacement::~StagedReplacement() { Discard(); }

void StagedReplacement::Discard() {
  for (std::vector<fs::path>* paths : {&temporaries_, &originals_}) {
    for (const fs::path& path : *paths) {
      if (!path.empty()) ::unlink(path.c_str());
    }
    paths->clear();
  }
  files_.clear();
}

void StagedReplacement::Add(const FileReplacement& file) {
  files_.push_back({file.target, {}, file.failure});
  temporaries_.emplace_back();
  try {
    WriteTemporary(file, io_, temporaries_.back());
  } catch (...) {
    Discard();
    throw;
  }
}

void StagedReplacement::Replace() {
  originals_.resize(files_.size());
  try {
    // The originals are kept until every rename has succeeded, so that a failing rename can put
    // back the targets already replaced: the replacement is all or nothing.
    for (std::size_t i = 0; i < files_.size(); ++i) {
      originals_[i] = KeepOriginal(files_[i], temporaries_[i]);
    }
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (io_.rename(temporaries_[i].c_str(), files_[i].target.c_str()) != 0) {
        const int error = errno;
        const std::string lost = PutBack(files_, originals_, i, io_);
        if (lost.empty()) throw Failure(files_[i], "replacing", error);
        throw FileError(files_[i].target.string() + ": " + files_[i].failure +
                        " (replacing): " + std::strerror(error) +
                        "; it is unchanged, but these were already replaced and could not be put "
                        "back: " +
                        lost);
      }
      temporaries_[i].clear();
      // The rename itself reaches the disk with the folder. The target is replaced by now, so a
      // folder that cannot be flushed does not fail the save.
      io_.sync_folder(FolderOf(files_[i].target).c_str());
    }
    Discard();
  } catch (...) {
    Discard();
    throw;
  }
}

}  // namespace quorvane::xlsx
