// The installation record a run leaves in the installation folder, read back through the same
// reader the uninstaller uses: what it lists, and when a second run appends to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/install_record.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "setup/run/install_sequence.h"
#include "base/shared_files.h"
#include "support/registry_value_guard.h"
#include "setup/run/run_record.h"
#include "win32/handles.h"
#include "win32/sha256.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// Takes every value without touching the machine's registry.
class NullRegistry final : public setup::ProductRegistry {
 public:
  struct NullKey final : Key {
    void WriteString(const std::string&, const std::string&) override {}
    void WriteDword(const std::string&, std::uint32_t) override {}
  };
  std::unique_ptr<Key> CreateKey(HKEY, const std::string&) override {
    return std::make_unique<NullKey>();
  }
};

class InstallRecordTest : public testing_support::InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    state.FoldersMade.clear();
  }
  bool Run() {
    setup::PrepareInstallFolder(state, target);
    return setup::RunInstall(state, view, registry);
  }
  std::string RecordBytes() const { return ReadFileBytes(target + "\\Uninstaller.dat"); }
  // The lines as "kind field field ...", one text each.
  std::vector<std::string> Lines() const {
    const dt::RecordRead read = dt::ReadRecord(RecordBytes());
    EXPECT_FALSE(read.damaged);
    EXPECT_FALSE(read.tornTail);
    std::vector<std::string> lines;
    for (const dt::RecordLine& line : read.lines) {
      std::string text = line.kind;
      for (const std::string& field : line.fields) text += " " + field;
      lines.push_back(text);
    }
    return lines;
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static bool HasPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
  }
  // Every file below folder, at any depth.
  static std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
      const std::string name = found.cFileName, path = folder + "\\" + name;
      if (name == "." || name == "..") continue;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        files.push_back(path);
      } else {
        for (std::string& inner : FilesBelow(path)) files.push_back(std::move(inner));
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
  }
  // What a run that stopped before the registration leaves: a whole record, without an anchor,
  // naming every file in the installation folder; and no change after the stop announced. The
  // record's lines.
  std::vector<std::string> ExpectStoppedRunRecorded(const std::string& lastAnnounced) {
    const auto lines = Lines();
    EXPECT_FALSE(testing_support::HklmString(testing_support::kUninstallKey, "InstallRecord"));
    for (const std::string& file : FilesBelow(target)) {
      if (file == target + "\\Uninstaller.dat") continue;
      EXPECT_TRUE(Has(lines, "file? " + file) || HasPrefix(lines, "file " + file + " "))
          << file << " is not in the record";
    }
    std::string last;
    for (const std::string& line : lines) {
      const std::string kind = line.substr(0, line.find(' '));
      if (kind.back() == '?') last = line;
      EXPECT_NE(kind, "ini?");  // nothing of the registration
      EXPECT_NE(kind, "value?");
      EXPECT_NE(kind, "key?");
      EXPECT_NE(kind, "tool?");
    }
    EXPECT_EQ(last, lastAnnounced);
    return lines;
  }
  // Anchors the record as it stands, as the registration stage does, in the real uninstall entry.
  void Anchor(const std::string& bytes) {
    const auto digest = win::Sha256(bytes);
    ASSERT_TRUE(digest);
    const std::string anchor = dt::FormatRecordAnchor(bytes.size(), dt::Sha256Hex(*digest));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "InstallRecord", 0, REG_SZ, reinterpret_cast<const BYTE*>(anchor.c_str()),
                   static_cast<DWORD>(anchor.size() + 1));
    RegCloseKey(key);
  }

  testing_support::FakeView view;
  NullRegistry registry;
  const testing_support::RegistryValueGuard anchor_{HKEY_LOCAL_MACHINE,
                                                    testing_support::kUninstallKey,
                                                    "InstallRecord"};
};

// Every change with whether the thing existed before: the folders the folder step and the
// extraction made, each file created or replaced with its final size and time, the file kept, the
// INI keys; each change announced before it happened.
TEST_F(InstallRecordTest, ListsEveryChangeOfTheRun) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  // A file outside the installation folder is shared: its count is raised, and recorded.
  const std::string shared = temp / "Common\\c.dll";
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "program"},
                                   {"%InstallDir%\\Sub\\Deep\\b.txt", "bee"}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\a.txt", "system"}, {shared, "common"}});
  const testing_support::RegistryValueGuard count(HKEY_LOCAL_MACHINE, base::kSharedDllsKey,
                                                  shared);
  ASSERT_TRUE(Run());
  const std::string a = target + "\\a.txt", sub = target + "\\Sub";
  const auto lines = Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("run " + target + " ", 0), 0u) << lines[0];
  EXPECT_TRUE(Has(lines, "link " + target + " 0"));
  EXPECT_TRUE(Has(lines, "made-folder " + target + " step"));
  EXPECT_FALSE(Has(lines, "made-folder " + (temp / "Program Files") + " step"));  // was there
  for (const std::string& folder : {sub, sub + "\\Deep"}) {
    EXPECT_TRUE(Has(lines, "folder? " + folder));
    EXPECT_TRUE(Has(lines, "folder " + folder));
  }
  EXPECT_TRUE(Has(lines, "file? " + a));
  EXPECT_TRUE(Has(lines, "kept " + a));
  EXPECT_TRUE(Has(lines, "shared? " + shared));
  EXPECT_TRUE(Has(lines, "shared " + shared + " none"));
  EXPECT_TRUE(Has(lines, "ini? " + target + "\\Uninstaller.ini program ProgName"));
  EXPECT_TRUE(Has(lines, "ini " + target + "\\Uninstaller.ini program ProgName created 1"));
  EXPECT_TRUE(Has(lines, "ini " + target + "\\Uninstaller.ini program InstallDir created 0"));

  // The size and last-write time of what is on disk now.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &data));
  char time[17];
  std::snprintf(time, sizeof time, "%08lx%08lx", data.ftLastWriteTime.dwHighDateTime,
                data.ftLastWriteTime.dwLowDateTime);
  EXPECT_TRUE(Has(lines, "file " + a + " created 7 " + time));

  // A second run replaces a.txt: "replaced" comes from the create itself.
  Anchor(RecordBytes());
  ASSERT_TRUE(Run());
  const auto again = Lines();
  std::size_t runs = 0, replaced = 0;
  for (const std::string& line : again) {
    runs += line.rfind("run ", 0) == 0;
    replaced += line.rfind("file " + a + " replaced 7 ", 0) == 0;
  }
  EXPECT_EQ(runs, 2u);
  EXPECT_EQ(replaced, 1u);
  // The new content's temporary file beside it was named before it was made.
  EXPECT_EQ(std::count_if(again.begin(), again.end(),
                          [&](const std::string& line) {
                            return line.rfind("temp? " + a + ".~", 0) == 0;
                          }),
            1);
  // The second run kept the shared file: one more use.
  EXPECT_TRUE(Has(again, "shared " + shared + " dword:1"));
  DWORD value = 0, size = sizeof value;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, base::kSharedDllsKey, shared.c_str(),
                         RRF_RT_REG_DWORD, nullptr, &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 2u);
}

// A record that the uninstall entry does not anchor (planted before the first run, or changed
// since) is never appended to: it is kept aside and a new one begins. A torn last line after the
// anchored part is cut off, and nothing else; the appending run names the anchored length it
// found.
TEST_F(InstallRecordTest, AppendsOnlyToTheAnchoredRecord) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "program"}});
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  const std::string planted =
      dt::FormatRecordLine("run", {target, "2020-01-01 00:00:00", "5.02"}) +
      dt::FormatRecordLine("file", {"C:\\windows\\system.ini", "created", "1", "0"});
  WriteFileBytes(target + "\\Uninstaller.dat", planted);
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, "InstallRecord");
  ASSERT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\Uninstaller.dat.old"), planted);
  const std::string first = RecordBytes();
  EXPECT_EQ(first.find("system.ini"), std::string::npos);
  EXPECT_EQ(dt::ReadRecord(first).lines.front().fields.at(3), "0");  // a new record

  // Anchored, then a line after the anchor and one torn by a run ended from outside: the next run
  // appends after the cut.
  Anchor(first);
  const std::string after = dt::FormatRecordLine("removed", {"file", "C:\\y"});
  WriteFileBytes(target + "\\Uninstaller.dat", first + after + "0123abcd file? C:\\x");
  ASSERT_TRUE(Run());
  const std::string second = RecordBytes();
  EXPECT_EQ(second.substr(0, first.size() + after.size()), first + after);
  EXPECT_EQ(second.find("C:\\x\r"), std::string::npos);
  const dt::RecordRead read = dt::ReadRecord(second);
  EXPECT_FALSE(read.tornTail);
  const auto appended = std::find_if(read.lines.begin(), read.lines.end(), [&](const auto& line) {
    return line.offset == first.size() + after.size();
  });
  ASSERT_NE(appended, read.lines.end());
  EXPECT_EQ(appended->kind, "run");
  EXPECT_EQ(appended->fields.at(3), std::to_string(first.size()));

  // A line rewritten inside the anchored part with its check value made anew, at the same length:
  // every line reads as sound, but the part no longer hashes to the anchor. Not appended to.
  Anchor(second);
  std::string rewritten = second;
  for (const dt::RecordLine& line : dt::ReadRecord(second).lines) {
    if (line.kind != "file" || line.fields.size() < 3 || line.fields[2] != "7") continue;
    const std::string was = dt::FormatRecordLine(line.kind, line.fields);
    std::vector<std::string> fields = line.fields;
    fields[2] = "9";
    rewritten.replace(second.find(was), was.size(), dt::FormatRecordLine(line.kind, fields));
    break;
  }
  ASSERT_NE(rewritten, second);
  ASSERT_EQ(rewritten.size(), second.size());
  ASSERT_FALSE(dt::ReadRecord(rewritten).damaged);
  WriteFileBytes(target + "\\Uninstaller.dat", rewritten);
  ASSERT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\Uninstaller.dat.old"), rewritten);
  EXPECT_EQ(dt::ReadRecord(RecordBytes()).lines.front().kind, "run");

  // One changed byte inside the anchored part: not appended to.
  WriteFileBytes(target + "\\Uninstaller.dat", second);
  Anchor(second);
  std::string changed = second;
  changed[changed.size() / 2] ^= 1;
  WriteFileBytes(target + "\\Uninstaller.dat", changed);
  ASSERT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\Uninstaller.dat.old"), changed);
  EXPECT_EQ(dt::ReadRecord(RecordBytes()).lines.front().kind, "run");
  EXPECT_LT(RecordBytes().size(), second.size());
}

// While the run holds the record, an archive entry that would overwrite it meets a sharing
// violation, under any spelling, and takes the write-error path.
TEST_F(InstallRecordTest, AnEntryOntoTheRecordIsAWriteError) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\UNINSTALLER.DAT", "planted"}});
  view.answers = {setup::WriteErrorAnswer::kAbort};
  EXPECT_FALSE(Run());
  ASSERT_EQ(view.questionErrors.size(), 1u);
  EXPECT_EQ(view.questionErrors[0], static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(RecordBytes().find("planted"), std::string::npos);
  EXPECT_FALSE(dt::ReadRecord(RecordBytes()).lines.empty());
}

// A cancel during the first archive: the archive's files are recorded, nothing of the second
// archive or of the registration is, and no anchor is written.
TEST_F(InstallRecordTest, ACancelledRunLeavesAWholeRecordWithoutAnAnchor) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 1; i <= 10; ++i) files.emplace_back("%InstallDir%\\Sub\\f" + std::to_string(i), "x");
  WriteArchive("ProgramFiles.dt", files);
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, "InstallRecord");
  view.onPump = [&](int pumps) {
    if (pumps == 3) view.aborted = true;
  };
  setup::PrepareInstallFolder(state, target);
  EXPECT_FALSE(setup::RunInstall(state, view, setup::SystemRegistry()));
  ASSERT_EQ(FilesBelow(target).size(), 11u);  // the ten and the record
  const auto lines = ExpectStoppedRunRecorded("file? " + target + "\\Sub\\f10");
  EXPECT_TRUE(HasPrefix(lines, "file " + target + "\\Sub\\f10 created 1 "));
  EXPECT_TRUE(Has(lines, "folder " + target + "\\Sub"));
  EXPECT_FALSE(HasPrefix(lines, "file? " + target + "\\s.txt"));
}

// A write that fails half-way through the archive and is answered with Abort: the record names
// the files written and the one that failed, and nothing after it.
TEST_F(InstallRecordTest, ARunThatFailedHalfWayLeavesAWholeRecordWithoutAnAnchor) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"},
                                   {"%InstallDir%\\b.txt", "b"},
                                   {"%InstallDir%\\c.txt", "c"}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, "InstallRecord");
  setup::PrepareInstallFolder(state, target);
  CreateDirectoryA((target + "\\b.txt").c_str(), nullptr);  // cannot be written as a file
  view.answers = {setup::WriteErrorAnswer::kAbort};
  EXPECT_FALSE(setup::RunInstall(state, view, setup::SystemRegistry()));
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_TRUE(testing_support::Exists(target + "\\a.txt"));
  EXPECT_FALSE(testing_support::Exists(target + "\\c.txt"));
  const auto lines = ExpectStoppedRunRecorded("file? " + target + "\\b.txt");
  EXPECT_TRUE(HasPrefix(lines, "file " + target + "\\a.txt created 1 "));
  EXPECT_FALSE(HasPrefix(lines, "file " + target + "\\b.txt"));
}

// The first "file" line of a path ("file <path> created|replaced ..."), or "".
std::string FirstFileLine(const std::vector<std::string>& lines, const std::string& path) {
  for (const std::string& line : lines) {
    if (line.rfind("file " + path + " ", 0) == 0) return line.substr(0, line.find(' ', 6 + path.size()));
  }
  return "";
}

// A first run that was cancelled leaves a record without an anchor, which the next run sets
// aside. The next run names again, as created, what that record says this product created in the
// installation folder and is still as it was (and the folders it made there); a file changed
// since is treated as anybody's. A file created that way is no "kept" file of somebody else's.
TEST_F(InstallRecordTest, TheRunAfterACancelledFirstRunTakesOverWhatIsStillAsRecorded) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\Sub\\a.txt", "a"},
                                   {"%InstallDir%\\Sub\\b.txt", "b"}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, "InstallRecord");
  view.onPump = [&](int pumps) {
    if (pumps == 4) view.aborted = true;  // s.txt is written, the registration is not reached
  };
  ASSERT_FALSE(Run());
  ASSERT_TRUE(testing_support::Exists(target + "\\s.txt"));
  WriteFileBytes(target + "\\Sub\\b.txt", "changed by somebody");
  view.onPump = nullptr;
  view.aborted = false;
  ASSERT_TRUE(Run());
  ASSERT_TRUE(testing_support::Exists(target + "\\Uninstaller.dat.old"));
  const auto lines = Lines();
  EXPECT_EQ(FirstFileLine(lines, target + "\\Sub\\a.txt"), "file " + target + "\\Sub\\a.txt created");
  EXPECT_EQ(FirstFileLine(lines, target + "\\Sub\\b.txt"), "file " + target + "\\Sub\\b.txt replaced");
  EXPECT_EQ(FirstFileLine(lines, target + "\\s.txt"), "file " + target + "\\s.txt created");
  EXPECT_FALSE(Has(lines, "kept " + target + "\\s.txt"));
  EXPECT_TRUE(Has(lines, "folder " + target + "\\Sub"));
  EXPECT_EQ(ReadFileBytes(target + "\\Sub\\b.txt"), "b");
}

// A run killed after an anchored one leaves lines the anchor does not cover: temporary files of
// replacements and files announced but never confirmed. The next run removes the temporary files
// inside the installation folder (not those elsewhere: such a line may be anybody's), and
// confirms as created an announced file that holds exactly its entry's content; one that does not
// is treated as any file found there.
TEST_F(InstallRecordTest, TheRunAfterAKilledOneRemovesItsTemporaryFilesAndConfirmsWholeFiles) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, "InstallRecord");
  ASSERT_TRUE(Run());
  const std::string first = RecordBytes();
  Anchor(first);

  const std::string outside = temp / "elsewhere";
  CreateDirectoryA(outside.c_str(), nullptr);
  const std::string temporary = target + "\\a.txt.~0123abcd";
  const std::string foreignTemporary = outside + "\\o.txt.~89abcdef";
  for (const std::string& file : {temporary, foreignTemporary}) WriteFileBytes(file, "half");
  WriteFileBytes(target + "\\n.txt", "new");        // written whole, not confirmed
  WriteFileBytes(target + "\\m.txt", "somebody's");  // announced, but not the entry's content
  WriteFileBytes(target + "\\s2.txt", "s2");         // a system archive's file, written whole
  const auto line = [](std::string_view kind, std::initializer_list<std::string_view> fields) {
    return dt::FormatRecordLine(kind, fields);
  };
  WriteFileBytes(target + "\\Uninstaller.dat",
                 first +
                     line("run", {target, "2024-05-01 10:00:00", "5.02",
                                  std::to_string(first.size())}) +
                     line("file?", {target + "\\a.txt"}) + line("temp?", {temporary}) +
                     line("file?", {outside + "\\o.txt"}) + line("temp?", {foreignTemporary}) +
                     line("file?", {target + "\\n.txt"}) + line("file?", {target + "\\m.txt"}) +
                     line("file?", {target + "\\s2.txt"}));

  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"},
                                   {"%InstallDir%\\n.txt", "new"},
                                   {"%InstallDir%\\m.txt", "mine"}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}, {"%InstallDir%\\s2.txt", "s2"}});
  ASSERT_TRUE(Run());
  EXPECT_FALSE(testing_support::Exists(temporary));
  EXPECT_TRUE(testing_support::Exists(foreignTemporary));
  const auto lines = Lines();
  EXPECT_EQ(FirstFileLine(lines, target + "\\n.txt"), "file " + target + "\\n.txt created");
  EXPECT_EQ(FirstFileLine(lines, target + "\\s2.txt"), "file " + target + "\\s2.txt created");
  EXPECT_FALSE(Has(lines, "kept " + target + "\\s2.txt"));
  EXPECT_EQ(FirstFileLine(lines, target + "\\m.txt"), "file " + target + "\\m.txt replaced");
  EXPECT_EQ(ReadFileBytes(target + "\\m.txt"), "mine");
}

// Anybody who can write the installation folder can damage the record after an anchored run, so
// that the next run sets it aside. Lines planted in it are never taken over: a record set aside
// beside an anchor was changed since its run.
TEST_F(InstallRecordTest, ARecordSetAsideBesideAnAnchorIsNotTakenOver) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}});
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, "InstallRecord");
  ASSERT_TRUE(Run());
  const std::string first = RecordBytes();
  Anchor(first);
  const std::string theirs = target + "\\theirs.txt";
  WriteFileBytes(theirs, "somebody's own");
  std::string stampSize, stampTime;
  {
    const win::FileHandle file(CreateFileA(theirs.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    const auto stamp = setup::StampOf(file.get());
    ASSERT_TRUE(stamp);
    stampSize = std::to_string(stamp->size);
    stampTime = stamp->lastWrite;
  }
  WriteFileBytes(target + "\\Uninstaller.dat",
                 first +
                     dt::FormatRecordLine("run", {target, "2024-05-01 10:00:00", "5.02",
                                                  std::to_string(first.size())}) +
                     dt::FormatRecordLine("file?", {theirs}) +
                     dt::FormatRecordLine("file", {theirs, "created", stampSize, stampTime}) +
                     "00000000 damaged\r\n" + dt::FormatRecordLine("run", {target}));
  ASSERT_TRUE(Run());
  EXPECT_TRUE(testing_support::Exists(target + "\\Uninstaller.dat.old"));
  const auto lines = Lines();
  EXPECT_EQ(FirstFileLine(lines, theirs), "");
  EXPECT_EQ(FirstFileLine(lines, target + "\\a.txt"), "file " + target + "\\a.txt replaced");
}

}  // namespace
