#include "app/driver.h"

#include <cstdio>

#include "app/option_parser.h"
#include "app/pack_run.h"
#include "app/run_options.h"
#include "app/single_run.h"
#include "platform/system.h"

namespace quorvel {

void printUsage() {
  const char s = kSwitchChar;
  std::puts("quorvel [options] filename version 0.03\n");
  std::puts("options:");
  std::printf("\t%cout:path         output folder\n", s);
  std::printf("\t%cstripPath        strip subfolder\n", s);
  std::printf("\t%craw              not blend image with bgcolor\n", s);
  std::printf("\t%cbgcolor:rrggbb   background color (hex)\n", s);
  std::printf("\t%cpack             pack folder into .a, bmp/png picture into .px\n", s);
  std::fflush(stdout);
}

// Parses the whole command line first, then hands over to the entry of the mode it asks for.
int runDriver(int argc, char** argv) {
  OptionParser parser;
  parser.parse(argc, argv);
  const RunOptions options = readRunOptions(parser);
  if (options.pack) return runPack(parser, options);
  return runSingleInput(parser, options);
}

}  // namespace quorvel
