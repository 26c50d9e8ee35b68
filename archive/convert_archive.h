// One archive (extension "a") to a folder of files named after it: every member is extracted
// through the temporary folder; pictures become BMPs and sounds WAVE files on the way.
#pragma once

#include "convert/conversion_options.h"
#include "decoders/result_code.h"

namespace quorvel {

ResultCode convertArchive(const char* outputFolder, const char* archivePath,
                          const ConversionOptions& options = {});

}  // namespace quorvel
