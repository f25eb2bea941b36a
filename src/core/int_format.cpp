#include "core/int_format.h"

#include <cstdint>
#include <stdexcept>

namespace dt {
namespace {

constexpr int kMaxWidth = 1024;

struct Conversion {
  bool left = false;
  bool plus = false;
  bool blank = false;
  bool zero = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;  // none
  char type = 0;
};

[[noreturn]] void Invalid(std::string_view format) {
  throw std::runtime_error("Format '" + std::string(format) +
                           "' invalid or incompatible with argument");
}

[[noreturn]] void NoArgument(std::string_view format) {
  throw std::runtime_error("No argument for format '" + std::string(format) + "'");
}

// Reads the conversion that follows a '%'; End() is the position past it.
class ConversionReader {
 public:
  ConversionReader(std::string_view format, std::size_t pos) : format_(format), pos_(pos) {}

  Conversion Read() {
    Conversion conversion;
    ReadFlags(conversion);
    conversion.width = ReadNumber();
    if (Peek() == '.') {
      ++pos_;
      conversion.precision = ReadNumber();
    }
    SkipLength();
    conversion.type = Next();
    return conversion;
  }
  std::size_t End() const { return pos_; }

 private:
  char Peek() const { return pos_ < format_.size() ? format_[pos_] : '\0'; }
  char Next() {
    if (pos_ >= format_.size()) Invalid(format_);
    return format_[pos_++];
  }

  void ReadFlags(Conversion& conversion) {
    for (;; ++pos_) {
      switch (Peek()) {
        case '-':
          conversion.left = true;
          break;
        case '+':
          conversion.plus = true;
          break;
        case ' ':
          conversion.blank = true;
          break;
        case '0':
          conversion.zero = true;
          break;
        case '#':
          conversion.alternate = true;
          break;
        default:
          return;
      }
    }
  }

  // Digits, or '*': a star takes the one argument as the width, so the value has none.
  int ReadNumber() {
    if (Peek() == '*') NoArgument(format_);
    int value = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      value = value * 10 + (format_[pos_++] - '0');
      if (value > kMaxWidth) Invalid(format_);
    }
    return value;
  }

  void SkipLength() {
    for (int i = 0; i < 2 && (Peek() == 'h' || Peek() == 'l'); ++i) ++pos_;
  }

  std::string_view format_;
  std::size_t pos_;
};

std::string Digits(std::uint32_t magnitude, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), digits[magnitude % base]);
    magnitude /= base;
  } while (magnitude != 0);
  return out;
}

std::string Convert(const Conversion& conversion, std::int32_t argument) {
  const bool isSigned = conversion.type == 'd' || conversion.type == 'i';
  const auto bits = static_cast<std::uint32_t>(argument);
  const bool negative = isSigned && argument < 0;
  const std::uint32_t magnitude = negative ? 0u - bits : bits;
  unsigned base = 10;
  if (conversion.type == 'x' || conversion.type == 'X') base = 16;
  if (conversion.type == 'o') base = 8;

  std::string digits = Digits(magnitude, base, conversion.type == 'X');
  if (conversion.precision == 0 && magnitude == 0) digits.clear();
  if (conversion.precision > static_cast<int>(digits.size())) {
    digits.insert(0, conversion.precision - digits.size(), '0');
  }
  std::string prefix;
  if (negative) {
    prefix = "-";
  } else if (isSigned && conversion.plus) {
    prefix = "+";
  } else if (isSigned && conversion.blank) {
    prefix = " ";
  }
  if (conversion.alternate && magnitude != 0 && base == 16)
    prefix += conversion.type == 'X' ? "0X" : "0x";
  if (conversion.alternate && base == 8 && (digits.empty() || digits[0] != '0'))
    digits.insert(0, "0");

  const std::size_t length = prefix.size() + digits.size();
  const std::size_t width = static_cast<std::size_t>(conversion.width);
  if (length >= width) return prefix + digits;
  const std::size_t pad = width - length;
  if (conversion.left) return prefix + digits + std::string(pad, ' ');
  if (conversion.zero && conversion.precision < 0) return prefix + std::string(pad, '0') + digits;
  return std::string(pad, ' ') + prefix + digits;
}

bool IsIntegerType(char type) {
  return type == 'd' || type == 'i' || type == 'u' || type == 'x' || type == 'X' || type == 'o';
}

}  // namespace

std::string FormatInteger(std::string_view format, std::int32_t argument) {
  std::string out;
  bool argumentUsed = false;
  std::size_t pos = 0;
  while (pos < format.size()) {
    const std::size_t percent = format.find('%', pos);
    out.append(format.substr(pos, percent == std::string_view::npos ? percent : percent - pos));
    if (percent == std::string_view::npos) break;
    if (percent + 1 < format.size() && format[percent + 1] == '%') {
      out += '%';
      pos = percent + 2;
      continue;
    }
    ConversionReader reader(format, percent + 1);
    const Conversion conversion = reader.Read();
    if (argumentUsed) NoArgument(format);
    if (!IsIntegerType(conversion.type)) Invalid(format);
    argumentUsed = true;
    out += Convert(conversion, argument);
    pos = reader.End();
  }
  return out;
}

}  // namespace dt
