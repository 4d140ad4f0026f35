// All-or-nothing replacement of files: temporary files beside the targets, flushed, then renamed.
#include "xlsx/durable_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
  std::vector<fs::path> temporaries(files.size());
  std::vector<fs::path> originals(files.size());  // the kept originals of existing targets
  auto discard = [&] {
    for (const std::vector<fs::path>* paths : {&temporaries, &originals}) {
      for (const fs::path& path : *paths) {
        if (!path.empty()) ::unlink(path.c_str());
      }
    }
  };
  try {
    for (std::size_t i = 0; i < files.size(); ++i) WriteTemporary(files[i], io, temporaries[i]);
    // The originals are kept until every rename has succeeded, so that a failing rename can put
    // back the targets already replaced: the replacement is all or nothing.
    for (std::size_t i = 0; i < files.size(); ++i) {
      originals[i] = KeepOriginal(files[i], temporaries[i]);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (io.rename(temporaries[i].c_str(), files[i].target.c_str()) != 0) {
        const int error = errno;
        const std::string lost = PutBack(files, originals, i, io);
        if (lost.empty()) throw Failure(files[i], "replacing", error);
        throw FileError(files[i].target.string() + ": " + files[i].failure +
                        " (replacing): " + std::strerror(error) +
                        "; it is unchanged, but these were already replaced and could not be put "
                        "back: " +
                        lost);
      }
      temporaries[i].clear();
      // The rename itself reaches the disk with the folder. The target is replaced by now, so a
      // folder that cannot be flushed does not fail the save.
      io.sync_folder(FolderOf(files[i].target).c_str());
    }
    discard();
  } catch (...) {
    discard();
    throw;
  }
}

}  // namespace quorvane::xlsx
