#include "app/driver.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/option_parser.h"
#include "app/settings.h"
#include "archive/convert_archive.h"
#include "convert/convert_picture.h"
#include "decoders/result_code.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

// Writes the switches into the process-wide settings. With the raw switch the background colour
// is not looked at at all; the values of raw and stripPath are never read.
void applyOptions(const OptionParser& parser) {
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

// The output base path: the input path, or the out folder joined with the input's file name,
// without its extension. False when it would not fit the buffer: copying it in would cut it short
// and the output would land under some other name.
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

void printStatus(ResultCode result, const char* name) {
  switch (result) {
    case ResultCode::Success:
      std::puts("complete.");
      break;
    case ResultCode::OutOfMemory:
    case ResultCode::LockFailed:
      std::puts("no memory.");
      break;
    case ResultCode::ReadError:
      std::printf("%s: cannot read.\n", name);
      break;
    case ResultCode::WriteError:
      std::printf("%s: cannot write.\n", name);
      break;
    default:
      std::printf("%s: unknown format!\n", name);
      break;
  }
}

}  // namespace

void printUsage() {
  const char s = kSwitchChar;
  std::puts("quorvel [options] filename version 0.03\n");
  std::puts("options:");
  std::printf("\t%cout:path         output folder\n", s);
  std::printf("\t%cstripPath        strip subfolder\n", s);
  std::printf("\t%craw              not blend image with bgcolor\n", s);
  std::printf("\t%cbgcolor:rrggbb   background color (hex)\n", s);
  std::fflush(stdout);
}

int runDriver(int argc, char** argv) {
  OptionParser parser;
  parser.parse(argc, argv);

  std::vector<char> chosen(kPathCapacity, '\0');
  const char* inputPath;
  if (parser.positionalCount() == 1) {
    inputPath = parser.positional(0).c_str();
  } else {
    if (showOpenDialog(chosen.data(), chosen.size()) != 1) {
      printUsage();
      return 0;
    }
    chosen.back() = '\0';
    inputPath = chosen.data();
  }

  applyOptions(parser);
  std::vector<char> basePath(kPathCapacity, '\0');
  bool baseFits = formBasePath(parser, inputPath, basePath.data(), basePath.size());

  std::puts("Cancel: Ctrl + C");
  std::fflush(stdout);

  ResultCode result = ResultCode::UnknownFormat;
  const char* extension = pathExtension(inputPath);
  bool isArchive = equalsIgnoreCase(extension, "a");
  bool isPicture = !isArchive && equalsIgnoreCase(extension, "px");
  if ((isArchive || isPicture) && !baseFits) {
    result = ResultCode::WriteError;
  } else if (isArchive) {
    result = convertArchive(basePath.data(), inputPath);
  } else if (isPicture) {
    result = convertPictureFile(basePath.data(), inputPath);
  }
  removeTemporaryFolder();

  std::putchar('\n');
  printStatus(result, pathFileName(inputPath));
  std::fflush(stdout);
  return 0;
}

}  // namespace quorvel
