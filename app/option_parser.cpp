#include "app/option_parser.h"

namespace quorvel {

namespace {

// The digit's value in base 16, or -1. Bytes 0x80 and above are never digits.
int hexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int32_t parseNumber(const char* text, int32_t& digitCount, int32_t base) {
  if (base != 10 && base != 16) return 0;
  digitCount = 0;
  // Unsigned arithmetic: the value wraps modulo 2^32 without overflow checks.
  uint32_t value = 0;
  for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    int digit = hexDigit(*p);
    if (digit < 0 || digit >= base) break;
    value = base == 10 ? value * 10u + static_cast<uint32_t>(digit)
                       : (value << 4) | static_cast<uint32_t>(digit);
    ++digitCount;
  }
  return static_cast<int32_t>(value);
}

void OptionParser::parse(int32_t count, const char* const* vector) {
  for (int32_t i = 1; i < count; ++i) {
    const char* argument = vector[i];
    if (argument[0] != switchChar_) {
      positionals_.emplace_back(argument);
      continue;
    }
    std::string text(argument + 1);
    size_t colon = text.find(':');
    std::string name = colon == std::string::npos ? text : text.substr(0, colon);
    std::string value = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    given_.push_back({name, value});
    options_.emplace(std::move(name), std::move(value));  // an existing name is kept
  }
}

int32_t OptionParser::optionNumber(const std::string& name, int32_t base) const {
  int32_t digits = 0;
  return parseNumber(optionText(name).c_str(), digits, base);
}

}  // namespace quorvel
