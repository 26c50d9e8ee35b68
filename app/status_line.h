// The last line of a run: the words for a ResultCode.
#pragma once

#include <string>

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

// Why an input failed with result, for the line beside its status line: by its extension, what
// the archive or picture conversion met, or that only pictures and archives are converted; empty
// for a folder (adviseWhenFolder says what to do) and for Success. Asked right after the input's
// conversion, on its thread.
std::string inputFailureReason(const char* inputPath, ResultCode result);

// "quorvel: name: reason" on standard error; nothing for an empty reason.
void printFailureReason(const std::string& name, const std::string& reason);

}  // namespace quorvel
