// The last line of a run: the words for a ResultCode.
#pragma once

#include "decoders/result_code.h"

namespace quorvel {

// "complete.", "no memory.", "name: cannot read.", "name: cannot write." or
// "name: unknown format!", each with its line end.
void printStatus(ResultCode result, const char* name);

// The name a status line gives an input: its file name, or the whole path when the path ends in
// a separator (a folder named by mistake), so that the line never names nothing.
const char* statusName(const char* inputPath);

// The words alone, for lines that carry the name in front: "complete.", "no memory.", "cannot
// read.", "cannot write." or "unknown format!".
const char* statusWords(ResultCode result);

}  // namespace quorvel
