// Saving never damages the file it replaces: a save that fails at any step of its file work (the
// temporary file, any write, the flush, the close, the rename), a full disk, a folder that refuses
// new files, or a process killed in the middle of a large save all leave the target byte for byte
// as it was, and a failed save leaves no temporary file behind.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "memhost/model.h"
#include "support/temp_folder.h"
#include "xlsx/error.h"
#include "xlsx/workbook_file.h"

namespace quorvane::xlsx {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A workbook of `rows` numbers with a fill and a note, saved at `path`.
void MakeWorkbook(const fs::path& path, int rows) {
  const WorkbookFile file = WorkbookFile::New("Book.xlsx", {"Sheet1", "Sheet2"});
  memhost::WorkbookData data = file.data();
  for (int r = 1; r <= rows; ++r) {
    data.sheets[0].At(r, 1).value = host::Value::Number(r * 1.25);
    data.sheets[1].At(r, 2).value = host::Value::Text("item " + std::to_string(r));
  }
  data.sheets[0].At(1, 1).fill = {65535, host::kPatternSolid};
  data.sheets[0].At(1, 1).comment = memhost::CommentData{"Paid in May", false};
  SaveWorkbooks({{&file, &data, path}});
}

// The model of a loaded workbook as a comparison leaves it: a cell marked.
memhost::WorkbookData Marked(const WorkbookFile& file) {
  memhost::WorkbookData data = file.data();
  data.sheets[0].At(2, 1).fill = {6745634, host::kPatternSolid};
  data.sheets[0].At(2, 1).comment = memhost::CommentData{"<<< 1/5 12:00:00:\nx\n>>>", false};
  return data;
}

// The real file operations, with every operation counted and the n-th one failing with `error`;
// writes go 4 KiB at a time so that a save makes many of them.
struct FailingIo {
  int fail_at = 0;  // 0: none
  int error = ENOSPC;
  int count = 0;

  SaveIo Io() {
    SaveIo system = SaveIo::System();
    SaveIo io;
    io.make_temporary = [this, system](std::string& pattern) {
      return Fails() ? -1 : system.make_temporary(pattern);
    };
    io.write = [this, system](int fd, const char* data, std::size_t size) -> long {
      return Fails() ? -1 : system.write(fd, data, std::min<std::size_t>(size, 4096));
    };
    io.sync = [this, system](int fd) { return Fails() ? -1 : system.sync(fd); };
    io.close = [this, system](int fd) {
      // A failing close still releases the descriptor, as close(2) does.
      const bool fails = Fails();
      system.close(fd);
      if (fails) errno = error;
      return fails ? -1 : 0;
    };
    io.rename = [this, system](const char* from, const char* to) {
      return Fails() ? -1 : system.rename(from, to);
    };
    return io;
  }
  bool Fails() {
    if (++count != fail_at) return false;
    errno = error;
    return true;
  }
};

class AtomicSave : public quorvane::testing::TempFolderTest {
 protected:
  AtomicSave() : TempFolderTest("quorvane_save") {}
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all);
    TempFolderTest::TearDown();
  }
};

TEST_F(AtomicSave, AFailureAtEveryStepLeavesBothTargetsAsTheyWere) {
  const fs::path a = dir_ / "a.xlsx", b = dir_ / "b.xlsx";
  MakeWorkbook(a, 3000);
  MakeWorkbook(b, 500);
  const std::string original_a = Bytes(a), original_b = Bytes(b);
  const WorkbookFile file_a = WorkbookFile::Load(a), file_b = WorkbookFile::Load(b);
  const memhost::WorkbookData marked_a = Marked(file_a), marked_b = Marked(file_b);
  const std::vector<SaveRequest> requests = {{&file_a, &marked_a, a}, {&file_b, &marked_b, b}};

  // The steps of a whole save: count them without failing.
  const fs::path scratch = dir_ / "scratch";
  fs::create_directories(scratch);
  FailingIo counting;
  SaveWorkbooks(
      {{&file_a, &marked_a, scratch / "a.xlsx"}, {&file_b, &marked_b, scratch / "b.xlsx"}},
      counting.Io());
  fs::remove_all(scratch);
  const int steps = counting.count;
  ASSERT_GT(steps, 10);

  // A failure at any step leaves both targets as they were: a failing second rename puts the
  // first target back.
  for (int n = 1; n <= steps; ++n) {
    SCOPED_TRACE("failing step " + std::to_string(n) + " of " + std::to_string(steps));
    FailingIo io{n, n % 2 ? ENOSPC : EIO};
    try {
      SaveWorkbooks(requests, io.Io());
      ADD_FAILURE() << "the save did not fail";
    } catch (const FileError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("cannot be written"), std::string::npos) << message;
      EXPECT_NE(message.find(std::strerror(io.error)), std::string::npos) << message;
      EXPECT_NE(message.find("unchanged"), std::string::npos) << message;
    }
    EXPECT_EQ(FilesIn(dir_), (std::vector<std::string>{"a.xlsx", "b.xlsx"}));
    EXPECT_EQ(Bytes(b), original_b);
    EXPECT_TRUE(Bytes(a) == original_a) << "a.xlsx changed";
  }
}

// The same when the system stops a target from being replaced (a folder in its place), for a new
// first target and for an existing one; and when the first target cannot be put back either, the
// message names it.
TEST_F(AtomicSave, ASecondTargetThatCannotBeReplacedUndoesTheFirst) {
  const fs::path a = dir_ / "a.xlsx", blocked = dir_ / "b.xlsx";
  MakeWorkbook(a, 50);
  fs::create_directories(blocked / "inside");
  const std::string original_a = Bytes(a);
  const WorkbookFile file = WorkbookFile::Load(a);
  const memhost::WorkbookData marked = Marked(file);
  for (const fs::path& first : {dir_ / "new.xlsx", a}) {
    SCOPED_TRACE(first.string());
    EXPECT_THROW(SaveWorkbooks({{&file, &marked, first}, {&file, &marked, blocked}}), FileError);
    EXPECT_EQ(FilesIn(dir_), (std::vector<std::string>{"a.xlsx", "b.xlsx"}));
    EXPECT_TRUE(Bytes(a) == original_a) << "a.xlsx changed";
  }

  // Every rename from the second target's on fails: a cannot be put back.
  SaveIo io = SaveIo::System();
  int renames = 0;
  io.rename = [&renames, system = SaveIo::System()](const char* from, const char* to) {
    if (++renames == 1) return system.rename(from, to);
    errno = EACCES;
    return -1;
  };
  try {
    SaveWorkbooks({{&file, &marked, a}, {&file, &marked, dir_ / "c.xlsx"}}, io);
    ADD_FAILURE() << "the save did not fail";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("could not be put back: " + a.string() +
                                         " (its original is kept as "),
              std::string::npos)
        << e.what();
  }
}

// Each workbook goes to its temporary file as soon as it is made, so that only one is held in
// memory; one that cannot be made still stops the save with every target as it was and no
// temporary file left.
TEST_F(AtomicSave, AWorkbookThatCannotBeMadeLeavesEveryTargetAsItWas) {
  const fs::path a = dir_ / "a.xlsx", b = dir_ / "b.xlsx";
  MakeWorkbook(a, 300);
  MakeWorkbook(b, 30);
  const std::string original_a = Bytes(a), original_b = Bytes(b);
  const WorkbookFile file_a = WorkbookFile::Load(a), file_b = WorkbookFile::Load(b);
  const memhost::WorkbookData marked_a = Marked(file_a);
  memhost::WorkbookData broken = Marked(file_b);
  broken.sheets.emplace_back().name = "Added";  // a workbook's sheets cannot change in number
  FailingIo counting;
  try {
    SaveWorkbooks({{&file_a, &marked_a, a}, {&file_b, &broken, b}}, counting.Io());
    ADD_FAILURE() << "the save did not fail";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("changed in number"), std::string::npos) << e.what();
  }
  EXPECT_GT(counting.count, 0) << "the first workbook was not written before the second was made";
  EXPECT_EQ(FilesIn(dir_), (std::vector<std::string>{"a.xlsx", "b.xlsx"}));
  EXPECT_TRUE(Bytes(a) == original_a) << "a.xlsx changed";
  EXPECT_TRUE(Bytes(b) == original_b) << "b.xlsx changed";
}

TEST_F(AtomicSave, AnExistingWorkbookKeepsItsModeAndANewOneFollowsTheUmask) {
  const fs::path shared = dir_ / "shared.xlsx";
  MakeWorkbook(shared, 10);
  fs::permissions(shared, static_cast<fs::perms>(0664));
  const WorkbookFile file = WorkbookFile::Load(shared);
  const memhost::WorkbookData marked = Marked(file);
  const mode_t before = ::umask(027);
  SaveWorkbooks({{&file, &marked, shared}, {&file, &marked, dir_ / "new.xlsx"}});
  ::umask(before);
  struct stat st {};
  ASSERT_EQ(::stat(shared.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
  ASSERT_EQ(::stat((dir_ / "new.xlsx").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicSave, AFullDiskAndARefusingFolderGiveAClearError) {
  const fs::path target = dir_ / "book.xlsx";
  MakeWorkbook(target, 200);
  const std::string original = Bytes(target);
  const WorkbookFile file = WorkbookFile::Load(target);
  const memhost::WorkbookData marked = Marked(file);

  FailingIo full{2, ENOSPC};  // the first write
  try {
    SaveWorkbooks({{&file, &marked, target}}, full.Io());
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), target.string() +
                                         ": cannot be written (writing): No space left on device; "
                                         "the file is unchanged");
  }
  EXPECT_EQ(Bytes(target), original);
  EXPECT_EQ(FilesIn(dir_), std::vector<std::string>{"book.xlsx"});

  FailingIo refusing{1, EACCES};  // no temporary file can be made
  EXPECT_THROW(SaveWorkbooks({{&file, &marked, target}}, refusing.Io()), FileError);
  EXPECT_EQ(Bytes(target), original);

  // A folder that really is read-only (the superuser writes anyway, so only for other users).
  if (::geteuid() != 0) {
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    try {
      SaveWorkbooks({{&file, &marked, target}});
      ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find("Permission denied"), std::string::npos) << e.what();
    }
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(Bytes(target), original);
    EXPECT_EQ(FilesIn(dir_), std::vector<std::string>{"book.xlsx"});
  }
}

TEST_F(AtomicSave, AProcessKilledDuringALargeSaveLeavesTheOriginal) {
  const fs::path target = dir_ / "large.xlsx";
  MakeWorkbook(target, 20000);
  const std::string original = Bytes(target);
  const WorkbookFile file = WorkbookFile::Load(target);
  const memhost::WorkbookData marked = Marked(file);

  // The child tells the parent through a pipe when its save has made the given number of writes,
  // then stalls like a slow disk; the parent kills it there. No timing is involved.
  for (const int writes : {1, 4, 16}) {
    SCOPED_TRACE("killed after " + std::to_string(writes) + " writes");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      SaveIo io = SaveIo::System();
      const auto write = io.write;
      auto count = std::make_shared<int>(0);
      io.write = [write, count, writes, fd = ready[1]](int file, const char* data,
                                                       std::size_t size) -> long {
        const long written = write(file, data, std::min<std::size_t>(size, 4096));
        if (++*count == writes) {
          const char byte = 1;
          if (::write(fd, &byte, 1) != 1) ::_exit(3);
          for (;;) ::pause();
        }
        return written;
      };
      try {
        SaveWorkbooks({{&file, &marked, target}}, io);
      } catch (...) {
        ::_exit(2);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool reached = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(reached) << "the save ended before it made that many writes";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save ended before it was killed";
    EXPECT_TRUE(Bytes(target) == original) << "the target changed";
    // What the killed save leaves is a hidden temporary file beside the target, never the target.
    for (const std::string& name : FilesIn(dir_)) {
      if (name != "large.xlsx") {
        EXPECT_EQ(name.rfind(".large.xlsx.", 0), 0u) << name;
      }
    }
  }
}

}  // namespace
}  // namespace quorvane::xlsx
