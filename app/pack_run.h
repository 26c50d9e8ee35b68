// The -pack mode: the one name given is a folder F, packed into the archive F.a, or a picture
// name.bmp or name.png, packed into the picture file name.px; either beside the input or in the
// -out folder. Ends with the status line; a failure is first explained by a message on standard
// error that names the file at fault. Exit code 0 on success, 1 on failure.
#pragma once

#include "app/option_parser.h"
#include "app/run_options.h"

namespace quorvel {

int runPack(const OptionParser& parser, const RunOptions& options);

}  // namespace quorvel
