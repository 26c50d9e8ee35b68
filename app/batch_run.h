// -batch: every name on the command line is an input (a folder stands for the pictures and
// archives beneath it), each converted as a single run would convert it, several at once. One
// status line per input in input order, a summary, exit code 0 when every input completed.
#pragma once

#include "app/option_parser.h"
#include "app/run_options.h"

namespace quorvel {

int runBatch(const OptionParser& parser, const RunOptions& options);

}  // namespace quorvel
