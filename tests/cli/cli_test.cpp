// The quorvane tool run as a user runs it: exit statuses, what is written and what is not, bad
// input, and the results read back with our own reader and with openpyxl.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/worksheet.h"
#include "support/temp_folder.h"
#include "support/zip_parts.h"
#include "xlsx/model_matchers.h"
#include "xlsx/package.h"
#include "xlsx/workbook_file.h"

namespace quorvane::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out, err;
};

// The package with some parts replaced, written to `target` (tests write their inputs themselves).
void WriteVariant(const xlsx::Package& package, const fs::path& target,
                  const std::map<std::string, std::optional<std::string>>& changes) {
  std::ofstream(target, std::ios::binary) << package.Serialize(changes);
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::string Q(const fs::path& path) { return "'" + path.string() + "'"; }

class Cli : public quorvane::testing::TempFolderTest {
 protected:
  Cli() : TempFolderTest("quorvane_cli") {}

  Result Run(const std::string& args) {
    const std::string command = std::string("'") + QUORVANE_BINARY + "' " + args + " >'" +
                                (dir_ / "stdout").string() + "' 2>'" + (dir_ / "stderr").string() +
                                "' </dev/null";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadAll(dir_ / "stdout");
    result.err = ReadAll(dir_ / "stderr");
    fs::remove(dir_ / "stdout");
    fs::remove(dir_ / "stderr");
    return result;
  }

  // The tool started with a Ctrl-C already waiting: SIGINT blocked and pending, as the tool holds
  // it while a run goes on, so that the run's first poll finds it.
  Result RunInterrupted(const std::vector<std::string>& args) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const pid_t child = ::fork();
    if (child == 0) {
      sigset_t set;
      sigemptyset(&set);
      sigaddset(&set, SIGINT);
      sigprocmask(SIG_BLOCK, &set, nullptr);
      ::raise(SIGINT);
      std::freopen(out.c_str(), "w", stdout);
      std::freopen(err.c_str(), "w", stderr);
      std::vector<char*> argv{const_cast<char*>(QUORVANE_BINARY)};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(QUORVANE_BINARY, argv.data());
      ::_exit(127);
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    fs::remove(out);
    fs::remove(err);
    return result;
  }

  // The demo's sample workbook (not reconciled) in the test folder.
  fs::path Sample() {
    const Result demo = Run("demo '" + (dir_ / "demo").string() + "'");
    EXPECT_EQ(demo.status, 0) << demo.err;
    const fs::path sample = dir_ / "book.xlsx";
    fs::copy_file(dir_ / "demo" / "quorvane-demo.xlsx", sample);
    fs::remove_all(dir_ / "demo");
    return sample;
  }

  // A copy of the sample with some parts replaced.
  fs::path Variant(const char* name, std::map<std::string, std::optional<std::string>> changes) {
    const fs::path sample = Sample();
    const fs::path path = dir_ / name;
    WriteVariant(xlsx::Package::Open(sample), path, changes);
    fs::remove(sample);
    return path;
  }

  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Runs a Python script with the paths as its arguments; its output with its error stream.
  std::string Python(const std::string& script, const std::vector<fs::path>& args) {
    std::ofstream(dir_ / "check.py") << script;
    std::string command = "/usr/bin/python3 " + Q(dir_ / "check.py");
    for (const fs::path& arg : args) command += " " + Q(arg);
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << output;
    fs::remove(dir_ / "check.py");
    return output;
  }
};

TEST_F(Cli, DemoWritesTheSampleAndItsReconciledCopy) {
  const Result r = Run("demo " + Q(dir_));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Possible transpositions         1         1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Possible year errors            1         1"), std::string::npos);
  EXPECT_NE(r.out.find("is ERROR"), std::string::npos);
  // The run goes the user's way through the add-in and ends with the ribbon's labels.
  EXPECT_NE(r.out.find("Cleared \"Compare Numbers ONLY\".\nSet Range#1: "), std::string::npos);
  EXPECT_NE(r.out.find("lblPossibleYO01 \" 1\"   lblPossibleYO02 \" 1\""), std::string::npos);
  EXPECT_NE(r.out.find("Written: " + (dir_ / "quorvane-demo.reconciled.xlsx").string()),
            std::string::npos);
  EXPECT_EQ(r.err, "");  // no terminal: no progress, and no message boxes in a normal run
  const xlsx::WorkbookFile result =
      xlsx::WorkbookFile::Load(dir_ / "quorvane-demo.reconciled.xlsx");
  const memhost::SheetData& bank = result.data().sheets[0];
  EXPECT_EQ(bank.Find(4, 2)->fill.pattern, host::kPatternGray16);  // the transposed 123.45
  EXPECT_EQ(bank.Find(4, 2)->fill.color, 6745634);
  EXPECT_FALSE(bank.Find(4, 2)->comment->visible);
  EXPECT_EQ(bank.Find(9, 2)->fill.color, 65535);  // the user's own fill stays
  EXPECT_FALSE(bank.shapes.empty());
  EXPECT_EQ(bank.shapes[0].name.rfind("CmtNumA", 0), 0u);
}

TEST_F(Cli, CompareThenClearGivesTheOriginalBack) {
  const fs::path sample = Sample();
  Result r = Run("compare " + Q(sample) +
                 " Bank!A2:B11 Ledger!A2:B11 --no-round-numbers --no-numbers-only --show-comments "
                 "--json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"range1\":{\"count\":18,\"match\":14,\"mismatch\":4,", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\"notices\":[\"1) [book.xlsx]Ledger!$B$2 is text"), std::string::npos);
  const fs::path reconciled = dir_ / "book.reconciled.xlsx";
  EXPECT_NE(r.out.find("\"outputs\":[\"" + reconciled.string() + "\"]"), std::string::npos);
  {
    const xlsx::WorkbookFile marked = xlsx::WorkbookFile::Load(reconciled);
    EXPECT_TRUE(marked.data().sheets[0].Find(4, 2)->comment->visible);  // --show-comments
  }
  r = Run("clear " + Q(reconciled) + " Bank!A2:B11 Ledger!A2:B11 --in-place");
  ASSERT_EQ(r.status, 0) << r.err;
  const xlsx::WorkbookFile original = xlsx::WorkbookFile::Load(sample);
  const xlsx::WorkbookFile cleared = xlsx::WorkbookFile::Load(reconciled);
  for (std::size_t s = 0; s < 2; ++s) {
    const memhost::SheetData& a = original.data().sheets[s];
    const memhost::SheetData& b = cleared.data().sheets[s];
    ASSERT_EQ(a.cells.size(), b.cells.size());
    for (auto i = a.cells.begin(), j = b.cells.begin(); i != a.cells.end(); ++i, ++j) {
      EXPECT_EQ(i->first, j->first);
      EXPECT_EQ(i->second.fill, j->second.fill);
      EXPECT_EQ(i->second.comment.has_value(), j->second.comment.has_value());
      if (i->second.comment && j->second.comment) {
        EXPECT_EQ(i->second.comment->text, j->second.comment->text);
      }
    }
    EXPECT_TRUE(b.shapes.empty());
  }
  // The input was never touched.
  EXPECT_EQ(Files(), (std::vector<std::string>{"book.reconciled.xlsx", "book.xlsx"}));
}

TEST_F(Cli, UnknownPartsAreCopiedByteForByte) {
  const std::string custom = "<root>" + std::string(5000, 'x') + "</root>";
  const fs::path book = Variant("custom.xlsx", {{"customXml/item1.xml", custom}});
  const Result r =
      Run("compare " + Q(book) + " Bank!B2:B11 Ledger!B2:B11 -o " + Q(dir_ / "out.xlsx"));
  ASSERT_EQ(r.status, 0) << r.err;
  const xlsx::Package in = xlsx::Package::Open(book);
  const xlsx::Package out = xlsx::Package::Open(dir_ / "out.xlsx");
  EXPECT_EQ(out.Read("customXml/item1.xml"), custom);
  EXPECT_EQ(out.Read("xl/workbook.xml"), in.Read("xl/workbook.xml"));
}

// A workbook as Excel 2019 and later save a threaded comment on A2: the thread in its own part
// with the people of the workbook in another ([MS-XLSX] CT_ThreadedComments, CT_PersonList), and
// a note beside it for older versions, drawn in the VML part. Hand-made: no library we use writes
// threads.
constexpr char kThread[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<ThreadedComments xmlns=\"http://schemas.microsoft.com/office/spreadsheetml/2018/"
    "threadedcomments\" xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<threadedComment ref=\"A2\" dT=\"2024-03-07T14:03:09.00\" "
    "personId=\"{6E2B1D3A-0C4F-4B8E-9A51-2F3C7D8E9A10}\" "
    "id=\"{0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}\"><text>Check with the bank</text>"
    "</threadedComment><threadedComment ref=\"A2\" dT=\"2024-03-08T09:00:00.00\" "
    "personId=\"{6E2B1D3A-0C4F-4B8E-9A51-2F3C7D8E9A10}\" "
    "id=\"{1A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}\" "
    "parentId=\"{0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}\"><text>Done</text></threadedComment>"
    "</ThreadedComments>";
constexpr char kPersons[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<personList xmlns=\"http://schemas.microsoft.com/office/spreadsheetml/2018/threadedcomments\" "
    "xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><person "
    "displayName=\"Ann Example\" id=\"{6E2B1D3A-0C4F-4B8E-9A51-2F3C7D8E9A10}\" "
    "userId=\"ann@example.com\" providerId=\"None\"/></personList>";
constexpr char kThreadNote[] =
    "[Threaded comment]\n\nYour version of Excel allows you to read this threaded comment; "
    "however, "
    "any edits to it will get removed if the file is opened in a newer version of Excel.\n\n"
    "Comment:\n    Check with the bank\nReply:\n    Done";

fs::path ThreadedBook(const fs::path& dir) {
  const xlsx::WorkbookFile file = xlsx::WorkbookFile::New("Book.xlsx", {"Sheet1"});
  const fs::path base = dir / "base.xlsx";
  xlsx::SaveWorkbooks({{&file, &file.data(), base}});
  std::map<std::string, std::string> parts;
  {
    const xlsx::Package package = xlsx::Package::Open(base);
    for (const std::string& part : package.names()) parts.emplace(part, package.Read(part));
  }
  fs::remove(base);
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  parts["xl/worksheets/sheet1.xml"] =
      "<worksheet xmlns=\"" + main + "\" xmlns:r=\"" + rel +
      "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>100</v></c><c r=\"B1\"><v>400</v></c></row>"
      "<row r=\"2\"><c r=\"A2\"><v>200</v></c><c r=\"B2\"><v>500</v></c></row>"
      "<row r=\"3\"><c r=\"A3\"><v>300</v></c></row></sheetData>"
      "<legacyDrawing r:id=\"rId2\"/></worksheet>";
  parts["xl/worksheets/_rels/sheet1.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId3\" Type=\"http://schemas.microsoft.com/office/2017/10/relationships/"
      "threadedComment\" Target=\"../threadedComments/threadedComment1.xml\"/>"
      "<Relationship Id=\"rId2\" Type=\"" +
      rel +
      "/vmlDrawing\" "
      "Target=\"../drawings/vmlDrawing1.vml\"/>"
      "<Relationship Id=\"rId1\" Type=\"" +
      rel +
      "/comments\" Target=\"../comments1.xml\"/>"
      "</Relationships>";
  parts["xl/comments1.xml"] = "<comments xmlns=\"" + main +
                              "\"><authors><author>tc={0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}"
                              "</author></authors><commentList><comment ref=\"A2\" authorId=\"0\" "
                              "shapeId=\"0\"><text><t>" +
                              std::string(kThreadNote) +
                              "</t></text></comment></commentList>"
                              "</comments>";
  parts["xl/drawings/vmlDrawing1.vml"] =
      "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
      "xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
      "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\">"
      "<o:idmap v:ext=\"edit\" data=\"1\"/></o:shapelayout><v:shapetype id=\"_x0000_t202\" "
      "coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\"/>"
      "<v:shape id=\"_x0000_s1025\" type=\"#_x0000_t202\" style=\"position:absolute;"
      "margin-left:59.25pt;margin-top:1.5pt;width:108pt;height:59.25pt;z-index:1;"
      "visibility:hidden\"><x:ClientData ObjectType=\"Note\"><x:Anchor>1, 15, 0, 2, 3, 15, 4, 4"
      "</x:Anchor><x:Row>1</x:Row><x:Column>0</x:Column></x:ClientData></v:shape></xml>";
  parts["xl/threadedComments/threadedComment1.xml"] = kThread;
  parts["xl/persons/person.xml"] = kPersons;
  std::string& workbook_rels = parts.at("xl/_rels/workbook.xml.rels");
  workbook_rels.insert(workbook_rels.rfind("</"),
                       "<Relationship Id=\"rId90\" Type=\"http://schemas.microsoft.com/office/2017/"
                       "10/relationships/person\" Target=\"persons/person.xml\"/>");
  std::string& types = parts.at("[Content_Types].xml");
  types.insert(types.rfind("</"),
               "<Default Extension=\"vml\" "
               "ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>"
               "<Override PartName=\"/xl/comments1.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\"/>"
               "<Override PartName=\"/xl/threadedComments/threadedComment1.xml\" "
               "ContentType=\"application/vnd.ms-excel.threadedcomments+xml\"/>"
               "<Override PartName=\"/xl/persons/person.xml\" "
               "ContentType=\"application/vnd.ms-excel.person+xml\"/>");
  const fs::path path = dir / "book.xlsx";
  quorvane::testing::WriteZip(path, parts);
  return path;
}

// A cell whose thread is in the file gets its rectangle and a notice, no note and no fill; every
// part of the thread, and the note beside it, stay as Excel wrote them, through a clearing too.
TEST_F(Cli, ACellWithAThreadedCommentIsMarkedByItsBoxOnlyAndItsThreadIsKept) {
  const fs::path book = ThreadedBook(dir_);
  const fs::path out = dir_ / "out.xlsx";
  Result r = Run("compare " + Q(book) + " Sheet1!A1:A3 Sheet1!B1:B2 --json -o " + Q(out));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"range1\":{\"count\":3,\"match\":0,\"mismatch\":3,"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"1) [book.xlsx]Sheet1!$A$2 has a threaded comment: it is marked by its "
                       "box only\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"address\":\"[book.xlsx]Sheet1!$A$2\",\"kind\":\"threaded-comment\"}"),
            std::string::npos)
      << r.out;

  auto expect_thread_kept = [&](const fs::path& path, std::size_t shapes) {
    SCOPED_TRACE(path.filename().string());
    const xlsx::Package package = xlsx::Package::Open(path);
    EXPECT_EQ(package.Read("xl/threadedComments/threadedComment1.xml"), kThread);
    EXPECT_EQ(package.Read("xl/persons/person.xml"), kPersons);
    EXPECT_NE(package.Read("xl/worksheets/_rels/sheet1.xml.rels")
                  .find("Target=\"../threadedComments/threadedComment1.xml\""),
              std::string::npos);
    EXPECT_NE(package.Read("[Content_Types].xml").find("/xl/threadedComments/threadedComment1.xml"),
              std::string::npos);
    const xlsx::WorkbookFile file = xlsx::WorkbookFile::Load(path);
    const memhost::SheetData& sheet = file.data().sheets[0];
    const memhost::CellData* cell = sheet.Find(2, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(cell->threaded_comment);
    ASSERT_TRUE(cell->comment.has_value());
    EXPECT_EQ(cell->comment->text, kThreadNote);
    EXPECT_EQ(cell->fill, memhost::Fill{});
    EXPECT_EQ(sheet.shapes.size(), shapes);
  };
  expect_thread_kept(out, 5u);
  {
    const xlsx::WorkbookFile marked = xlsx::WorkbookFile::Load(out);
    const memhost::CellData* other = marked.data().sheets[0].Find(3, 1);
    ASSERT_TRUE(other != nullptr && other->comment.has_value());
    EXPECT_NE(other->comment->text.find("This list has 1 300."), std::string::npos);
  }

  r = Run("clear " + Q(out) + " Sheet1!A1:A3 Sheet1!B1:B2 --in-place");
  ASSERT_EQ(r.status, 0) << r.err;
  expect_thread_kept(out, 0u);
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
  const fs::path sample = Sample();
  Result r = Run("compare " + Q(sample) + " 'Bank!A2:' Ledger!B2:B11");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("RANGE1 'Bank!A2:' is not a range"), std::string::npos) << r.err;
  EXPECT_EQ(Run("compare " + Q(sample) + " Bank!B2:B11").status, 2);
  EXPECT_EQ(Run("compare " + Q(sample) + " Bank!B2:B11 Ledger!B2:B11 --frobnicate").status, 2);
  EXPECT_EQ(Run("compare " + Q(sample) + " Bank!B2:B11 Ledger!B2:B11 -o x.xlsx --in-place").status,
            2);
  EXPECT_EQ(Run("").status, 2);
  // A sheet the workbook lacks is a mistake in the command, not in the file.
  r = Run("compare " + Q(sample) + " Nowhere!B2:B11 Ledger!B2:B11");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("has no sheet named 'Nowhere'"), std::string::npos) << r.err;
  r = Run("clear " + Q(sample) + " Bank!B2:B11 '[book.xlsx]Nowhere'!B2:B11");
  EXPECT_EQ(r.status, 2) << r.err;
  r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("compare"), std::string::npos);
  EXPECT_EQ(Files(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(Cli, BadFilesExitWithThreeNameTheFileAndWriteNothing) {
  const fs::path sample = Sample();
  const std::string sample_bytes = ReadAll(sample);
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  };
  std::string compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  compound += std::string(600, '\0');
  std::string encrypted = compound;
  for (char c : std::string("EncryptionInfo")) encrypted += std::string{c, '\0'};
  const xlsx::Package package = xlsx::Package::Open(sample);
  auto variant = [&](const char* name, std::map<std::string, std::optional<std::string>> changes) {
    WriteVariant(package, dir_ / name, changes);
    return dir_ / name;
  };
  const std::string sheet = package.Read("xl/worksheets/sheet1.xml");
  std::string no_drawing_rel = package.Read("xl/worksheets/_rels/sheet1.xml.rels");
  std::string shared_part = package.Read("xl/_rels/workbook.xml.rels");
  shared_part.replace(shared_part.find("worksheets/sheet2.xml"), 21, "worksheets/sheet1.xml");
  struct Case {
    fs::path path;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {dir_ / "missing.xlsx", "no such file"},
      {dir_, "is a folder"},
      {write("legacy.xls", compound), "legacy .xls"},
      {write("locked.xlsx", encrypted), "encrypted workbook"},
      {write("text.xlsx", "just some text"), "not a zip"},
      {write("truncated.xlsx", sample_bytes.substr(0, sample_bytes.size() / 2)),
       "damaged or truncated"},
      {variant("noworkbook.xlsx",
               {{"_rels/.rels", std::nullopt}, {"xl/workbook.xml", std::nullopt}}),
       "holds no workbook"},
      {variant("badxml.xlsx", {{"xl/worksheets/sheet2.xml", sheet.substr(0, sheet.size() / 2)}}),
       "malformed XML in xl/worksheets/sheet2.xml"},
      {variant("doctype.xlsx", {{"xl/styles.xml", "<!DOCTYPE x [<!ENTITY a \"b\">]><x/>"}}),
       "document type declaration"},
      {variant("bomb.xlsx",
               {{"xl/styles.xml", std::string(64u << 20, ' ') + package.Read("xl/styles.xml")}}),
       "extreme ratio"},
      {variant("norel.xlsx", {{"xl/worksheets/_rels/sheet1.xml.rels", std::nullopt}}),
       "refers to the relationship"},
      // Changes to either sheet would land in the other, or be lost when both changed.
      {variant("shared.xlsx", {{"xl/_rels/workbook.xml.rels", shared_part}}),
       "are both stored in the part xl/worksheets/sheet1.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    const auto before = Files();
    const Result r = Run("compare " + Q(c.path) + " Bank!B2:B11 Ledger!B2:B11");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(c.path.string() + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.problem), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(Files(), before);
  }
}

// Two workbooks, the second of whose outputs cannot be written (a folder has its name): the
// command fails and leaves neither the first workbook's output nor any other change behind.
TEST_F(Cli, ASaveOfTwoWorkbooksIsAllOrNothing) {
  const fs::path bank = Sample();
  fs::copy_file(bank, dir_ / "Ledger.xlsx");
  fs::create_directories(dir_ / "Ledger.reconciled.xlsx");
  const std::string before = ReadAll(bank);
  for (const std::string output : {"", " -o out.xlsx"}) {
    SCOPED_TRACE(output);
    const Result r = Run("compare " + Q(bank) + " Bank!B2:B11 '[Ledger.xlsx]Ledger!B2:B11'" +
                         (output.empty() ? "" : " -o " + Q(dir_ / "out.xlsx")));
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Ledger.reconciled.xlsx: cannot be written"), std::string::npos) << r.err;
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"Ledger.reconciled.xlsx", "Ledger.xlsx", "book.xlsx"}));
    EXPECT_EQ(ReadAll(bank), before);
  }
}

TEST_F(Cli, AProtectedSheetRefusesTheRunAndNothingIsWritten) {
  // A reconciled workbook whose Ledger sheet is then protected.
  const fs::path sample = Sample();
  ASSERT_EQ(Run("compare " + Q(sample) + " Bank!B2:B11 Ledger!B2:B11 -o " + Q(dir_ / "marked.xlsx"))
                .status,
            0);
  const xlsx::Package marked = xlsx::Package::Open(dir_ / "marked.xlsx");
  std::string sheet = marked.Read("xl/worksheets/sheet2.xml");
  sheet.replace(sheet.find("<pageMargins"), 0, "<sheetProtection sheet=\"1\"/>");
  const fs::path book = dir_ / "protected.xlsx";
  WriteVariant(marked, book, {{"xl/worksheets/sheet2.xml", sheet}});
  fs::remove(sample);
  fs::remove(dir_ / "marked.xlsx");
  Result r = Run("compare " + Q(book) + " Bank!B2:B11 Ledger!B2:B11");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("protected"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nothing was written"), std::string::npos);
  r = Run("clear " + Q(book) + " Bank!B2:B11 Ledger!B2:B11");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("(Clearformats)"), std::string::npos) << r.err;
  EXPECT_EQ(Files(), std::vector<std::string>{"protected.xlsx"});
}

// Ranges of cells that were never filled: the clearing's message alone, and nothing is written.
TEST_F(Cli, RangesOutsideTheUsedAreaAreRefusedWithTheClearingsMessageAlone) {
  const fs::path sample = Sample();
  for (const std::string ranges :
       {" Bank!X2:X11 Ledger!X2:X11", " Bank!X2:X11 Ledger!B2:B11", " Bank!B2:B11 Ledger!X2:X11"}) {
    SCOPED_TRACE(ranges);
    const Result r = Run("compare " + Q(sample) + ranges);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Range 1 and Range 2 are not entered correctly - could be empty cells"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Object variable"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(Files(), std::vector<std::string>{"book.xlsx"});
  }
}

// The mismatch report, read back with Python's csv and json modules: one record per marked cell in
// the order the cells were checked, the diagnosis with its partner cell, the notices by cell.
TEST_F(Cli, TheReportListsEveryMarkedCellInCheckingOrder) {
  // A description holding a comma and quotes, to be quoted and doubled in the CSV.
  const fs::path sample = Sample();
  const xlsx::Package package = xlsx::Package::Open(sample);
  std::string ledger = package.Read("xl/worksheets/sheet2.xml");
  const std::string plain = "Rent (typed as text)";
  ASSERT_NE(ledger.find(plain), std::string::npos);
  ledger.replace(ledger.find(plain), plain.size(), "Rent, \"typed\" as text");
  const fs::path book = dir_ / "book2.xlsx";
  WriteVariant(package, book, {{"xl/worksheets/sheet2.xml", ledger}});
  const std::string ranges =
      " Bank!A2:C11 Ledger!A2:C11 --no-round-numbers --no-numbers-only --report ";
  Result r = Run("compare " + Q(book) + ranges + Q(dir_ / "report.csv"));
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run("compare " + Q(book) + ranges + Q(dir_ / "report.json") + " --json");
  ASSERT_EQ(r.status, 0) << r.err;
  std::ofstream(dir_ / "out.json") << r.out;
  const std::string script = R"(
import csv, json, sys
raw = open(sys.argv[1], 'rb').read()
assert raw.startswith(b'\xef\xbb\xbf"range","workbook",'), raw[:40]
assert raw.count(b'\r\n') == raw.count(b'\n'), 'a line not ended by CR LF'
rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8-sig')))
records = json.load(open(sys.argv[2]))
out = json.load(open(sys.argv[3]))
assert out['mismatches'] == records
assert [{k: str(v) for k, v in x.items()} for x in records] == rows
assert sum(x['range'] == 1 for x in records) == out['range1']['mismatch']
assert sum(x['range'] == 2 for x in records) == out['range2']['mismatch']
assert out['notices'][0].startswith('1) [book2.xlsx]Ledger!$B$2 is text'), out['notices']
assert {'address': '[book2.xlsx]Ledger!$B$2', 'kind': 'text-number'} in out['notice_cells']
assert {'address': '[book2.xlsx]Ledger!$B$10', 'kind': 'error'} in out['notice_cells']
assert len(out['notice_cells']) == len(out['notices'])
by = {(x['range'], x['sheet'], x['cell']): x for x in records}
t = by[(1, 'Bank', 'B4')]
assert (t['workbook'], t['value'], t['text'], t['count_here'], t['count_there'], t['direction']) == \
    ('book2.xlsx', '123.45', '123.45', 1, 0, 'more here'), t
assert (t['diagnosis'], t['partner']) == ('transposition', '[book2.xlsx]Ledger!$B$4'), t
t = by[(2, 'Ledger', 'B4')]
assert (t['diagnosis'], t['partner']) == ('transposition', '[book2.xlsx]Bank!$B$4'), t
y = by[(1, 'Bank', 'A6')]
assert (y['diagnosis'], y['partner']) == ('year', '[book2.xlsx]Ledger!$A$6'), y
assert by[(2, 'Ledger', 'C2')]['text'] == 'Rent, "typed" as text'
assert by[(1, 'Bank', 'C2')]['diagnosis'] == ''
print([(x['range'], x['cell'], x['diagnosis']) for x in records])
)";
  EXPECT_EQ(Python(script, {dir_ / "report.csv", dir_ / "report.json", dir_ / "out.json"}),
            "[(1, 'C2', ''), (1, 'B4', 'transposition'), (1, 'C4', ''), (1, 'A6', 'year'), "
            "(1, 'B6', 'rounding'), (1, 'C6', ''), (1, 'B10', ''), (1, 'C10', ''), (2, 'C2', ''), "
            "(2, 'B4', 'transposition'), (2, 'C4', ''), (2, 'A6', 'year'), (2, 'B6', 'rounding'), "
            "(2, 'C6', ''), (2, 'A8', ''), (2, 'B8', ''), (2, 'C8', ''), (2, 'C10', '')]\n");
}

TEST_F(Cli, AReportThatCannotBeWrittenStopsTheRunBeforeAnythingIsWritten) {
  const fs::path sample = Sample();
  const std::string run = "compare " + Q(sample) + " Bank!B2:B11 Ledger!B2:B11 --report ";
  Result r = Run(run + Q(dir_ / "report.txt"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("must end in .csv or .json"), std::string::npos) << r.err;
  EXPECT_EQ(Run(run + "- --json").status, 2);
  r = Run(run + Q(dir_ / "nowhere" / "report.csv"));
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find((dir_ / "nowhere" / "report.csv").string() + ": cannot write the report"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Files(), std::vector<std::string>{"book.xlsx"});
  // The report is written with the workbook, all or nothing: a report that cannot take its place
  // (a folder holds its name) leaves the workbook it would have joined unchanged.
  const std::string original = ReadAll(sample);
  fs::create_directories(dir_ / "taken.csv" / "inside");
  r = Run(run + Q(dir_ / "taken.csv") + " --in-place");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find((dir_ / "taken.csv").string() + ": cannot write the report (replacing)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadAll(sample), original);
  EXPECT_EQ(Files(), (std::vector<std::string>{"book.xlsx", "taken.csv"}));
  fs::remove_all(dir_ / "taken.csv");
  // "-" prints the CSV in place of the table.
  r = Run(run + "-");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("\xEF\xBB\xBF\"range\",", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("Count"), std::string::npos);
}

// A bank statement as CSV, written by Python's csv module, stands where a workbook does; its result
// is a new workbook beside it and the CSV file is never changed.
TEST_F(Cli, ACsvStatementStandsWhereAWorkbookDoes) {
  const fs::path sample = Sample();
  const fs::path csv = dir_ / "statement.csv";
  EXPECT_EQ(Python(R"(
import csv, sys
with open(sys.argv[1], 'w', newline='', encoding='utf-8-sig') as f:
    w = csv.writer(f)
    w.writerow(['Date', 'Amount', 'Payee'])
    w.writerow(['1/3/2024', '1,250.00', 'Rent, "Main St"'])
    w.writerow(['1/5/2024', '89.99', 'Phone'])
    w.writerow(['1/8/2024', '132.45', 'Office\nsupplies'])
print('ok')
)",
                   {csv}),
            "ok\n");
  const std::string bytes = ReadAll(csv);
  Result r = Run("compare " + Q(sample) + " '[statement.csv]statement!B2:B4' Bank!B2:B4 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"range1\":{\"count\":3,\"match\":2,\"mismatch\":1,"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"range\":1,\"workbook\":\"statement.csv\",\"sheet\":\"statement\","
                       "\"cell\":\"B4\",\"value\":\"132.45\""),
            std::string::npos);
  EXPECT_NE(
      r.out.find("\"diagnosis\":\"transposition\",\"partner\":\"[statement.csv]statement!$B$4\""),
      std::string::npos);
  EXPECT_EQ(ReadAll(csv), bytes);
  EXPECT_EQ(Files(), (std::vector<std::string>{"book.reconciled.xlsx", "book.xlsx", "statement.csv",
                                               "statement.reconciled.xlsx"}));
  {
    const xlsx::WorkbookFile result = xlsx::WorkbookFile::Load(dir_ / "statement.reconciled.xlsx");
    const memhost::SheetData& sheet = result.data().sheets.at(0);
    EXPECT_EQ(result.data().sheets.size(), 1u);
    EXPECT_EQ(sheet.Find(2, 2)->value, host::Value::Number(1250));
    EXPECT_EQ(sheet.Find(2, 3)->value, host::Value::Text("Rent, \"Main St\""));
    EXPECT_EQ(sheet.Find(4, 2)->fill.pattern, host::kPatternGray16);
    EXPECT_TRUE(sheet.Find(4, 2)->comment.has_value());
  }
  fs::remove(dir_ / "book.reconciled.xlsx");
  fs::remove(dir_ / "statement.reconciled.xlsx");

  // The CSV file as BOOK: -o names its result; --in-place is refused.
  r = Run("compare " + Q(csv) + " B2:B4 '[book.xlsx]Bank!B2:B4' -o " + Q(dir_ / "out.xlsx"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "out.xlsx"));
  fs::remove(dir_ / "out.xlsx");
  fs::remove(dir_ / "book.reconciled.xlsx");
  r = Run("compare " + Q(csv) + " B2:B4 '[book.xlsx]Bank!B2:B4' --in-place");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--in-place cannot replace " + csv.string() + ": a CSV file holds no marks"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadAll(csv), bytes);
  EXPECT_EQ(Files(), (std::vector<std::string>{"book.xlsx", "statement.csv"}));
}

TEST_F(Cli, BadCsvExitsWithThreeNamingTheLineAndWritesNothing) {
  const fs::path sample = Sample();
  const struct {
    std::string bytes;
    const char* problem;
  } cases[] = {
      {"Date,Amount\n1/3/2024,\"1,250.00\n1/5/2024,89.99\n",
       "line 2: a quoted field that starts here is never closed"},
      // Its first bytes read as Windows-1252 text; its control characters make it binary.
      {"Date,Amount\n1/3/2024,12\n" + std::string("\x89PNG\r\n\x1a\n\0\0", 10),
       "line 4: binary data (byte 26 at column 1) in a text file"},
      {"Datum;Betrag\nCaf\xE9;12\n" + std::string("\0\0", 2),
       "line 3: binary data (byte 0 at column 1) in a text file"},
      {"Date,Amount\n1/3/2024," + std::string(100u << 20, '7') + "\n",
       "line 2: the line is longer than 1048576 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    std::ofstream(dir_ / "statement.csv", std::ios::binary) << c.bytes;
    const Result r = Run("compare " + Q(sample) + " '[statement.csv]statement!B2:B4' Bank!B2:B4");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "quorvane: " + (dir_ / "statement.csv").string() + ": " + c.problem + "\n");
    EXPECT_EQ(Files(), (std::vector<std::string>{"book.xlsx", "statement.csv"}));
  }
}

// Bank statements as banks export them, written by Python's csv module in each encoding and
// locale form: each reconciles with the sample's Bank!B2:B4 (1250, 89.99, 123.45), the third
// amount a transposition.
TEST_F(Cli, BankExportsReconcileInTheirEncodingsAndLocales) {
  const fs::path sample = Sample();
  const struct {
    const char* name;
    const char* encoding;
    const char* delimiter;
    const char* rows;  // a Python list of rows
    const char* amounts;
    const char* options;
    host::Value first_amount, second_amount;
  } cases[] = {
      {"western", "cp1252", ",",
       R"([['Date', 'Amount', 'Text'], ['1/3/2024', '1,250.00', 'Caf\u00e9 Z\u00fcrich'],
           ['1/5/2024', '89.99', '\u201eGr\u00fc\u00dfe\u201c \u20ac'],
           ['1/8/2024', '132.45', '\u00c6'], ])",
       "B2:B4", "", host::Value::Number(1250), host::Value::Number(89.99)},
      {"unicode", "utf-16", "\t",
       R"([['Date', 'Amount', 'Text'], ['1/3/2024', '1,250.00', 'Caf\u00e9 Z\u00fcrich'],
           ['1/5/2024', '89.99', 'a, b'], ['1/8/2024', '132.45', '\U0001F4B6'], ])",
       "B2:B4", "", host::Value::Number(1250), host::Value::Number(89.99)},
      {"unicode_be", "utf-16-be", "\t",
       R"([['Date', 'Amount', 'Text'], ['1/3/2024', '1,250.00', 'Caf\u00e9 Z\u00fcrich'],
           ['1/5/2024', '89.99', 'x'], ['1/8/2024', '132.45', 'y'], ])",
       "B2:B4", "", host::Value::Number(1250), host::Value::Number(89.99)},
      {"de", "cp1252", ";",
       R"([['Datum', 'Text', 'Betrag'], ['03.01.2024', 'Caf\u00e9 Z\u00fcrich', '1.250,00'],
           ['05.01.2024', 'Telefon', '89,99'], ['08.01.2024', 'B\u00fcro', '132,45'], ])",
       "C2:C4", " --locale de-DE", host::Value::Number(1250), host::Value::Number(89.99)},
      {"dollars", "utf-8", ",",
       R"([['Date', 'Amount', 'Text'], ['1/3/2024', '$1,250.00', 'Caf\u00e9 Z\u00fcrich'],
           ['1/5/2024', '(89.99)', 'x'], ['1/8/2024', '$132.45', 'y'], ])",
       "B2:B4", " --ignore-sign", host::Value::Number(1250), host::Value::Number(-89.99)},
      {"euros", "utf-8-sig", ";",
       R"([['Datum', 'Text', 'Betrag'], ['03.01.2024', 'Caf\u00e9 Z\u00fcrich', '(\u20ac1.250,00)'],
           ['05.01.2024', 'x', '89,99-'], ['08.01.2024', 'y', '132,45'], ])",
       "C2:C4", " --locale de-DE --ignore-sign", host::Value::Number(-1250),
       host::Value::Number(-89.99)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path csv = dir_ / (std::string(c.name) + ".csv");
    const std::string script = std::string(R"(
import csv, sys
encoding, delimiter = sys.argv[2], sys.argv[3]
with open(sys.argv[1], 'w', newline='', encoding=encoding) as f:
    if encoding == 'utf-16-be':
        f.write('\ufeff')
    csv.writer(f, delimiter=delimiter).writerows()") +
                               c.rows + R"()
print('ok')
)";
    ASSERT_EQ(Python(script, {csv, c.encoding, c.delimiter}), "ok\n");
    const std::string bytes = ReadAll(csv);
    const std::string amounts = std::string(c.amounts);
    const Result r = Run("compare " + Q(csv) + " " + amounts + " '[book.xlsx]Bank!B2:B4' --json" +
                         c.options + " -o " + Q(dir_ / "out.xlsx"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"range1\":{\"count\":3,\"match\":2,\"mismatch\":1,"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"sheet\":\"" + std::string(c.name) + "\",\"cell\":\"" +
                         amounts.substr(0, 1) + "4\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"diagnosis\":\"transposition\""), std::string::npos) << r.out;
    {
      const xlsx::WorkbookFile result = xlsx::WorkbookFile::Load(dir_ / "out.xlsx");
      const memhost::SheetData& sheet = result.data().sheets.at(0);
      const int amount_column = amounts[0] - 'A' + 1, text_column = amount_column == 2 ? 3 : 2;
      EXPECT_EQ(sheet.Find(2, amount_column)->value, c.first_amount);
      EXPECT_EQ(sheet.Find(3, amount_column)->value, c.second_amount);
      EXPECT_EQ(sheet.Find(2, text_column)->value, host::Value::Text("Caf\u00e9 Z\u00fcrich"));
      EXPECT_TRUE(sheet.Find(2, 1)->value.is_date());
      EXPECT_EQ(sheet.Find(2, 1)->value.number(), 45294);  // 1/3/2024
    }
    EXPECT_EQ(ReadAll(csv), bytes);
    fs::remove(dir_ / "out.xlsx");
  }
  // In en-US the German export is one column of text, as the application opens it there.
  const Result r = Run("compare " + Q(dir_ / "de.csv") + " C2:C4 '[book.xlsx]Bank!B2:B4'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Range 1 and Range 2 are not entered correctly"), std::string::npos)
      << r.err;
}

TEST_F(Cli, CtrlCStopsTheRunAndWritesOnlyWithSavePartial) {
  const fs::path sample = Sample();
  const std::string before = ReadAll(sample);
  Result r = RunInterrupted({"compare", sample.string(), "Bank!B2:B11", "Ledger!B2:B11"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("nothing was written (use --save-partial"), std::string::npos) << r.err;
  EXPECT_EQ(Files(), std::vector<std::string>{"book.xlsx"});

  r = RunInterrupted(
      {"compare", sample.string(), "Bank!B2:B11", "Ledger!B2:B11", "--save-partial", "--json"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.out.find("\"outputs\":[\"" + (dir_ / "book.reconciled.xlsx").string()),
            std::string::npos)
      << r.out;
  EXPECT_EQ(Files(), (std::vector<std::string>{"book.reconciled.xlsx", "book.xlsx"}));
  EXPECT_NO_THROW(xlsx::WorkbookFile::Load(dir_ / "book.reconciled.xlsx"));
  EXPECT_EQ(ReadAll(sample), before);
}

// Lists longer than the add-in takes: refused as the add-in refuses them unless --max-items raises
// the limit, and then counted past what a 16-bit counter holds.
TEST_F(Cli, MaxItemsLetsTheToolReconcileLongerLists) {
  const int items = 40000;
  // Distinct amounts below 10,000; the ledger holds them in reverse order, with three of the bank's
  // replaced by amounts above 20,000, one of them its digits transposed.
  std::vector<std::string> bank, ledger;
  for (int r = 1; r <= items; ++r) {
    bank.push_back(std::to_string(r * 7919 % 1000003 / 100) + "." +
                   std::to_string(10 + r * 7919 % 1000003 % 100 % 90));
  }
  bank[9] = "21234.56";
  ledger.assign(bank.rbegin(), bank.rend());
  ledger[items - 10] = "21243.56";
  ledger[items - 20] = "20000.01";
  ledger[items - 30] = "20000.02";
  for (const auto& [name, list] : {std::pair{"bank.csv", &bank}, {"ledger.csv", &ledger}}) {
    std::ofstream out(dir_ / name);
    for (const std::string& amount : *list) out << amount << "\n";
  }
  const std::string ranges = Q(dir_ / "bank.csv") + " A1:A40000 '[ledger.csv]ledger!A1:A40000'";

  Result r = Run("compare " + ranges);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Too many items in list.  Max is 10000"), std::string::npos) << r.err;
  r = Run("compare " + ranges + " --max-items 39999");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Too many items in list.  Max is 39999"), std::string::npos) << r.err;
  EXPECT_EQ(Files(), (std::vector<std::string>{"bank.csv", "ledger.csv"}));

  r = Run("compare " + ranges + " --max-items 40000 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"range1\":{\"count\":40000,\"match\":39997,\"mismatch\":3,"
                       "\"transpose\":1,"),
            std::string::npos)
      << r.out.substr(0, 300);
  EXPECT_NE(r.out.find("\"range2\":{\"count\":40000,\"match\":39997,\"mismatch\":3,"),
            std::string::npos);
  EXPECT_NE(r.out.find("\"cell\":\"A10\",\"value\":\"21234.56\""), std::string::npos);
  EXPECT_EQ(Files(), (std::vector<std::string>{"bank.csv", "bank.reconciled.xlsx", "ledger.csv",
                                               "ledger.reconciled.xlsx"}));

  // Past a million items, or below one, the option itself is refused.
  for (const char* wrong : {"1000001", "0"}) {
    r = Run("compare " + ranges + " --max-items " + wrong);
    EXPECT_EQ(r.status, 2) << wrong;
    EXPECT_NE(r.err.find("--max-items"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1000000"), std::string::npos) << r.err;
  }
  r = Run("compare --help");
  EXPECT_NE(r.out.find("--max-items"), std::string::npos);
  EXPECT_NE(r.out.find("up to 1000000"), std::string::npos);
}

TEST_F(Cli, OpenpyxlReadsTheMarks) {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0) {
    GTEST_SKIP() << "python3-openpyxl is not installed; the cross-check with openpyxl was skipped";
  }
  ASSERT_EQ(Run("demo " + Q(dir_)).status, 0);
  const std::string script = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
bank = wb['Bank']
c = bank['B4']
assert c.fill.patternType == 'gray125', c.fill.patternType
assert c.fill.bgColor.rgb == 'FF22EE66', c.fill.bgColor.rgb
assert 'Possible Transpose 123.45 and 132.45' in c.comment.text, c.comment.text
c = bank['B10']
assert c.fill.patternType == 'solid' and c.fill.fgColor.rgb == 'FF22EE66'
assert c.comment.text.endswith('<<<zvk_color=16777215,zvk_pattern=-4142>>>'), c.comment.text
u = bank['B9']
assert u.fill.fgColor.rgb == 'FFFFFF00' and u.comment.text == 'Check the invoice with the client.'
assert bank.row_dimensions[8].hidden
print('ok')
)";
  EXPECT_EQ(Python(script, {dir_ / "quorvane-demo.reconciled.xlsx"}), "ok\n");
}

// A workbook written by openpyxl with a sign error, a decimal slide, a transposed amount, a split
// and a merge: the tool's table, --json and report name them, openpyxl reads their shading and
// blocks back, the clearing gives the workbook back, and without Explain More none is written.
TEST_F(Cli, ExplainMoreFindingsReachTheWorkbookTheTableTheJsonAndTheReport) {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0) {
    GTEST_SKIP() << "python3-openpyxl is not installed; the cross-check with openpyxl was skipped";
  }
  const fs::path book = dir_ / "lists.xlsx";
  EXPECT_EQ(Python(R"(import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Lists'
for row, (a, b) in enumerate([(40.25, 25), (12.5, 1250), (59.01, 59.1), (350, 100),
                              (20, -40.25), (5, 250), (7, 7)], start=1):
    ws.cell(row=row, column=1, value=a)
    ws.cell(row=row, column=3, value=b)
wb.save(sys.argv[1])
print('ok')
)",
                   {book}),
            "ok\n");
  const std::string ranges = " Lists!A1:A7 Lists!C1:C7";
  Result r = Run("compare " + Q(book) + ranges + " -o " + Q(dir_ / "marked.xlsx"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Explained more (findings):\nSign errors                     1\n"
                       "Decimal slides                  1\nTransposed amounts              1\n"
                       "Splits                          1\nMerges                          1\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  [lists.xlsx]Lists!$A$4: Possible Split: $A$4 of Range 1 equals $C$4 + "
                       "$C$6 of Range 2\n"),
            std::string::npos)
      << r.out;
  r = Run("compare " + Q(book) + ranges + " -o " + Q(dir_ / "again.xlsx") + " --json --report " +
          Q(dir_ / "report.json"));
  ASSERT_EQ(r.status, 0) << r.err;
  std::ofstream(dir_ / "out.json") << r.out;
  const Result off =
      Run("compare " + Q(book) + ranges + " -o " + Q(dir_ / "off.xlsx") + " --no-explain-more");
  ASSERT_EQ(off.status, 0) << off.err;
  EXPECT_EQ(off.out.find("Explained"), std::string::npos) << off.out;

  const std::string script = R"(import json, sys, openpyxl
out = json.load(open(sys.argv[2]))
report = json.load(open(sys.argv[3]))
e = out['explained']
assert [e[k] for k in ('sign', 'slide', 'transposition', 'split', 'merge')] == [1] * 5, e
assert out['range1']['transpose'] == 0, out['range1']
split = [f for f in e['findings'] if f['kind'] == 'split'][0]
assert split['range1'] == ['[lists.xlsx]Lists!$A$4'], split
assert split['range2'] == ['[lists.xlsx]Lists!$C$4', '[lists.xlsx]Lists!$C$6'], split
by = {(x['range'], x['cell']): (x['diagnosis'], x['partner']) for x in report}
assert by[(1, 'A4')] == ('split; split', '[lists.xlsx]Lists!$C$4; [lists.xlsx]Lists!$C$6'), by
assert by[(2, 'C6')] == ('split', '[lists.xlsx]Lists!$A$4'), by
assert by[(1, 'A1')] == ('sign', '[lists.xlsx]Lists!$C$5'), by
assert by[(1, 'A2')] == ('slide', '[lists.xlsx]Lists!$C$2'), by
assert by[(2, 'C3')] == ('transposition', '[lists.xlsx]Lists!$A$3'), by
assert by[(2, 'C1')][0] == 'merge; merge', by
ws = openpyxl.load_workbook(sys.argv[1])['Lists']
expected = {
    'A1': 'Possible Sign Error $A$1 and $C$5 for Range 1 and 2, respectively.',
    'C5': 'Possible Sign Error $A$1 and $C$5 for Range 1 and 2, respectively.',
    'A2': 'Possible Decimal Slide 12.5 and 1250', 'C2': 'Possible Decimal Slide 12.5 and 1250',
    'A3': 'Possible Transpose 59.01 and 59.1', 'C3': 'Possible Transpose 59.01 and 59.1',
    'A4': 'Possible Split: $A$4 of Range 1 equals $C$4 + $C$6 of Range 2',
    'C4': 'Possible Split: $A$4 of Range 1 equals $C$4 + $C$6 of Range 2',
    'C6': 'Possible Split: $A$4 of Range 1 equals $C$4 + $C$6 of Range 2',
    'C1': 'Possible Merge: $C$1 of Range 2 equals $A$5 + $A$6 of Range 1',
    'A5': 'Possible Merge: $C$1 of Range 2 equals $A$5 + $A$6 of Range 1',
    'A6': 'Possible Merge: $C$1 of Range 2 equals $A$5 + $A$6 of Range 1',
}
for ref, message in expected.items():
    c = ws[ref]
    assert c.fill.patternType == 'gray125', (ref, c.fill.patternType)
    assert c.comment.text.split('\n')[1] == message, (ref, c.comment.text)
off = openpyxl.load_workbook(sys.argv[4])['Lists']
for ref in expected:
    assert off[ref].fill.patternType == 'solid', (ref, off[ref].fill.patternType)
    assert 'Possible' not in off[ref].comment.text, (ref, off[ref].comment.text)
print('ok')
)";
  EXPECT_EQ(Python(script, {dir_ / "marked.xlsx", dir_ / "out.json", dir_ / "report.json",
                            dir_ / "off.xlsx"}),
            "ok\n");

  // The clearing takes every block and shading away again.
  r = Run("clear " + Q(dir_ / "marked.xlsx") + ranges + " --in-place");
  ASSERT_EQ(r.status, 0) << r.err;
  const xlsx::WorkbookFile original_file = xlsx::WorkbookFile::Load(book);
  const memhost::SheetData& original = original_file.data().sheets[0];
  const xlsx::WorkbookFile cleared_file = xlsx::WorkbookFile::Load(dir_ / "marked.xlsx");
  const memhost::SheetData& cleared = cleared_file.data().sheets[0];
  ASSERT_EQ(original.cells.size(), cleared.cells.size());
  for (auto i = original.cells.begin(), j = cleared.cells.begin(); i != original.cells.end();
       ++i, ++j) {
    EXPECT_EQ(i->first, j->first);
    EXPECT_EQ(i->second.fill, j->second.fill);
    EXPECT_EQ(i->second.comment, j->second.comment);
  }
  EXPECT_TRUE(cleared.shapes.empty());
}

TEST_F(Cli, LibreOfficeOpensTheResultWithEverySheet) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed; the check was skipped";
  }
  ASSERT_EQ(Run("demo " + Q(dir_)).status, 0);
  const std::string command = "cd " + Q(dir_) + " && HOME=" + Q(dir_) +
                              " timeout 120 soffice --headless --convert-to csv:\"Text - txt - "
                              "csv (StarCalc)\":44,34,76,1,,0,false,true,false,false,false,-1 "
                              "quorvane-demo.reconciled.xlsx >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string bank = ReadAll(dir_ / "quorvane-demo.reconciled-Bank.csv");
  const std::string ledger = ReadAll(dir_ / "quorvane-demo.reconciled-Ledger.csv");
  EXPECT_NE(bank.find("123.45"), std::string::npos) << bank;
  EXPECT_NE(ledger.find("132.45"), std::string::npos) << ledger;
}

TEST_F(Cli, FormattedBlankCellsCountAndKeepTheirStyle) {
  if (std::system("/usr/bin/python3 -c 'import xlsxwriter, openpyxl' 2>/dev/null") != 0) {
    GTEST_SKIP() << "python3-xlsxwriter or python3-openpyxl is not installed";
  }
  // Written by XlsxWriter: borders on Bank!A1:A100 with values in A1:A10; a sheet holding only
  // bordered blank cells; a sheet with a bordered whole column and a bordered whole row.
  const fs::path book = dir_ / "boxed.xlsx", marked = dir_ / "marked.xlsx",
                 cleared = dir_ / "cleared.xlsx";
  Python(R"(import sys, xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[1])
boxed = wb.add_format({'border': 1})
bank = wb.add_worksheet('Bank')
for row in range(100):
    if row < 10:
        bank.write_number(row, 0, row + 1, boxed)
    else:
        bank.write_blank(row, 0, None, boxed)
ledger = wb.add_worksheet('Ledger')
for row in range(10):
    ledger.write_number(row, 0, row + 1 if row < 9 else 11)
blank = wb.add_worksheet('Blank')
for row in range(2, 7):
    blank.write_blank(row, 3, None, boxed)
styled = wb.add_worksheet('Styled')
styled.set_column('D:D', None, boxed)
styled.set_row(19, None, boxed)
styled.write_number(1, 1, 7)
wb.close()
)",
         {book});
  Result r = Run("compare " + Q(book) + " 'Bank!A:A' 'Ledger!A:A' --json -o " + Q(marked));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"range1\":{\"count\":100,\"match\":9,\"mismatch\":1,", 0), 0u) << r.out;
  // Only formatted blank cells: counted, nothing checked.
  r = Run("compare " + Q(book) + " 'Blank!D3:D7' 'Ledger!A1:A10' --json -o " +
          Q(dir_ / "blank.xlsx"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"range1\":{\"count\":5,\"match\":0,\"mismatch\":0,", 0), 0u) << r.out;
  // A whole formatted column counts down to the formatted row, not to the sheet's last row.
  r = Run("compare " + Q(book) + " 'Styled!D:D' 'Ledger!A1:A10' --json -o " +
          Q(dir_ / "styled.xlsx"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"range1\":{\"count\":19,", 0), 0u) << r.out;

  r = Run("clear " + Q(marked) + " 'Bank!A:A' 'Ledger!A:A' -o " + Q(cleared));
  ASSERT_EQ(r.status, 0) << r.err;
  xlsx::testing::ExpectSameWorkbook(xlsx::WorkbookFile::Load(book).data(),
                                    xlsx::WorkbookFile::Load(cleared).data());
  // The borders survive the marking and the clearing, blank cells and marked ones alike.
  const std::string output = Python(R"(import sys, openpyxl
marked = openpyxl.load_workbook(sys.argv[1])['Bank']
cleared = openpyxl.load_workbook(sys.argv[2])['Bank']
for ws in (marked, cleared):
    for row in (10, 50, 100):
        assert ws.cell(row, 1).border.left.style == 'thin', (row, ws.cell(row, 1).border)
assert marked['A10'].fill.fill_type == 'solid', marked['A10'].fill
assert cleared['A10'].fill.fill_type is None, cleared['A10'].fill
assert marked['A50'].fill.fill_type is None
print('ok')
)",
                                    {marked, cleared});
  EXPECT_EQ(output, "ok\n");
}

// Workbooks written by programs we did not write, made once for the suite: XlsxWriter's own (inline
// strings), and the same workbook saved again by LibreOffice and by Gnumeric (shared strings, their
// own notes, drawings and styles).
struct ForeignBooks {
  fs::path folder = fs::temp_directory_path() / ("quorvane_foreign_" + std::to_string(::getpid()));
  std::vector<std::pair<std::string, fs::path>> books;
  std::string missing;
  ~ForeignBooks() { fs::remove_all(folder); }
};

const ForeignBooks& Foreign() {
  static const ForeignBooks foreign = [] {
    ForeignBooks f;
    fs::create_directories(f.folder);
    auto run = [&](const std::string& command) {
      return std::system(("cd " + Q(f.folder) + " && " + command + " >/dev/null 2>&1").c_str()) ==
             0;
    };
    const fs::path script = fs::path(QUORVANE_TEST_DATA) / "foreign_book.py";
    if (!run("/usr/bin/python3 " + Q(script) + " xlsxwriter.xlsx")) {
      f.missing = "python3-xlsxwriter";
      return f;
    }
    f.books.emplace_back("XlsxWriter", f.folder / "xlsxwriter.xlsx");
    if (run("HOME=" + Q(f.folder) +
            " timeout 300 soffice --headless --convert-to xlsx --outdir lo xlsxwriter.xlsx")) {
      f.books.emplace_back("LibreOffice", f.folder / "lo" / "xlsxwriter.xlsx");
    } else {
      f.missing += " libreoffice-calc-nogui";
    }
    if (run("timeout 120 ssconvert xlsxwriter.xlsx gnumeric.xlsx")) {
      f.books.emplace_back("Gnumeric", f.folder / "gnumeric.xlsx");
    } else {
      f.missing += " gnumeric";
    }
    return f;
  }();
  return foreign;
}

TEST_F(Cli, WorkbooksOfOtherWritersAreMarkedAndClearedFaithfully) {
  const ForeignBooks& foreign = Foreign();
  if (!foreign.missing.empty()) {
    GTEST_SKIP() << "not installed:" << foreign.missing
                 << "; the foreign-writer checks were skipped";
  }
  const bool openpyxl = std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") == 0;
  for (const auto& [writer, source] : foreign.books) {
    SCOPED_TRACE(writer);
    const fs::path book = dir_ / (writer + ".xlsx");
    const fs::path marked = dir_ / (writer + ".marked.xlsx");
    const fs::path cleared = dir_ / (writer + ".cleared.xlsx");
    fs::copy_file(source, book);
    Result r = Run("compare " + Q(book) + " Bank!B2:B11 Ledger!B2:B11 --json -o " + Q(marked));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"range1\":{\"count\":10,\"match\":8,\"mismatch\":2,"
                          "\"transpose\":1,",
                          0),
              0u)
        << r.out;
    r = Run("clear " + Q(marked) + " Bank!B2:B11 Ledger!B2:B11 -o " + Q(cleared));
    ASSERT_EQ(r.status, 0) << r.err;

    const xlsx::WorkbookFile before = xlsx::WorkbookFile::Load(book);
    const xlsx::WorkbookFile after = xlsx::WorkbookFile::Load(cleared);
    xlsx::testing::ExpectSameWorkbook(before.data(), after.data());
    // The user's own text box is still there; the rectangles are gone.
    ASSERT_EQ(after.data().sheets[0].shapes.size(), 1u);
    EXPECT_EQ(after.data().sheets[0].shapes[0].text, "My own text box");

    if (!openpyxl) continue;
    const std::string command = "/usr/bin/python3 " +
                                Q(fs::path(QUORVANE_TEST_DATA) / "foreign_check.py") + " " +
                                Q(book) + " " + Q(marked) + " " + Q(cleared) + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << output;
    EXPECT_NE(output.find("ok\n"), std::string::npos) << output;
  }
}

// Workbooks of a German and a British user, written by openpyxl, reconciled under their locales
// and read back with openpyxl.
class CliLocale : public Cli {
 protected:
  void SetUp() override {
    Cli::SetUp();
    if (std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0) {
      GTEST_SKIP() << "python3-openpyxl is not installed; the locale checks were skipped";
    }
  }

  // Column A is Range 1, column B Range 2, of sheet S; each row holds a value of each.
  fs::path Book(const std::string& name, const std::string& rows) {
    const fs::path book = dir_ / name;
    const std::string script = R"(
import sys, datetime, openpyxl
from openpyxl.comments import Comment
from openpyxl.styles import PatternFill
D = datetime.datetime
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'S'
for a, b in [)" + rows + R"(]:
    ws.append([a, b])
ws['A2'].fill = PatternFill('solid', fgColor='FFFFFF00')
ws['A2'].comment = Comment('Ask the bank.', 'me')
wb.save(sys.argv[1])
)";
    Python(script, {book});
    return book;
  }

  // Each cell of sheet S as "A1|value|fill|note" lines.
  std::string Cells(const fs::path& book) {
    return Python(R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1])['S']
for row in ws.iter_rows():
    for c in row:
        note = c.comment.text if c.comment else None
        print('%s|%r|%s %s|%r' % (c.coordinate, c.value, c.fill.patternType, c.fill.fgColor.rgb, note))
)",
                  {book});
  }

  // The note of one cell with its timestamps replaced by "STAMP", after checking their form.
  std::string Note(const fs::path& book, const std::string& cell, const std::string& stamp_regex) {
    return Python(R"(
import sys, re, openpyxl
c = openpyxl.load_workbook(sys.argv[1])['S'][sys.argv[2]]
text = c.comment.text if c.comment else ''
stamps = re.findall(r'<<< ([^:\n]*:[^\n]*):\n', text)
for s in stamps:
    assert re.fullmatch(sys.argv[3], s), s
print(re.sub(r'<<< [^\n]*:\n', '<<< STAMP:\n', text), end='')
)",
                  {book, cell, stamp_regex});
  }
};

constexpr const char* kGermanStamp = R"(\d{1,2}\.\d{1,2} \d\d:\d\d:\d\d)";
constexpr const char* kAmericanStamp = R"(\d{1,2}/\d{1,2} \d\d:\d\d:\d\d)";
constexpr const char* kMemo = "\n\n<<<zvk_color=16777215,zvk_pattern=-4142>>>";

TEST_F(CliLocale, GermanAmountsDatesAndStampsUnderDeDe) {
  const fs::path book = Book("de.xlsx", R"(
      ('1.234,50', 1234.5), (99.5, 12.25), (D(2023, 1, 5), D(2024, 1, 5)), ('1.5', 7))");
  const Result r = Run("compare " + Q(book) + " S!A1:A4 S!B1:B4 --locale de-DE --no-numbers-only");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("S!$A$1 is text but probably should be number."), std::string::npos)
      << r.out;
  const fs::path result = dir_ / "de.reconciled.xlsx";
  // The text amount is the ledger's 1234.5: neither is marked.
  EXPECT_EQ(Note(result, "A1", kGermanStamp), "");
  EXPECT_EQ(Note(result, "B1", kGermanStamp), "");
  EXPECT_EQ(Note(result, "A2", kGermanStamp),
            "<<< STAMP:\nThis list has 1 99,5.\nOther list has 0.\n>>>\n\n\n"
            "<<<zvk_color=65535,zvk_pattern=1>>>Ask the bank.");
  EXPECT_EQ(Note(result, "B2", kGermanStamp),
            std::string("<<< STAMP:\nThis list has 1 12,25.\nOther list has 0.\n>>>") + kMemo);
  EXPECT_EQ(Note(result, "A3", kGermanStamp),
            std::string("<<< STAMP:\nPossible Year Error 05.01.2023 and 05.01.2024\n>>>\n"
                        "<<< STAMP:\nThis list has 1 05.01.2023.\nOther list has 0.\n>>>") +
                kMemo);
  // "1.5" is no number in Germany: a text that matches nothing.
  EXPECT_EQ(Note(result, "A4", kGermanStamp),
            std::string("<<< STAMP:\nThis list has 1 1.5.\nOther list has 0.\n>>>") + kMemo);

  // The same workbook under en-US: the German amount is a text there.
  const Result us =
      Run("compare " + Q(book) + " S!A1:A4 S!B1:B4 --no-numbers-only -o " + Q(dir_ / "us.xlsx"));
  ASSERT_EQ(us.status, 0) << us.err;
  EXPECT_EQ(Note(dir_ / "us.xlsx", "A1", kAmericanStamp),
            std::string("<<< STAMP:\nThis list has 1 1.234,50.\nOther list has 0.\n>>>") + kMemo);
  EXPECT_EQ(Note(dir_ / "us.xlsx", "A3", kAmericanStamp),
            std::string("<<< STAMP:\nPossible Year Error 1/5/2023 and 1/5/2024\n>>>\n"
                        "<<< STAMP:\nThis list has 1 1/5/2023.\nOther list has 0.\n>>>") +
                kMemo);
}

TEST_F(CliLocale, BritishDatesAreDayFirstUnderEnGb) {
  const fs::path book = Book("gb.xlsx", R"(
      ('05/01/2023', D(2023, 1, 5)), (D(2023, 1, 6), D(2024, 1, 6)), (1234.5, '1,234.50'))");
  const Result r = Run("compare " + Q(book) + " S!A1:A3 S!B1:B3 --locale en-GB --no-numbers-only");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("S!$A$1 is text but probably should be date."), std::string::npos) << r.out;
  const fs::path result = dir_ / "gb.reconciled.xlsx";
  EXPECT_EQ(Note(result, "A1", kAmericanStamp), "");
  EXPECT_EQ(Note(result, "B1", kAmericanStamp), "");
  EXPECT_EQ(Note(result, "B2", kAmericanStamp),
            std::string("<<< STAMP:\nPossible Year Error 06/01/2023 and 06/01/2024\n>>>\n"
                        "<<< STAMP:\nThis list has 1 06/01/2024.\nOther list has 0.\n>>>") +
                kMemo);
  EXPECT_EQ(Note(result, "A3", kAmericanStamp), "");

  // In the United States the text is 1 May: it no longer matches.
  const Result us =
      Run("compare " + Q(book) + " S!A1:A3 S!B1:B3 --no-numbers-only -o " + Q(dir_ / "us.xlsx"));
  ASSERT_EQ(us.status, 0) << us.err;
  EXPECT_EQ(Note(dir_ / "us.xlsx", "B1", kAmericanStamp),
            std::string("<<< STAMP:\nThis list has 1 1/5/2023.\nOther list has 0.\n>>>") + kMemo);
}

TEST_F(CliLocale, MarkedUnderDeDeClearsUnderEnUsAndTheOtherWayRound) {
  const fs::path book = Book("de.xlsx", R"(
      ('1.234,50', 1234.5), (99.5, 12.25), (D(2023, 1, 5), D(2024, 1, 5)), (123.45, 132.45))");
  const std::string before = Cells(book);
  const fs::path marked = dir_ / "marked.xlsx";
  const fs::path cleared = dir_ / "cleared.xlsx";
  for (const auto& [mark, clear] :
       {std::pair{"de-DE", "en-US"}, std::pair{"en-US", "de-DE"}, std::pair{"de-DE", "fr-FR"}}) {
    ASSERT_EQ(Run("compare " + Q(book) + " S!A1:A4 S!B1:B4 --no-numbers-only --locale " + mark +
                  " -o " + Q(marked))
                  .status,
              0);
    ASSERT_NE(Cells(marked), before);
    const Result r =
        Run("clear " + Q(marked) + " S!A1:A4 S!B1:B4 --locale " + clear + " -o " + Q(cleared));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Cells(cleared), before) << mark << " then " << clear;
  }
}

TEST_F(CliLocale, UnknownLocaleIsAUsageError) {
  const fs::path book = Book("de.xlsx", "(1, 2)");
  for (const char* name : {"xx-YY", "de_DE", "", "'de DE'"}) {
    const Result r = Run("compare " + Q(book) + " S!A1:A1 S!B1:B1 --locale " + name);
    EXPECT_EQ(r.status, 2) << name;
    EXPECT_EQ(Files(), (std::vector<std::string>{"de.xlsx"})) << name;
  }
  EXPECT_NE(Run("compare --help").out.find("--locale"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::cli
