// A valid archive cut at every byte position: the extraction never crashes, hangs or writes part
// of a file, and every cut ends cleanly or with one of the extraction's own error texts.
#include <gtest/gtest.h>

#include "core/archive_format.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "setup/run/extraction.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFileBytes;

using CutArchiveTest = testing_support::InstallFixture;

TEST_F(CutArchiveTest, EveryBytePosition) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"%InstallDir%\\a.txt", "alpha"},
      {"%InstallDir%\\sub\\b.bin", std::string(300, 'b')},
      {"%InstallDir%\\c.txt", "alpha"},  // shares a.txt's payload
      {"%InstallDir%\\d.txt", "delta delta"}};
  const std::string whole = dt::BuildArchive(files);
  // Where each directory entry ends: an entry is in a cut directory when the cut keeps it whole.
  std::vector<std::size_t> entryEnd;
  std::size_t at = 4;
  for (const auto& [name, content] : files) entryEnd.push_back(at += 4 + name.size() + 1 + 4);

  const std::string archive = source + "\\cut.dt";
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    testing_support::WriteFileBytes(archive, whole.substr(0, cut));
    state.InstallFolder = temp / ("cut" + std::to_string(cut));
    setup::TMessages messages;
    testing_support::FakeView view;
    setup::UnpackArchive(archive, state, messages, true, view);

    const std::wstring& error = messages.Error;
    const std::wstring quoted = L"\"" + win::AnsiToWide(archive) + L"\"";
    if (cut >= 1 && cut <= 3) {
      EXPECT_EQ(error, L"Ошибка в формате архива: " + quoted + L".");
    } else if (!error.empty()) {
      EXPECT_EQ(error.rfind(L"Ошибка чтения архива: " + quoted + L", \"", 0), 0u) << error;
    }
    EXPECT_TRUE(view.questions.empty());
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::string path = state.InstallFolder + "\\" + files[i].first.substr(13);
      if (cut < entryEnd[i]) {
        EXPECT_FALSE(Exists(path)) << files[i].first;  // cut out of the directory: absent
      } else if (Exists(path)) {
        EXPECT_EQ(ReadFileBytes(path), files[i].second) << files[i].first;  // never partial
      } else {
        EXPECT_FALSE(error.empty()) << files[i].first << " missing without an error";
      }
    }
    testing_support::TempFolder::RemoveTree(state.InstallFolder);
  }
}

}  // namespace
