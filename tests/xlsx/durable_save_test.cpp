// The order of the file operations of a replacement: a crash at any moment leaves either the old
// file or the whole new one. The temporary file's bytes reach the disk before it is renamed over
// the target (else a crash after the rename can leave an empty file where the original was), and
// the folder is flushed after the rename (else the rename itself can be lost).
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "xlsx/durable_save.h"
#include "xlsx/error.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;

// One file operation: what it was and the file or folder it was made on.
struct Operation {
  std::string what;  // "create", "write", "sync", "close", "rename", "sync folder"
  std::string path;  // the temporary file; for a rename its target
};

// The system's file operations, each recorded before it is made; writes go 4 KiB at a time.
class RecordingIo {
 public:
  SaveIo Io() {
    const SaveIo system = SaveIo::System();
    SaveIo io;
    io.make_temporary = [this, system](std::string& pattern) {
      const int fd = system.make_temporary(pattern);
      names_[fd] = pattern;
      Record("create", fd);
      return fd;
    };
    io.write = [this, system](int fd, const char* data, std::size_t size) {
      Record("write", fd);
      return system.write(fd, data, std::min<std::size_t>(size, 4096));
    };
    io.sync = [this, system](int fd) {
      Record("sync", fd);
      return system.sync(fd);
    };
    io.close = [this, system](int fd) {
      Record("close", fd);
      return system.close(fd);
    };
    io.rename = [this, system](const char* from, const char* to) {
      operations_.push_back({"rename", to});
      if (to == failing_target_) {
        errno = EIO;
        return -1;
      }
      renamed_from_[to] = from;
      return system.rename(from, to);
    };
    io.sync_folder = [this, system](const char* folder) {
      operations_.push_back({"sync folder", fs::weakly_canonical(folder).string()});
      return system.sync_folder(folder);
    };
    return io;
  }
  // Renames over `target` fail.
  void FailRenamesOnto(const std::string& target) { failing_target_ = target; }
  // Without the flush of the temporary file, as a replacement that forgot it would run.
  SaveIo IoWithoutFileSync() {
    SaveIo io = Io();
    io.sync = [](int) { return 0; };
    return io;
  }

  const std::vector<Operation>& operations() const { return operations_; }
  const std::string& RenamedFrom(const std::string& target) { return renamed_from_[target]; }

 private:
  void Record(const char* what, int fd) { operations_.push_back({what, names_[fd]}); }

  std::map<int, std::string> names_;  // temporary files by descriptor
  std::map<std::string, std::string> renamed_from_;
  std::string failing_target_;
  std::vector<Operation> operations_;
};

// The position of the first (or last) operation of that kind on that path; -1 when none.
std::ptrdiff_t Find(const std::vector<Operation>& ops, const std::string& what,
                    const std::string& path, bool last = false) {
  std::ptrdiff_t found = -1;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].what == what && ops[i].path == path) {
      found = static_cast<std::ptrdiff_t>(i);
      if (!last) break;
    }
  }
  return found;
}

// Checks, for each target, that its temporary file was written, flushed and closed, renamed over
// it, and the folder flushed after the rename, in that order; and that every temporary file was
// flushed before the first rename, so that no target is replaced while another's bytes may still
// be lost.
void ExpectDurableOrder(RecordingIo& recorder, const std::vector<fs::path>& targets) {
  const std::vector<Operation>& ops = recorder.operations();
  std::ptrdiff_t first_rename = static_cast<std::ptrdiff_t>(ops.size());
  for (const fs::path& target : targets) {
    first_rename = std::min(first_rename, Find(ops, "rename", target.string()));
  }
  for (const fs::path& target : targets) {
    SCOPED_TRACE(target.string());
    const std::string temporary = recorder.RenamedFrom(target.string());
    ASSERT_FALSE(temporary.empty()) << "the target was never renamed into place";
    const std::ptrdiff_t created = Find(ops, "create", temporary);
    const std::ptrdiff_t first_write = Find(ops, "write", temporary);
    const std::ptrdiff_t last_write = Find(ops, "write", temporary, true);
    const std::ptrdiff_t sync = Find(ops, "sync", temporary);
    const std::ptrdiff_t close = Find(ops, "close", temporary);
    const std::ptrdiff_t rename = Find(ops, "rename", target.string());
    const std::ptrdiff_t folder =
        Find(ops, "sync folder", fs::weakly_canonical(target.parent_path()).string());
    ASSERT_GE(created, 0);
    ASSERT_GE(first_write, 0) << "nothing was written";
    EXPECT_LT(created, first_write);
    EXPECT_LT(last_write, sync) << "the temporary file is not flushed after its last write";
    EXPECT_LT(sync, close);
    EXPECT_LT(close, rename);
    EXPECT_LT(sync, first_rename) << "a target is replaced before this file is on the disk";
    EXPECT_GT(folder, rename) << "the folder is not flushed after the rename";
  }
}

class DurableSave : public quorvane::testing::TempFolderTest {
 protected:
  DurableSave() : TempFolderTest("quorvane_durable") {}

  static std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

TEST_F(DurableSave, WritesFlushesRenamesAndFlushesTheFolderInThatOrder) {
  const fs::path old_file = dir_ / "kept.xlsx", new_file = dir_ / "sub" / "new.csv";
  fs::create_directories(new_file.parent_path());
  std::ofstream(old_file) << "the original";
  const std::string large(100'000, 'x');  // many writes

  RecordingIo recorder;
  ReplaceFiles({{old_file, large}, {new_file, "a,b\r\n"}}, recorder.Io());
  EXPECT_EQ(Bytes(old_file), large);
  EXPECT_EQ(Bytes(new_file), "a,b\r\n");
  ExpectDurableOrder(recorder, {old_file, new_file});
}

TEST_F(DurableSave, ATargetPutBackAfterAFailedRenameIsFlushedWithItsFolder) {
  const fs::path first = dir_ / "first.xlsx", second = dir_ / "second.xlsx";
  std::ofstream(first) << "first original";
  std::ofstream(second) << "second original";
  RecordingIo recorder;
  recorder.FailRenamesOnto(second.string());
  EXPECT_THROW(ReplaceFiles({{first, "new"}, {second, "new"}}, recorder.Io()), FileError);
  EXPECT_EQ(Bytes(first), "first original");
  EXPECT_EQ(Bytes(second), "second original");
  // The first target was replaced, then its original renamed back: that rename reaches the disk
  // with the folder too, or a crash could leave the new file after all.
  const std::vector<Operation>& ops = recorder.operations();
  const std::ptrdiff_t put_back = Find(ops, "rename", first.string(), true);
  ASSERT_GT(put_back, Find(ops, "rename", second.string()));
  EXPECT_GT(Find(ops, "sync folder", fs::weakly_canonical(dir_).string(), true), put_back);
}

TEST_F(DurableSave, TheOrderCheckCatchesAMissingFlushOfTheTemporaryFile) {
  const fs::path target = dir_ / "book.xlsx";
  RecordingIo recorder;
  ReplaceFiles({{target, "bytes"}}, recorder.IoWithoutFileSync());
  EXPECT_EQ(Find(recorder.operations(), "sync", recorder.RenamedFrom(target.string())), -1);
  EXPECT_NONFATAL_FAILURE(ExpectDurableOrder(recorder, {target}),
                          "not flushed after its last write");
}

}  // namespace
}  // namespace quorvane::xlsx
