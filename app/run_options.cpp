#include "app/run_options.h"

#include <cstring>

#include "decoders/settings.h"
#include "platform/paths.h"

namespace quorvel {

RunOptions readRunOptions(const OptionParser& parser) {
  RunOptions options;
  options.pack = parser.hasOption("pack");
  return options;
}

// With the raw switch the background colour is not looked at at all; the values of raw and
// stripPath are never read.
void applySettings(const OptionParser& parser) {
  if (parser.hasOption("raw")) {
    gSettings.blend = 0;
  } else if (parser.hasOption("bgcolor")) {
    auto value = static_cast<uint32_t>(parser.optionNumber("bgcolor", 16));
    gSettings.bgColor[0] = static_cast<uint8_t>(value);        // blue
    gSettings.bgColor[1] = static_cast<uint8_t>(value >> 8);   // green
    gSettings.bgColor[2] = static_cast<uint8_t>(value >> 16);  // red
  }
  if (parser.hasOption("stripPath")) gSettings.keepSubfolders = 0;
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
