// What the command line asks of a run, read once from the parser into one value that the run
// passes down to every conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/option_parser.h"
#include "convert/conversion_options.h"

namespace quorvel {

struct RunOptions {
  ConversionOptions conversion;
  bool showHelp = false;     // help, -help (--help on POSIX), h, ?: the usage text, nothing else
  bool showVersion = false;  // version, -version: the version line, nothing else
  bool batch = false;        // every name is an input, folders stand for the files beneath them
  bool list = false;         // tell what the inputs hold, write nothing
  int jobs = 1;              // inputs (and archive members) converted at once
  bool pack = false;         // -pack: a folder or picture back into a game file
  // -memory:MiB: what the conversions running side by side may hold together; 0: no budget.
  uint64_t memoryBytes = defaultMemoryBudget();
};

// The number of jobs without -jobs: the number of processors. At most kMaxJobs in any case.
constexpr int kMaxJobs = 32;
int defaultJobs();

RunOptions readRunOptions(const OptionParser& parser);

// One line per switch that the run cannot use as given, in command-line order, each starting
// with "quorvel: " and saying what is done instead (without a line end): unknown switches (with
// a hint where a known one is spelt alike), unreadable colours, values that a switch does not
// take, an empty output folder and later repeats of a switch with another value. The run itself
// does exactly what it does without these lines.
std::vector<std::string> switchWarnings(const OptionParser& parser);

// The output base path of one input: the input path, or the out folder joined with the input's
// file name, without its extension. False when it would not fit the buffer (copying it in would
// cut it short and the output would land under some other name).
bool formBasePath(const OptionParser& parser, const char* inputPath, char* buffer, size_t capacity);

}  // namespace quorvel
