// The run of one input: exactly one input (named on the command line, or chosen in the
// Open dialog), converted by its extension, and one status line. Always answers exit code 0.
#pragma once

#include "app/option_parser.h"
#include "app/run_options.h"

namespace quorvel {

int runSingleInput(const OptionParser& parser, const RunOptions& options);

}  // namespace quorvel
