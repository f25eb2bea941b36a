// The product's fixed texts, in one place: the installer, the uninstall entry, the wizard, the
// packaging tool and the uninstaller all take them from here. ASCII only, so that each holds as
// it is in every code page; the Russian texts that name the product are built from them.
#pragma once

// The two facts every other version text is made of. Only this header uses them.
#define KORVU_PRODUCT_VERSION "5.02"
#define KORVU_PACKAGER "Ostelan"

namespace product {

// "5.02": the uninstall entry's DisplayVersion and the settings key's VersionCode.
inline constexpr char kVersion[] = KORVU_PRODUCT_VERSION;
inline constexpr wchar_t kVersionW[] = L"" KORVU_PRODUCT_VERSION;
// The name of the product and the company that makes it (the entry's Publisher).
inline constexpr char kName[] = "Korvu";
inline constexpr char kPublisher[] = "Fendaro";
// The company that built this package.
inline constexpr char kPackager[] = KORVU_PACKAGER;

// ProgramTitle: the uninstall key's name, its DisplayName and the INI's ProgName.
inline constexpr char kProgramTitle[] = "Korvu v" KORVU_PRODUCT_VERSION " build " KORVU_PACKAGER;
// The version line of the wizard's header.
inline constexpr char kVersionLabel[] = "v " KORVU_PRODUCT_VERSION " patch 120909";

// The path field's default, and the folder of unattended runs without /DIR.
inline constexpr char kDefaultInstallFolder[] = "C:\\Program Files\\" KORVU_PACKAGER "\\Korvu";

// Registry keys under HKEY_LOCAL_MACHINE: the uninstall entry's parent (the entry is named
// ProgramTitle) and the product's settings.
inline constexpr char kUninstallKeyParent[] =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr char kSettingsKey[] = "SOFTWARE\\Fendaro\\Korvu\\5.0";

// Files in the installation folder: the registration tools and what they register, and the
// uninstaller with its INI file.
inline constexpr char kRegisterTool[] = "REGSVR32.EXE";
inline constexpr char kLibrary[] = "KORVU50.DLL";
inline constexpr char kTypeLibraryTool[] = "RegTypLib.exe";
inline constexpr char kTypeLibrary[] = "kdatasetint.tlb";
inline constexpr char kUninstaller[] = "Uninstaller.exe";
inline constexpr char kUninstallerIni[] = "Uninstaller.ini";

// The guard that lets one installation of the product run at a time on the machine.
inline constexpr wchar_t kInstanceMutexName[] =
    L"Global\\" KORVU_PACKAGER " Korvu " KORVU_PRODUCT_VERSION " Setup";

}  // namespace product

#undef KORVU_PRODUCT_VERSION
#undef KORVU_PACKAGER
