// The option parser on hostile argument vectors: the input is split at its zero bytes into
// arguments, then every question the driver asks is asked, parseNumber reads every argument in
// bases 10, 16 and one it does not know, and the warnings about the switches are formed.
#include <string>
#include <vector>

#include "app/option_parser.h"
#include "app/run_options.h"
#include "fuzz/fuzz_support.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words{"quorvel"};
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(data[i]));
    }
  }
  words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);

  // Both switch characters: '-' (POSIX) and '/' (Windows) parse the same way.
  OptionParser parser(size > 0 && (data[0] & 1) ? '/' : '-');
  parser.parse(static_cast<int32_t>(words.size()), argv.data());
  if (parser.positionalCount() >= words.size()) fuzz::fail("more positionals than arguments");
  for (size_t i = 0; i < parser.positionalCount(); ++i) {
    std::string text = parser.positional(i);
    int32_t digits = -7;
    parseNumber(text.c_str(), digits, 10);
    if (digits < 0 || static_cast<size_t>(digits) > text.size()) fuzz::fail("digit count");
    parseNumber(text.c_str(), digits, 16);
    int32_t untouched = 12345;
    if (parseNumber(text.c_str(), untouched, 8) != 0 || untouched != 12345) {
      fuzz::fail("unknown base must answer 0 and leave the count");
    }
  }
  for (const char* name : {"out", "raw", "bgcolor", "stripPath", ""}) {
    if (parser.hasOption(name)) {
      std::string value = parser.optionText(name);
      parser.optionNumber(name, 16);
      parser.optionNumber(name, 10);
    }
  }
  // The warnings about the switches: at most one line per option given.
  if (switchWarnings(parser).size() > parser.givenOptions().size()) fuzz::fail("warning count");
  readRunOptions(parser);
  return 0;
}
