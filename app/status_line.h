// The last line of a run: the words for a ResultCode.
#pragma once

#include "decoders/result_code.h"

namespace quorvel {

// "complete.", "no memory.", "name: cannot read.", "name: cannot write." or
// "name: unknown format!", each with its line end.
void printStatus(ResultCode result, const char* name);

}  // namespace quorvel
