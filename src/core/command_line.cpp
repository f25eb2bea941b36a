#include "core/command_line.h"

#include "core/path_places.h"

namespace dt {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

// The ASCII characters of a text as they are, every other one as '_': what the rules of a full
// path look at (drive letters, separators, dots, blanks, colons) is all ASCII, and '_' is none of
// them ("ж:\" is no drive).
std::string AsciiSkeleton(std::wstring_view text) {
  std::string skeleton;
  skeleton.reserve(text.size());
  for (const wchar_t c : text) skeleton += c < 0x80 ? static_cast<char>(c) : '_';
  return skeleton;
}

wchar_t AsciiUpper(wchar_t c) {
  return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view commandLine) {
  std::vector<std::wstring> arguments;
  std::wstring current;
  bool inArgument = false, quoted = false;
  for (const wchar_t c : commandLine) {
    if (c == L'"') {
      quoted = !quoted;
      inArgument = true;
    } else if (IsBlank(c) && !quoted) {
      if (inArgument) arguments.push_back(std::move(current));
      current.clear();
      inArgument = false;
    } else {
      current.push_back(c);
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(std::move(current));
  return arguments;
}

CommandLine ParseArguments(const std::vector<std::wstring>& arguments,
                           const ProgramSwitches& switches) {
  CommandLine result;
  if (switches.helperSwitch && !arguments.empty() && arguments.front() == switches.helperSwitch) {
    result.helper.emplace(arguments.begin() + 1, arguments.end());
    return result;
  }
  bool silent = false, verySilent = false;
  auto bad = [&result](const std::wstring& argument) {
    if (result.badArgument.empty()) result.badArgument = argument.empty() ? L"\"\"" : argument;
  };
  for (const std::wstring& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
      bad(argument);
      continue;
    }
    const std::wstring_view body = std::wstring_view(argument).substr(1);
    const std::size_t equals = body.find(L'=');
    const std::wstring_view name = body.substr(0, equals);
    const bool hasValue = equals != std::wstring_view::npos;
    const std::wstring value = hasValue ? std::wstring(body.substr(equals + 1)) : std::wstring();

    const bool installerSwitch = SameName(name, L"DIR") || SameName(name, L"SP-");
    if (installerSwitch && !switches.installFolder) {
      bad(argument);
    } else if (SameName(name, L"DIR")) {
      if (value.empty() || !dt::IsFullInstallFolder(AsciiSkeleton(value))) {
        bad(argument);
      } else {
        result.dir = value;
      }
    } else if (SameName(name, L"LOG")) {
      if (hasValue && (value.empty() || !IsAbsolutePath(value))) {
        bad(argument);
      } else {
        result.log = true;
        result.logFile = hasValue ? std::optional<std::wstring>(value) : std::nullopt;
      }
    } else if (SameName(name, L"SILENT")) {
      silent = true;  // even with a wrong value: the problem is then logged, never shown
      if (hasValue) bad(argument);
    } else if (SameName(name, L"VERYSILENT") || SameName(name, L"S")) {
      verySilent = true;
      if (hasValue) bad(argument);
    } else if (hasValue) {
      bad(argument);  // no other switch takes a value
    } else if (SameName(name, L"?") || SameName(name, L"HELP")) {
      result.help = true;
    } else if (SameName(name, L"NORESTART") || SameName(name, L"SUPPRESSMSGBOXES") ||
               SameName(name, L"SP-")) {
      // Accepted without effect: deployment tools pass them by habit.
    } else {
      bad(argument);
    }
  }
  result.mode = verySilent ? RunMode::kVerySilent : silent ? RunMode::kSilent : RunMode::kWizard;
  return result;
}

CommandLine ParseCommandLine(std::wstring_view commandLine, const ProgramSwitches& switches) {
  std::vector<std::wstring> arguments = SplitArguments(commandLine);
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's name
  return ParseArguments(arguments, switches);
}

bool IsAbsolutePath(std::wstring_view path) {
  const bool drive = path.size() >= 3 && AsciiUpper(path[0]) >= L'A' &&
                     AsciiUpper(path[0]) <= L'Z' && path[1] == L':' && path[2] == L'\\';
  // A share (\\server\share\...), but not the device and raw-path forms (\\.\ and \\?\),
  // which would let a log name a disk or a pipe.
  const bool share =
      path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'.' && path[2] != L'?';
  return drive || share;
}

}  // namespace dt
