#include "app/driver.h"

#include <cstdio>

#include "app/batch_run.h"
#include "app/list_run.h"
#include "app/option_parser.h"
#include "app/pack_run.h"
#include "app/run_options.h"
#include "app/single_run.h"
#include "platform/system.h"

namespace quorvel {

namespace {

constexpr const char* kVersion = "0.03";

}  // namespace

// The original six lines first, exactly; the switches added since follow in the same style, then
// a few whole command lines for the switches that are new.
void printUsage() {
  const char s = kSwitchChar;
  std::printf("quorvel [options] filename version %s\n\n", kVersion);
  std::puts("options:");
  std::printf("\t%cout:path         output folder\n", s);
  std::printf("\t%cstripPath        strip subfolder\n", s);
  std::printf("\t%craw              not blend image with bgcolor\n", s);
  std::printf("\t%cbgcolor:rrggbb   background color (hex)\n", s);
  std::printf("\t%cpng              PNG instead of BMP (with %craw: true transparency)\n", s, s);
  std::printf("\t%cpack             pack folder into .a, bmp/png picture into .px\n", s);
  std::printf("\t%cforce            with %cpack: replace an existing .a or .px\n", s, s);
  std::printf("\t%cbatch            every name an input, folders with all files beneath\n", s);
  std::printf("\t%cjobs:N           inputs and members converted at once (default: cores)\n", s);
  std::printf("\t%clist             list what the inputs hold, write nothing\n", s);
  std::printf("\t%conly:patterns    only archive members matching *.wav;bg* (any case)\n", s);
  std::printf("\t%cmaxpixels:N      refuse larger pictures (default 268435456; 0: no limit)\n", s);
  std::printf("\t%cmemory:MiB       memory for conversions at once (default: half of RAM)\n", s);
  std::printf("\t%chelp             show this text\n", s);
  std::printf("\t%cversion          show the version\n", s);
  std::puts("\nexamples:");
  std::printf("\tquorvel %cbatch %cpng %craw %cout:converted game\n", s, s, s, s);
  std::printf("\tquorvel %cbatch %cjobs:1 game/bg game/data.a\n", s, s);
  std::printf("\tquorvel %clist data.a\n", s);
  std::printf("\tquorvel %conly:*.wav %cout:sounds data.a\n", s, s);
  std::printf("\tquorvel %cpack data\n", s);
  std::printf("\tquorvel %cpack %cforce %cout:game data\n", s, s, s);
  std::fflush(stdout);
}

void printVersion() {
  std::printf("quorvel version %s\n", kVersion);
  std::fflush(stdout);
}

// Parses the whole command line first, says what it cannot use, then hands over to the entry of
// the mode it asks for. Help and version answer before anything else and never open a dialog.
int runDriver(int argc, char** argv) {
  OptionParser parser;
  parser.parse(argc, argv);
  for (const std::string& warning : switchWarnings(parser)) {
    writeError(warning + "\n");
  }
  const RunOptions options = readRunOptions(parser);
  if (options.showHelp) {
    printUsage();
    return 0;
  }
  if (options.showVersion) {
    printVersion();
    return 0;
  }
  if (options.pack) return runPack(parser, options);
  if (parser.hasOption("force"))
    writeError(std::string("quorvel: ") + kSwitchChar + "force is for " + kSwitchChar +
               "pack: ignored\n");
  if (options.list) return runListing(parser, options);
  if (options.batch) return runBatch(parser, options);
  return runSingleInput(parser, options);
}

}  // namespace quorvel
