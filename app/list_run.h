// -list: tells what the inputs hold and writes nothing. An archive gives a line per member (name
// as extracted, size delivered, size stored, how it is stored) and a total; a picture one line
// (sub-format, size, bits per pixel, images). With -batch the inputs are gathered as a batch
// gathers them. Exit code 0 when every input could be read.
#pragma once

#include "app/option_parser.h"
#include "app/run_options.h"

namespace quorvel {

int runListing(const OptionParser& parser, const RunOptions& options);

}  // namespace quorvel
