// dtpack: makes, lists, checks and unpacks the installer's package archives, seals Setup.exe
// with them and bundles them into one-file installers.
// Exit status: 0 success, 1 a problem with an archive or its inputs, 2 a usage error.
#include <CLI/CLI.hpp>

#include <iostream>

#include "bundle.h"
#include "console.h"
#include "core/install_record.h"
#include "examine.h"
#include "pack.h"
#include "seal.h"

namespace {

int RunPack(const std::string& out, const std::vector<std::string>& mappings) {
  std::vector<dtpack::Mapping> parsed;
  for (const auto& m : mappings) parsed.push_back(dtpack::ParseMapping(m));
  const auto inputs = dtpack::CollectInputs(parsed);

  const bool terminal = dtpack::IsTerminal(stderr);
  int shownPercent = -1;
  const auto progress = [&](std::uint64_t done, std::uint64_t total) {
    const int percent = static_cast<int>(done * 100 / total);
    if (terminal && total >= (16u << 20) && percent != shownPercent) {
      shownPercent = percent;
      std::cerr << "\rpacking: " << percent << '%' << std::flush;
    }
  };
  const auto report = dtpack::Pack(inputs, std::filesystem::u8path(out), progress);
  if (shownPercent >= 0) std::cerr << '\n';
  for (const auto& w : report.warnings) std::cerr << "dtpack: warning: " << w << '\n';
  std::cout << out << ": " << report.entries << " entries, " << report.payloads << " payloads, "
            << report.bytes << " bytes\n";
  return 0;
}

int RunBundle(const dtpack::BundleInputs& inputs) {
  const auto report = dtpack::Bundle(inputs);
  for (const auto& w : report.warnings) std::cerr << "dtpack: warning: " << w << '\n';
  std::cout << dtpack::ShowPath(inputs.out) << ": " << report.bytes << " bytes";
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (!report.windows[i]) continue;
    std::cout << ", " << dt::kBundledNames[i] << " at " << report.windows[i]->offset << " ("
              << report.windows[i]->length << " bytes)";
  }
  std::cout << (report.seal ? ", sealed\n" : "\n");
  return 0;
}

int RunSeal(const dtpack::SealInputs& inputs) {
  const auto report = dtpack::SealSetup(inputs);
  for (const auto& w : report.warnings) std::cerr << "dtpack: warning: " << w << '\n';
  std::cout << dtpack::ShowPath(inputs.out) << ": " << report.bytes << " bytes, sealed with";
  const char* separator = " ";
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    const auto& archive = report.seal.archives[i];
    if (!archive) continue;
    std::cout << separator << dt::kBundledNames[i] << " (" << archive->size << " bytes, SHA-256 "
              << dt::Sha256Hex(archive->sha256) << ")";
    separator = ", ";
  }
  std::cout << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "dtpack: makes, lists, checks and unpacks the installer's package archives (*.dt), seals "
      "Setup.exe with them and bundles them into one-file installers"};
  app.require_subcommand(1);

  std::string archive, dir;
  std::vector<std::string> mappings;
  auto* pack = app.add_subcommand("pack", "Pack folders and files into an archive");
  pack->add_option("archive", archive, "The archive to write")->required();
  pack->add_option("mappings", mappings,
                   "STORED=LOCAL: a local folder packed recursively below the stored folder "
                   "(\"%InstallDir%=product\"), or a local file under the stored path "
                   "(\"%System32%\\KORVU50.DLL=build/KORVU50.DLL\")")
      ->required();
  auto* list = app.add_subcommand("list", "One line per entry: payload size, offset, stored path");
  list->add_option("archive", archive)->required();
  std::string sealedSetup;
  std::vector<std::string> verifyArchives;
  auto* verify = app.add_subcommand("verify", "Check every rule; one line per problem");
  verify->add_option("archive", verifyArchives,
                     "The archive or one-file installer to check; with --setup, archives to "
                     "check against its seal, each taken by its file name (ProgramFiles.dt, "
                     "SystemFiles.dt), the ones beside it when none is given");
  verify->add_option("--setup", sealedSetup,
                     "A sealed Setup.exe: check archives against its seal instead");
  auto* unpack =
      app.add_subcommand("unpack", "Unpack into DIR, each macro as a folder of its name");
  unpack->add_option("archive", archive)->required();
  unpack->add_option("dir", dir)->required();

  std::string setupExe, programFiles, systemFiles, bundleOut;
  auto* bundle = app.add_subcommand(
      "bundle",
      "A one-file installer: Setup.exe with the archives appended behind its image, sealed with "
      "them");
  bundle->add_option("--setup", setupExe, "The unsigned, unsealed Setup.exe")->required();
  bundle->add_option("--program-files", programFiles, "ProgramFiles.dt (missing when not given)");
  bundle->add_option("--system-files", systemFiles, "SystemFiles.dt (missing when not given)");
  bundle->add_option("-o,--output", bundleOut, "The one-file installer to write")->required();

  auto* seal = app.add_subcommand(
      "seal",
      "A copy of Setup.exe sealed with its archives' sizes and SHA-256: it uses no other archives");
  seal->add_option("--setup", setupExe, "The unsigned, unsealed Setup.exe")->required();
  seal->add_option("--program-files", programFiles,
                   "ProgramFiles.dt (not part of the distribution when not given)");
  seal->add_option("--system-files", systemFiles,
                   "SystemFiles.dt (not part of the distribution when not given)");
  seal->add_option("-o,--output", bundleOut, "The sealed Setup.exe to write")->required();
  for (auto* command : {list, verify, unpack}) {
    command->description(command->get_description() +
                         "; of an archive, or of each archive in a one-file installer");
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  if (*verify && sealedSetup.empty() && verifyArchives.size() != 1) {
    std::cerr << "verify: give one archive, or --setup SEALED.exe [ARCHIVE...]\n"
              << "Run with --help for more information.\n";
    return 2;
  }

  try {
    if (*bundle || *seal) {
      const auto out = std::filesystem::u8path(bundleOut);
      std::array<std::optional<std::filesystem::path>, dt::kBundledArchives> archives;
      if (!programFiles.empty()) archives[0] = std::filesystem::u8path(programFiles);
      if (!systemFiles.empty()) archives[1] = std::filesystem::u8path(systemFiles);
      const auto setup = std::filesystem::u8path(setupExe);
      if (*seal) return RunSeal({setup, archives, out});
      return RunBundle({setup, archives, out});
    }
    if (*verify) {
      if (sealedSetup.empty()) {
        return dtpack::Verify(std::filesystem::u8path(verifyArchives[0]), std::cout);
      }
      std::vector<std::filesystem::path> paths;
      for (const auto& a : verifyArchives) paths.push_back(std::filesystem::u8path(a));
      return dtpack::VerifySealed(std::filesystem::u8path(sealedSetup), paths, std::cout);
    }
    const auto path = std::filesystem::u8path(archive);
    if (*pack) return RunPack(archive, mappings);
    if (*list) return dtpack::List(path, std::cout, std::cerr);
    return dtpack::Unpack(path, std::filesystem::u8path(dir), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "dtpack: " << e.what() << '\n';
    return 1;
  }
}
