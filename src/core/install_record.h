// The installation record "Uninstaller.dat": what each run of the installer changed, so that an
// uninstaller can later undo exactly that. This comment is the format's one definition.
//
// The file is UTF-8 text, a sequence of lines, each ending with CR LF:
//
//     line  = check " " body CR LF
//     check = 8 lower-case hex digits: the CRC-32 (IEEE/zip, polynomial 0xEDB88320) of body
//     body  = kind *(TAB field)
//     kind  = 1..32 characters of [a-z0-9?-]
//
// Inside a field, every byte below 0x20, the byte 0x7F and '%' are written as '%' followed by
// two upper-case hex digits ("%09" a TAB, "%25" a percent sign); every other byte, the
// backslashes of a path and UTF-8 sequences among them, stands as it is. A line of a kind
// alone has no fields; "kind" TAB has one empty field. The encoding is canonical: a reader takes
// only what the writer would write, so re-writing the lines read gives back the same bytes.
//
// The set of kinds is open: a reader accepts any kind word and leaves its meaning to the caller.
// A kind ending in '?' announces a change about to happen; the same kind without it says that
// the change happened. The installer writes the kinds below (fields in order), the uninstaller
// the progress kinds at their end; the removal plan accepts no other kind, and holds each to its
// fields (install_record_validation.h).
//
// The record grows by whole lines appended during a run. A failing line at the very end (a cut
// write) is a torn tail; a failing line with anything after it is damage. The uninstall
// registry key holds the anchor "InstallRecord": the accepted record's length in bytes and its
// SHA-256, which tell a record that was cut or changed afterwards from the one the run left.
//
// An anchor vouches only for what its run wrote and what it found anchored. A run that appends
// to an anchored record names, in its "run" line, the length the anchor covered when it began;
// the lines between that length and its "run" line (the earlier run's tools and INI values, an
// uninstallation's progress, a run that did not end, or anything someone who can write the
// folder added) lie in that run's gap, and no later anchor covers them. A run that starts a new
// record writes 0 there; records of earlier versions have no such field, and no gaps.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dt {

inline constexpr std::string_view kRecordFileName = "Uninstaller.dat";
// The record of an earlier installation, kept while a new run writes its own.
inline constexpr std::string_view kRecordOldFileName = "Uninstaller.dat.old";

// A run begins: installation folder, local time, program version, and the anchored length it
// appended after: the uninstall entry's anchored length in decimal when the run appended to an
// anchored record, "0" when it started a new one. Runs of earlier versions wrote the first three.
inline constexpr std::string_view kRecordRun = "run";
// A level of the installation folder path, "1" when it was a link or junction, else "0".
inline constexpr std::string_view kRecordLink = "link";
// A folder the installer made for the installation folder: path, and "step" or "browser" (what
// made it).
inline constexpr std::string_view kRecordMadeFolder = "made-folder";
// A folder level about to be / was created: path.
inline constexpr std::string_view kRecordFolderPending = "folder?";
inline constexpr std::string_view kRecordFolder = "folder";
// A file about to be / was written: path; afterwards also "created" or "replaced", the size in
// decimal and the last-write time as 16 hex digits of the FILETIME.
inline constexpr std::string_view kRecordFilePending = "file?";
inline constexpr std::string_view kRecordFile = "file";
// An existing file kept: path.
inline constexpr std::string_view kRecordKept = "kept";
// A registry key about to be / was created: view "32" or "64", key path under HKLM.
inline constexpr std::string_view kRecordKeyPending = "key?";
inline constexpr std::string_view kRecordKey = "key";
// A registry value about to be / was written: view, key path, value name; afterwards also
// "created" or "replaced".
inline constexpr std::string_view kRecordValuePending = "value?";
inline constexpr std::string_view kRecordValue = "value";
// An INI value about to be / was written: path, section, key; afterwards also "created" or
// "replaced", and "1" when the INI file was created, else "0".
inline constexpr std::string_view kRecordIniPending = "ini?";
inline constexpr std::string_view kRecordIni = "ini";
// A shared-DLL count about to be / was raised: path; afterwards also the count before it:
// "none", "dword:N", "sz:N", "binary:N", or "other" (a value that held no usable count).
inline constexpr std::string_view kRecordSharedPending = "shared?";
inline constexpr std::string_view kRecordShared = "shared";
// A tool about to be / was started: command line.
inline constexpr std::string_view kRecordToolPending = "tool?";
inline constexpr std::string_view kRecordTool = "tool";
// The SHA-256 of a file: path, 64 lower-case hex digits.
inline constexpr std::string_view kRecordSha256 = "sha256";
// A temporary file about to be created beside a file that is being replaced (after that file's
// "file?"): its path, the target's path followed by ".~" and 8 lower-case hex digits. It has no
// confirmation: it either takes the target's place or is deleted, unless the run is killed.
inline constexpr std::string_view kRecordTempPending = "temp?";
// The target of such a temporary file's path (the path without ".~" and its 8 lower-case hex
// digits); nothing for a path of another form.
std::optional<std::string_view> TemporaryTarget(std::string_view path);

// The uninstaller's own progress lines, appended to the record as it works, so that a second
// uninstallation finishes what a first one began. "what" is "file", "folder", "key", "value" or
// "ini", followed by the fields that name the item in its own line: a file's or folder's path; a
// key's view and path; a value's view, key path and name; an INI value's path, section and key.
// An item removed: what, its fields.
inline constexpr std::string_view kRecordRemoved = "removed";
// An item left in place on purpose: what, its fields, the reason.
inline constexpr std::string_view kRecordKeptByRule = "kept-by-rule";
// A shared file's count lowered by the uses the record counted for it: path.
inline constexpr std::string_view kRecordCountLowered = "count-lowered";

// The CRC-32 of the IEEE/zip polynomial (reflected 0xEDB88320, initial and final XOR all ones).
std::uint32_t Crc32(std::string_view bytes);

// True for a kind word the format allows: 1..32 characters of [a-z0-9?-].
bool IsRecordKind(std::string_view kind);

// One whole line: check value, body, CR LF. Throws std::invalid_argument for an invalid kind.
std::string FormatRecordLine(std::string_view kind, std::initializer_list<std::string_view> fields);
std::string FormatRecordLine(std::string_view kind, const std::vector<std::string>& fields);

struct RecordLine {
  std::string kind;
  std::vector<std::string> fields;  // unescaped
  std::uint64_t offset;             // the line's first byte in the file
};

struct RecordRead {
  std::vector<RecordLine> lines;  // the accepted lines, in order
  // The byte length of the accepted prefix: what the anchor's length and hash cover.
  std::uint64_t acceptedBytes = 0;
  bool tornTail = false;        // the first failing line is the last thing in the file
  bool damaged = false;         // the first failing line has more bytes after its CR LF
  std::uint64_t damagedAt = 0;  // that line's offset (equals acceptedBytes)
};

// Accepts complete, checked lines from the start and stops at the first one that fails: no CR LF
// before the end, a wrong or upper-case check value, a missing blank, an empty or invalid kind, a
// bad or needless escape, a raw control byte (NUL, a lone CR or LF, 0x7F). A line runs up to its
// first CR LF; when there is none after the failing line's start, or nothing after it, the tail
// is torn, otherwise the record is damaged there.
RecordRead ReadRecord(std::string_view bytes);

// 64 lower-case hex digits.
std::string Sha256Hex(const std::array<std::uint8_t, 32>& digest);

// The anchor value: the length in decimal (no leading zeros; "0" for none), one blank, the
// SHA-256 as 64 lower-case hex digits. Throws std::invalid_argument when sha256Hex is not that.
std::string FormatRecordAnchor(std::uint64_t length, std::string_view sha256Hex);

struct RecordAnchor {
  std::uint64_t length;
  std::string sha256Hex;
};
// Exactly the form FormatRecordAnchor writes, else nothing.
std::optional<RecordAnchor> ParseRecordAnchor(std::string_view text);

// True when a stored path (folder part and file name, as the archive holds them) would unpack
// onto the record: the folder is "%InstallDir%" exactly (macros are case-sensitive), trailing
// backslashes allowed, and the file name is "Uninstaller.dat" in any ASCII letter case. Trailing
// dots and blanks of the name count as nothing, as Windows drops them when it opens a file.
bool IsRecordFileName(std::string_view storedFolder, std::string_view fileName);

}  // namespace dt
