#include "core/install_record.h"

#include <array>
#include <stdexcept>

#include "core/text.h"

namespace dt {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr char kLowerHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '%';
}

// The value of one hex digit of the given case, or -1.
int HexValue(char c, bool upper) {
  if (c >= '0' && c <= '9') return c - '0';
  const char a = upper ? 'A' : 'a';
  if (c >= a && c <= a + 5) return c - a + 10;
  return -1;
}

bool IsLowerHex(std::string_view text, std::size_t digits) {
  if (text.size() != digits) return false;
  for (char c : text) {
    if (HexValue(c, false) < 0) return false;
  }
  return true;
}

void AppendEscaped(std::string& out, std::string_view field) {
  for (char ch : field) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      out += '%';
      out += kUpperHex[c >> 4];
      out += kUpperHex[c & 0xF];
    } else {
      out += ch;
    }
  }
}

// Undoes AppendEscaped, accepting only what it writes.
bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '%') {
      if (text.size() - i < 3) return false;
      const int high = HexValue(text[i + 1], true);
      const int low = HexValue(text[i + 2], true);
      if (high < 0 || low < 0) return false;
      const auto value = static_cast<unsigned char>(high * 16 + low);
      if (!NeedsEscape(value)) return false;
      out += static_cast<char>(value);
      i += 2;
    } else if (NeedsEscape(c)) {
      return false;
    } else {
      out += static_cast<char>(c);
    }
  }
  return true;
}

template <typename Fields>
std::string FormatLine(std::string_view kind, const Fields& fields) {
  if (!IsRecordKind(kind)) {
    throw std::invalid_argument("invalid record kind \"" + std::string(kind) + "\"");
  }
  std::string body(kind);
  for (const auto& field : fields) {
    body += '\t';
    AppendEscaped(body, field);
  }
  std::uint32_t crc = Crc32(body);
  std::string line(8, '0');
  for (int i = 7; i >= 0; --i, crc >>= 4) line[static_cast<std::size_t>(i)] = kLowerHex[crc & 0xF];
  line += ' ';
  line += body;
  line += "\r\n";
  return line;
}

// One line without its CR LF.
bool ParseLine(std::string_view text, RecordLine& line) {
  if (text.size() < 10 || text[8] != ' ' || !IsLowerHex(text.substr(0, 8), 8)) return false;
  std::uint32_t check = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    check = check << 4 | static_cast<std::uint32_t>(HexValue(text[i], false));
  }
  const std::string_view body = text.substr(9);
  if (Crc32(body) != check) return false;

  std::size_t tab = body.find('\t');
  line.kind = std::string(body.substr(0, tab));
  if (!IsRecordKind(line.kind)) return false;
  line.fields.clear();
  while (tab != std::string_view::npos) {
    const std::size_t start = tab + 1;
    tab = body.find('\t', start);
    const std::string_view raw =
        body.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (!Unescape(raw, line.fields.emplace_back())) return false;
  }
  return true;
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (char ch : bytes) c = kCrcTable[(c ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::optional<std::string_view> TemporaryTarget(std::string_view path) {
  if (path.size() <= 10 || path.substr(path.size() - 10, 2) != ".~") return std::nullopt;
  for (char c : path.substr(path.size() - 8)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
  }
  return path.substr(0, path.size() - 10);
}

bool IsRecordKind(std::string_view kind) {
  if (kind.empty() || kind.size() > 32) return false;
  for (char c : kind) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '?' || c == '-')) return false;
  }
  return true;
}

std::string FormatRecordLine(std::string_view kind,
                             std::initializer_list<std::string_view> fields) {
  return FormatLine(kind, fields);
}

std::string FormatRecordLine(std::string_view kind, const std::vector<std::string>& fields) {
  return FormatLine(kind, fields);
}

RecordRead ReadRecord(std::string_view bytes) {
  RecordRead out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string_view::npos) {
      out.tornTail = true;
      break;
    }
    RecordLine line;
    line.offset = pos;
    if (!ParseLine(bytes.substr(pos, end - pos), line)) {
      if (end + 2 == bytes.size()) {
        out.tornTail = true;
      } else {
        out.damaged = true;
        out.damagedAt = pos;
      }
      break;
    }
    out.lines.push_back(std::move(line));
    pos = end + 2;
  }
  out.acceptedBytes = pos;
  return out;
}

std::string Sha256Hex(const std::array<std::uint8_t, 32>& digest) {
  std::string hex;
  hex.reserve(64);
  for (std::uint8_t b : digest) {
    hex += kLowerHex[b >> 4];
    hex += kLowerHex[b & 0xF];
  }
  return hex;
}

std::string FormatRecordAnchor(std::uint64_t length, std::string_view sha256Hex) {
  if (!IsLowerHex(sha256Hex, 64)) {
    throw std::invalid_argument("a record anchor needs 64 lower-case hex digits of SHA-256");
  }
  return std::to_string(length) + ' ' + std::string(sha256Hex);
}

std::optional<RecordAnchor> ParseRecordAnchor(std::string_view text) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const std::string_view digits = text.substr(0, blank);
  const std::string_view hex = text.substr(blank + 1);
  if (digits.empty() || digits.size() > 20 || (digits[0] == '0' && digits.size() > 1) ||
      !IsLowerHex(hex, 64)) {
    return std::nullopt;
  }
  std::uint64_t length = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (length > (UINT64_MAX - digit) / 10) return std::nullopt;
    length = length * 10 + digit;
  }
  return RecordAnchor{length, std::string(hex)};
}

bool IsRecordFileName(std::string_view storedFolder, std::string_view fileName) {
  if (TrimTrailingBackslashes(storedFolder) != "%InstallDir%") return false;
  while (!fileName.empty() && (fileName.back() == '.' || fileName.back() == ' ')) {
    fileName.remove_suffix(1);
  }
  if (fileName.size() != kRecordFileName.size()) return false;
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(fileName[i]) != lower(kRecordFileName[i])) return false;
  }
  return true;
}

}  // namespace dt
