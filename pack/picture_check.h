// Whether extraction turns a picture file given as it is (a ".px" file in a folder being packed)
// into pictures: a member it would fail on is refused before anything is written.
#pragma once

#include <string>

namespace quorvel {

// Converts the file into a private temporary folder exactly as extraction would, then removes
// what was written.
bool convertsAsPicture(const std::string& path);

}  // namespace quorvel
