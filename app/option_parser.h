// Splits the argument vector into positional names and switches of the form <s>name or
// <s>name:value, where <s> is the switch character ('/' on Windows, '-' on POSIX), and answers
// lookups by exact option name. Every argument is accepted; nothing is printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/system.h"

namespace quorvel {

// Reads the leading digits of text in base 10 or 16, with no sign, prefix or white space. The
// value wraps on 32 bits (base 16 keeps the last eight digits). digitCount receives the number of
// digits read; any other base answers 0 and leaves digitCount alone.
int32_t parseNumber(const char* text, int32_t& digitCount, int32_t base);

class OptionParser {
 public:
  explicit OptionParser(char switchChar = kSwitchChar) : switchChar_(switchChar) {}

  // Skips element 0 (the program). The first occurrence of an option name wins.
  void parse(int32_t count, const char* const* vector);

  size_t positionalCount() const { return positionals_.size(); }
  const std::string& positional(size_t index) const { return positionals_[index]; }
  bool hasOption(const std::string& name) const { return options_.count(name) != 0; }
  // The option must be present (ask hasOption first); empty when given without ':'.
  const std::string& optionText(const std::string& name) const { return options_.at(name); }
  int32_t optionNumber(const std::string& name, int32_t base) const;

  char switchChar() const { return switchChar_; }
  // Every option as given, in command-line order, later repeats of a name included: what the
  // lookups above answer hides the repeats, which a user may still want to hear about.
  struct GivenOption {
    std::string name;
    std::string value;
  };
  const std::vector<GivenOption>& givenOptions() const { return given_; }

 private:
  char switchChar_;
  std::vector<std::string> positionals_;
  std::map<std::string, std::string> options_;
  std::vector<GivenOption> given_;
};

}  // namespace quorvel
