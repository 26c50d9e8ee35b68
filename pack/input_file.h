// Whole input files in memory, for packing. A member holds at most 4 GiB, so larger files are
// refused before anything is allocated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/pack_result.h"

namespace quorvel {

PackResult readInputFile(const std::string& path, std::vector<uint8_t>& bytes);

}  // namespace quorvel
