// Names and places of paths: which spellings are one name, and which known folder holds a path.
#include "core/path_places.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using dt::Place;

TEST(PathPlaces, FoldCaseLowersAsciiAndCyrillicLettersOnly) {
  EXPECT_EQ(dt::FoldCase("AZaz@[`{09"), "azaz@[`{09");
  // The ends of each range Windows folds: U+0400..040F, U+0410..041F, U+0420..042F, U+0490.
  EXPECT_EQ(dt::FoldCase("ЀЏАПРЯҐ"), "ѐџапряґ");
  EXPECT_EQ(dt::FoldCase("ѐџапряґ"), "ѐџапряґ");
  EXPECT_EQ(dt::FoldCase("ÄΩ"), "ÄΩ");
  // A lead byte without its continuation stays, and the byte after it is read on its own.
  EXPECT_EQ(dt::FoldCase("\xD0"), "\xD0");
  EXPECT_EQ(dt::FoldCase("\xD0" "A"), "\xD0" "a");
}

TEST(PathPlaces, PathKeyJoinsTheSpellingsOfOnePath) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:/Korvu//Maps\\", "c:\\korvu\\maps"},
      {"C:\\", "c:"},
      {"\\Korvu\\", "\\korvu"},
      {"\\", "\\"},
      {"//srv/share/", "\\\\srv\\share"},
      {"\\\\\\srv\\\\share", "\\\\srv\\share"},
      {"\\\\", "\\\\"},
      {"C:\\a\\.\\..\\B", "c:\\a\\.\\..\\b"},  // nothing resolved
      {"C:\\Программы\\КОРВУ", "c:\\программы\\корву"},
      {"", ""},
  };
  for (const auto& [path, key] : cases) EXPECT_EQ(dt::PathKey(path), key) << path;
}

// What the installer may install into is what the uninstaller can place again.
TEST(PathPlaces, AFullInstallFolderIsOneThatClassifyPlaces) {
  for (const char* folder : {"C:\\", "C:\\Korvu", "c:/Korvu/", "C:\\Program Files\\\\Korvu\\",
                             "\\\\srv\\share", "\\\\srv\\share\\Korvu",
                             "C:\\\xd0\x9a\xd0\xbe\xd1\x80\xd0\xb2\xd1\x83 5.0"}) {
    EXPECT_TRUE(dt::IsFullInstallFolder(folder)) << folder;
    EXPECT_EQ(dt::Classify(std::string(folder) + "\\a.dll", {folder, "", "", ""}),
              dt::Place::kInstallFolder)
        << folder;
  }
  for (const char* folder : {"", "C:", "C:Korvu", "\\Korvu", "Korvu", "C:\\a\\..\\b", "C:\\a\\.",
                             "C:\\a.", "C:\\a \\b", "C:\\a:b", "\\\\?\\C:\\a", "\\\\.\\C:\\a",
                             "\\\\srv"}) {
    EXPECT_FALSE(dt::IsFullInstallFolder(folder)) << folder;
  }
}

TEST(PathPlaces, ClassifyComparesWholeComponentsWithoutCase) {
  const dt::KnownFolders known{"C:\\Korvu\\", "C:\\Windows", "c:\\windows\\SYSTEM32",
                               "C:\\Windows\\Fonts"};
  const std::pair<const char*, Place> cases[] = {
      {"C:\\Korvu\\a.dll", Place::kInstallFolder},
      {"c:\\KORVU\\Maps\\\\GeoDict.DCT", Place::kInstallFolder},
      {"C:/Korvu/Maps/x", Place::kInstallFolder},
      {"C:\\Korvu\\", Place::kInstallFolder},
      {"C:\\Korvu2\\a.dll", Place::kOutside},
      {"C:\\Korv", Place::kOutside},
      {"C:\\Windows\\System32\\korvu50.hlp", Place::kSystem},
      {"C:\\Windows\\System32x\\a", Place::kWindows},
      {"C:\\Windows\\Fonts\\korvu.ttf", Place::kFonts},
      {"C:\\WINDOWS", Place::kWindows},
      {"C:\\Korvu\\..\\Windows\\a.dll", Place::kOutside},
      {"C:\\Korvu\\.\\a.dll", Place::kOutside},
      {"C:\\Korvu\\a.dll.", Place::kOutside},
      {"C:\\Korvu \\a.dll", Place::kOutside},
      {"C:\\Korvu\\a.dll:stream", Place::kOutside},
      {"\\\\?\\C:\\Korvu\\a.dll", Place::kOutside},
      {"C:Korvu\\a.dll", Place::kOutside},
      {"Korvu\\a.dll", Place::kOutside},
      {"", Place::kOutside},
  };
  for (const auto& [path, place] : cases) EXPECT_EQ(dt::Classify(path, known), place) << path;

  const dt::KnownFolders unc{"\\\\srv\\share\\Korvu", "", "", ""};
  EXPECT_EQ(dt::Classify("\\\\SRV\\share\\korvu\\a.dll", unc), Place::kInstallFolder);
  EXPECT_EQ(dt::Classify("\\\\srv\\share\\Korvu2\\a.dll", unc), Place::kOutside);
  EXPECT_EQ(dt::Classify("\\\\\\srv\\\\share\\Korvu\\a", unc), Place::kInstallFolder);
  EXPECT_EQ(dt::Classify("\\\\.\\srv\\share\\Korvu\\a", {"\\\\.\\srv\\share", "", "", ""}),
            Place::kOutside);

  // Cyrillic names compare without case, as Windows compares them.
  const dt::KnownFolders russian{"C:\\Программы\\Корву", "", "", ""};
  EXPECT_EQ(dt::Classify("c:\\ПРОГРАММЫ\\корву\\Справка.txt", russian), Place::kInstallFolder);
  EXPECT_EQ(dt::Classify("c:\\программы\\корвуё\\a", russian), Place::kOutside);
}

}  // namespace
