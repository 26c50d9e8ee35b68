// The last line of a run: the words for a ResultCode.
#pragma once

#include "decoders/result_code.h"

namespace quorvel {

// "complete.", "no memory.", "name: cannot read.", "name: cannot write." or
// "name: unknown format!", each with its line end.
void printStatus(ResultCode result, const char* name);

// The words alone, for lines that carry the name in front: "complete.", "no memory.", "cannot
// read.", "cannot write." or "unknown format!".
const char* statusWords(ResultCode result);

}  // namespace quorvel
