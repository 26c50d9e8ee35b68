// The run of one input: exactly one input (named on the command line, or chosen in the
// Open dialog), converted by its extension, and one status line. Exit code 0 when it did all it was
// asked (the status line "complete." and no failed member), 1 otherwise; 0 for the usage text after
// a cancelled dialog.
#pragma once

#include "app/option_parser.h"
#include "app/run_options.h"

namespace quorvel {

int runSingleInput(const OptionParser& parser, const RunOptions& options);

}  // namespace quorvel
