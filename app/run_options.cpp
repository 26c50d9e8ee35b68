#include "app/run_options.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <thread>

#include "platform/ascii_case.h"
#include "platform/paths.h"

namespace quorvel {

int defaultJobs() {
  unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : static_cast<int>(std::min<unsigned>(processors, kMaxJobs));
}

namespace {

// The leading digits, saturating at kMaxJobs (a larger number asks for as many as allowed); no
// digits, or 0, asks for the default.
int readJobs(const std::string& text) {
  int jobs = 0;
  for (size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    jobs = std::min(jobs * 10 + (text[i] - '0'), kMaxJobs + 1);
  }
  return jobs == 0 ? defaultJobs() : std::min(jobs, kMaxJobs);
}

// Empty (the default), or digits for 1 to kMaxJobs.
bool isJobCount(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  int jobs = std::stoi(text);
  return jobs >= 1 && jobs <= kMaxJobs;
}

// A whole number of digits alone (at most 18 of them, so that it fits with room to spare);
// false for anything else, which leaves the default.
bool readWholeNumber(const std::string& text, uint64_t& number) {
  if (text.empty() || text.size() > 18 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  number = std::stoull(text);
  return true;
}

// -maxpixels:N and -memory:MiB, where given as a number.
void readLimits(const OptionParser& parser, RunOptions& options) {
  uint64_t number = 0;
  if (parser.hasOption("maxpixels") && readWholeNumber(parser.optionText("maxpixels"), number)) {
    options.conversion.maxPixels = number;
  }
  if (parser.hasOption("memory") && readWholeNumber(parser.optionText("memory"), number)) {
    options.memoryBytes = number > (uint64_t{1} << 40) ? 0 : number << 20;
  }
}

// What a switch does with the text after its ':'.
enum class SwitchValue {
  None,    // nothing: the switch counts by its presence alone
  Folder,  // a folder; empty means the current folder
  Colour,  // rrggbb in hexadecimal
  Count,   // a number of jobs, 1 to kMaxJobs; empty means the default
  Number,  // a whole number; 0 means no limit
  Own,     // read and checked by the switch's own mode
};

struct KnownSwitch {
  const char* name;
  SwitchValue value;
  bool suggested;  // offered as the spelling meant when an unknown name is close to it
};

// Every switch the program knows. Names are case-sensitive; each appears once. A switch whose
// value its own mode reads (Own) is warned about there, where the value is understood.
// clang-format off
constexpr KnownSwitch kKnownSwitches[] = {
    {"out", SwitchValue::Folder, true},   {"stripPath", SwitchValue::None, true},
    {"raw", SwitchValue::None, true},     {"bgcolor", SwitchValue::Colour, true},
    {"png", SwitchValue::None, true},     {"batch", SwitchValue::None, true},
    {"jobs", SwitchValue::Count, true},   {"list", SwitchValue::None, true},
    {"only", SwitchValue::Own, true},     {"pack", SwitchValue::Own, true},
    {"help", SwitchValue::None, true},    {"-help", SwitchValue::None, false},
    {"h", SwitchValue::None, false},      {"?", SwitchValue::None, false},
    {"version", SwitchValue::None, true}, {"-version", SwitchValue::None, false},
    {"force", SwitchValue::None, true},
    {"maxpixels", SwitchValue::Number, true},
    {"memory", SwitchValue::Number, true},
};
// clang-format on

const KnownSwitch* findSwitch(std::string_view name) {
  for (const KnownSwitch& known : kKnownSwitches) {
    if (name == known.name) return &known;
  }
  return nullptr;
}

// Edits (insert, delete, replace one character) between a and b, case ignored.
size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t replaced = diagonal + (lowerAscii(a[i - 1]) == lowerAscii(b[j - 1]) ? 0 : 1);
      diagonal = row[j];
      row[j] = std::min({replaced, row[j] + 1, row[j - 1] + 1});
    }
  }
  return row[b.size()];
}

// The known switch an unknown name was probably meant to be, with the reason, or "".
std::string spellingHint(const std::string& name, char switchChar) {
  std::string_view bare(name);
  while (!bare.empty() && bare.front() == switchChar) bare.remove_prefix(1);
  std::string s(1, switchChar);
  if (bare.size() != name.size() && findSwitch(bare) != nullptr) {
    return " (switches start with one " + s + ": " + s + std::string(bare) + ")";
  }
  for (const KnownSwitch& known : kKnownSwitches) {
    if (bare.size() == std::strlen(known.name) && editDistance(bare, known.name) == 0) {
      return " (switches are case-sensitive: " + s + known.name + ")";
    }
  }
  // Short names are too alike to guess between; longer ones may have two slips.
  if (bare.size() < 3) return "";
  size_t allowed = bare.size() >= 6 ? 2 : 1;
  for (const KnownSwitch& known : kKnownSwitches) {
    if (known.suggested && editDistance(bare, known.name) <= allowed) {
      return " (did you mean " + s + known.name + "?)";
    }
  }
  return "";
}

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f');
}

bool isColour(std::string_view text) {
  return text.size() == 6 && std::all_of(text.begin(), text.end(), isHexDigit);
}

// The background colour as the bgcolor switch gives it: the hexadecimal digits read up to the
// first other character, the lowest 24 bits as rrggbb.
uint32_t backgroundColour(const OptionParser& parser) {
  return static_cast<uint32_t>(parser.optionNumber("bgcolor", 16)) & 0xFFFFFFu;
}

std::string colourWarning(const OptionParser& parser, const std::string& given) {
  const std::string& value = parser.optionText("bgcolor");
  if (parser.hasOption("raw")) {
    return given + " ignored: with " + parser.switchChar() + "raw pictures are not blended";
  }
  if (isColour(value)) return "";
  char used[8];
  std::snprintf(used, sizeof used, "%06x", static_cast<unsigned>(backgroundColour(parser)));
  std::string warning = given + " is not rrggbb (six hexadecimal digits); using " + used;
  // A colour written the way other programs want it.
  for (std::string_view prefix : {"#", "0x", "0X"}) {
    std::string_view rest(value);
    if (rest.substr(0, prefix.size()) == prefix && isColour(rest.substr(prefix.size()))) {
      warning += " (write " + std::string(1, parser.switchChar()) +
                 "bgcolor:" + std::string(rest.substr(prefix.size())) + ")";
    }
  }
  return warning;
}

// What is wrong with the value of a known switch's first occurrence, or "".
std::string valueWarning(const OptionParser& parser, const KnownSwitch& known,
                         const std::string& given) {
  const std::string s(1, parser.switchChar());
  const std::string& value = parser.optionText(known.name);
  switch (known.value) {
    case SwitchValue::None:
      if (value.empty()) return "";
      return s + known.name + " takes no value: " + given + " counts as " + s + known.name;
    case SwitchValue::Folder:
      if (!value.empty()) return "";
      return given + " names no folder (write " + s + known.name +
             ":folder, without a space); the output goes into the current folder";
    case SwitchValue::Colour:
      return colourWarning(parser, given);
    case SwitchValue::Count:
      if (isJobCount(value)) return "";
      return given + " is not a number from 1 to " + std::to_string(kMaxJobs) + "; using " +
             std::to_string(readJobs(value));
    case SwitchValue::Number: {
      uint64_t number = 0;
      if (readWholeNumber(value, number)) return "";
      return given + " is not a whole number (0 for no limit); using the default";
    }
    case SwitchValue::Own:
      break;
  }
  return "";
}

// With the raw switch the background colour is not looked at at all; the value of raw is never
// read.
void readDecodeOptions(const OptionParser& parser, DecodeOptions& decode) {
  if (parser.hasOption("raw")) {
    decode.blend = false;
  } else if (parser.hasOption("bgcolor")) {
    uint32_t value = backgroundColour(parser);
    decode.background[0] = static_cast<uint8_t>(value);        // blue
    decode.background[1] = static_cast<uint8_t>(value >> 8);   // green
    decode.background[2] = static_cast<uint8_t>(value >> 16);  // red
  }
}

}  // namespace

RunOptions readRunOptions(const OptionParser& parser) {
  RunOptions options;
  readDecodeOptions(parser, options.conversion.decode);
  options.conversion.keepSubfolders = !parser.hasOption("stripPath");
  options.batch = parser.hasOption("batch");
  options.list = parser.hasOption("list");
  options.jobs = parser.hasOption("jobs") ? readJobs(parser.optionText("jobs")) : defaultJobs();
  if (parser.hasOption("only")) {
    options.conversion.onlyMembers = NamePatterns(parser.optionText("only"));
  }
  for (const char* help : {"help", "-help", "h", "?"}) {
    if (parser.hasOption(help)) options.showHelp = true;
  }
  options.showVersion = parser.hasOption("version") || parser.hasOption("-version");
  // --help and --version are what people type on every system. Where switches start with '/',
  // the parser takes them for names, and no one means a file of that name.
  if (parser.switchChar() != '-') {
    for (size_t i = 0; i < parser.positionalCount(); ++i) {
      if (parser.positional(i) == "--help") options.showHelp = true;
      if (parser.positional(i) == "--version") options.showVersion = true;
    }
  }
  if (parser.hasOption("png")) options.conversion.pictureFormat = PictureFormat::Png;
  options.pack = parser.hasOption("pack");
  readLimits(parser, options);
  return options;
}

std::vector<std::string> switchWarnings(const OptionParser& parser) {
  std::vector<std::string> warnings;
  std::map<std::string_view, const std::string*> firstValues;
  std::set<std::string> said;
  for (const OptionParser::GivenOption& option : parser.givenOptions()) {
    std::string typed = std::string(1, parser.switchChar()) + option.name;
    std::string typedWithValue = typed + (option.value.empty() ? "" : ":" + option.value);
    auto [first, isFirst] = firstValues.emplace(option.name, &option.value);
    const KnownSwitch* known = findSwitch(option.name);
    std::string warning;
    if (known == nullptr) {
      if (isFirst) {
        warning =
            "unknown switch " + typed + " ignored" + spellingHint(option.name, parser.switchChar());
      }
    } else if (!isFirst) {
      if (*first->second != option.value) {
        warning = typedWithValue + " ignored: the first " + typed + " counts";
      }
    } else {
      warning = valueWarning(parser, *known, typedWithValue);
    }
    if (warning.empty()) continue;
    warning.insert(0, "quorvel: ");
    // A switch repeated with one value is one mistake: said once.
    if (said.insert(warning).second) warnings.push_back(warning);
  }
  return warnings;
}

bool formBasePath(const OptionParser& parser, const char* inputPath, char* buffer,
                  size_t capacity) {
  bool hasOut = parser.hasOption("out");
  const char* start = hasOut ? parser.optionText("out").c_str() : inputPath;
  // With the out folder, room for a separator too.
  if (std::strlen(start) + (hasOut ? 2 : 1) > capacity) return false;
  copyTruncated(buffer, start, capacity);
  if (hasOut) {
    const char* name = pathFileName(inputPath);
    size_t joined = pathAddSeparator(buffer);
    if (joined + std::strlen(name) >= capacity) return false;
    pathAppend(buffer, name, capacity);
  }
  pathStripExtension(buffer);
  return true;
}

}  // namespace quorvel
