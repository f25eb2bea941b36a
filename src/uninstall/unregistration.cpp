#include "uninstall/unregistration.h"

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <optional>

#include "base/started_programs.h"
#include "core/install_record.h"
#include "core/product.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string HexResult(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

// An anchored installer line says that the installer wrote this file (created or replaced it).
bool WrittenByTheInstaller(const dt::RemovalPlan& plan, const std::string& ansiPath) {
  const std::string key = dt::PathKey(win::AnsiToUtf8(ansiPath));
  for (const dt::PlannedFile& file : plan.files) {
    if (dt::PathKey(file.path) == key) {
      return file.anchored && !file.announcedOnly && !file.temporary;
    }
  }
  return false;
}

// Holds the file when its SHA-256 is the one the anchored record gives; null (and logged why)
// otherwise.
win::FileHandle HoldRecorded(const dt::RemovalPlan& plan, const std::string& path,
                             base::ProgramLog& log) {
  if (!WrittenByTheInstaller(plan, path)) {
    log.WriteAnsi("not unregistered: the record does not say that the installer wrote " +
                  Quoted(path));
    return {};
  }
  const auto recorded = plan.sha256.find(dt::PathKey(win::AnsiToUtf8(path)));
  if (recorded == plan.sha256.end() || !recorded->second.anchored) {
    log.WriteAnsi("not unregistered: the record holds no SHA-256 of " + Quoted(path));
    return {};
  }
  win::FileHandle file = win::HoldPlainFile(path);
  if (!file) {
    log.WriteAnsi("not unregistered: " + Quoted(path) + " cannot be opened (system error " +
                  std::to_string(GetLastError()) + ")");
    return {};
  }
  const auto digest = win::Sha256OfWholeFile(file.get());
  if (!digest || dt::Sha256Hex(*digest) != recorded->second.hex) {
    log.WriteAnsi("not unregistered: " + Quoted(path) + " is not the file the installer wrote");
    return {};
  }
  return file;
}

void UnregisterLibrary(const std::string& folder, const dt::RemovalPlan& plan, RemovalView& view,
                       base::ProgramLog& log) {
  const std::string tool = folder + "\\" + product::kRegisterTool;
  const std::string library = folder + "\\" + product::kLibrary;
  const win::FileHandle heldTool = HoldRecorded(plan, tool, log);
  if (!heldTool) return;
  const win::FileHandle heldLibrary = HoldRecorded(plan, library, log);
  if (!heldLibrary) return;

  const std::string commandLine = Quoted(tool) + " /u /s " + Quoted(library);
  const win::KernelHandle process =
      base::StartProgram(tool, "/u /s " + Quoted(library), /*minimised=*/true);
  if (!process) {
    log.WriteAnsi("unregistering tool not started (system error " +
                  std::to_string(GetLastError()) + "): " + commandLine);
    return;
  }
  if (!base::WaitPumping({process.get()}, std::chrono::milliseconds(kUnregisterTimeoutMs),
                         [&view] { view.Pump(); })) {
    log.WriteAnsi("unregistering tool did not end within " +
                  std::to_string(kUnregisterTimeoutMs / 1000) + " s: " + commandLine);
    return;
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.get(), &exitCode);
  log.WriteAnsi("unregistering tool ended with exit code " + std::to_string(exitCode) + ": " +
                commandLine);
}

// The type library through the system's functions: loaded without being registered, then its
// registration (found by its identity) removed. Only the file the installer wrote and hashed,
// and only a type library file ("MSFT" or "SLTG" at its start): never a module, whose code could
// run.
void UnregisterTypeLibrary(const std::string& folder, const dt::RemovalPlan& plan,
                           base::ProgramLog& log) {
  // Checked like the tool and the library: a planted type library could name another library's
  // identity, whose registration would go.
  const std::string path = folder + "\\" + product::kTypeLibrary;
  const win::FileHandle held = HoldRecorded(plan, path, log);
  if (!held) return;
  char magic[4] = {};
  DWORD read = 0;
  if (!ReadFile(held.get(), magic, sizeof magic, &read, nullptr) || read != sizeof magic ||
      (std::string_view(magic, 4) != "MSFT" && std::string_view(magic, 4) != "SLTG")) {
    log.WriteAnsi("type library not unregistered: " + Quoted(path) +
                  " is not a type library file");
    return;
  }
  ITypeLib* opened = nullptr;
  HRESULT result = LoadTypeLibEx(win::AnsiToWide(path).c_str(), REGKIND_NONE, &opened);
  const win::ComPointer<ITypeLib> library(SUCCEEDED(result) ? opened : nullptr);
  if (!library) {
    log.WriteAnsi("type library not unregistered: " + Quoted(path) + " cannot be loaded (" +
                  HexResult(result) + ")");
    return;
  }
  TLIBATTR* attributes = nullptr;
  result = library.get()->GetLibAttr(&attributes);
  if (FAILED(result) || !attributes) {
    log.WriteAnsi("type library not unregistered: " + Quoted(path) + " has no attributes (" +
                  HexResult(result) + ")");
    return;
  }
  result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                             attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
  library.get()->ReleaseTLibAttr(attributes);
  log.WriteAnsi("type library " + Quoted(path) +
                (SUCCEEDED(result) ? std::string(" unregistered")
                                   : " not unregistered (" + HexResult(result) + ")"));
}

}  // namespace

void UnregisterLibraries(const std::string& folder, const dt::RemovalPlan& plan, RemovalView& view,
                         base::ProgramLog& log) {
  UnregisterLibrary(folder, plan, view, log);
  UnregisterTypeLibrary(folder, plan, log);
}

}  // namespace uninstall
