// The product's fixed texts, in one place: the installer, the uninstall entry, the wizard, the
// packaging tool and the uninstaller all take them from here, and so do both programs' version
// resources and manifests. ASCII only, so that each holds as it is in every code page; the
// Russian texts that name the product are built from them.
#pragma once

// The facts every other product text is made of. Only this header uses them in C++. CMake reads
// the name, the version and the packager from these lines for the resource scripts and manifests
// (cmake/product.cmake, which also makes the version in four numbers, "5.2.0.0"): each stays
// one #define of one string literal.
#define KORVU_PRODUCT_NAME "Korvu"
#define KORVU_PRODUCT_VERSION "5.02"
#define KORVU_PUBLISHER "Fendaro"
#define KORVU_PACKAGER "Ostelan"

// Made of them, for the constants below.
#define KORVU_PROGRAM_TITLE KORVU_PRODUCT_NAME " v" KORVU_PRODUCT_VERSION " build " KORVU_PACKAGER
#define KORVU_UNINSTALL_KEY \
  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" KORVU_PROGRAM_TITLE
#define KORVU_UNINSTALLER "Uninstaller.exe"

namespace product {

// "5.02": the uninstall entry's DisplayVersion and the settings key's VersionCode.
inline constexpr char kVersion[] = KORVU_PRODUCT_VERSION;
inline constexpr wchar_t kVersionW[] = L"" KORVU_PRODUCT_VERSION;
// The name of the product and the company that makes it (the entry's Publisher).
inline constexpr char kName[] = KORVU_PRODUCT_NAME;
inline constexpr char kPublisher[] = KORVU_PUBLISHER;
// The company that built this package.
inline constexpr char kPackager[] = KORVU_PACKAGER;

// ProgramTitle: the uninstall key's name, its DisplayName and the INI's ProgName.
inline constexpr char kProgramTitle[] = KORVU_PROGRAM_TITLE;
// The version line of the wizard's header.
inline constexpr char kVersionLabel[] = "v " KORVU_PRODUCT_VERSION " patch 120909";

// The path field's default, and the folder of unattended runs without /DIR.
inline constexpr char kDefaultInstallFolder[] =
    "C:\\Program Files\\" KORVU_PACKAGER "\\" KORVU_PRODUCT_NAME;

// Registry keys under HKEY_LOCAL_MACHINE. The uninstall entry, named ProgramTitle, as the record,
// the log and the uninstaller name it.
inline constexpr char kUninstallKey[] = KORVU_UNINSTALL_KEY;
// The same key as the installer's registration hands it to its registry seam
// (ProductRegistry::CreateKey): from the root, with a leading backslash, as that seam has always
// been given it. Only the seam sees the backslash: win::OpenKey drops it, and the record and the
// log name the key as above.
inline constexpr char kUninstallKeyFromRoot[] = "\\" KORVU_UNINSTALL_KEY;
// The product's settings.
inline constexpr char kSettingsKey[] = "SOFTWARE\\" KORVU_PUBLISHER "\\" KORVU_PRODUCT_NAME "\\5.0";

// Files in the installation folder: the registration tools and what they register, and the
// uninstaller with its INI file.
inline constexpr char kRegisterTool[] = "REGSVR32.EXE";
inline constexpr char kLibrary[] = "KORVU50.DLL";
inline constexpr char kTypeLibraryTool[] = "RegTypLib.exe";
inline constexpr char kTypeLibrary[] = "kdatasetint.tlb";
// The files the installation's registration starts or hands to a tool.
inline constexpr const char* kRegistrationFiles[] = {kRegisterTool, kLibrary, kTypeLibraryTool,
                                                     kTypeLibrary};
inline constexpr char kUninstaller[] = KORVU_UNINSTALLER;
inline constexpr wchar_t kUninstallerW[] = L"" KORVU_UNINSTALLER;
inline constexpr char kUninstallerIni[] = "Uninstaller.ini";
// Uninstaller.ini's one section and its two keys: the product's title (ProgramTitle) and the
// installation folder.
inline constexpr char kIniSection[] = "program";
inline constexpr char kIniTitleKey[] = "ProgName";
inline constexpr char kIniFolderKey[] = "InstallDir";

// The guard that lets one installation of the product run at a time on the machine.
inline constexpr wchar_t kInstanceMutexName[] =
    L"Global\\" KORVU_PACKAGER " " KORVU_PRODUCT_NAME " " KORVU_PRODUCT_VERSION " Setup";

}  // namespace product

#undef KORVU_PRODUCT_NAME
#undef KORVU_PRODUCT_VERSION
#undef KORVU_PUBLISHER
#undef KORVU_PACKAGER
#undef KORVU_PROGRAM_TITLE
#undef KORVU_UNINSTALL_KEY
#undef KORVU_UNINSTALLER
