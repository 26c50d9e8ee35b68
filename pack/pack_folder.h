// Packing a folder into an archive: every member as folder_plan.h plans it, each in the form
// that extraction gives back identically (see member_forms.h, picture_member.h and
// wave_reader.h). The archive is written under a temporary name and renamed into place only
// when complete: on any failure no archive is left (an earlier one of that name stays).
#pragma once

#include <cstdint>
#include <string>

#include "pack/pack_result.h"

namespace quorvel {

// Prints the archive's file name, then the progress of each member ("\r\t%d %s"). The members
// are packed side by side on up to jobs threads; the archive's bytes do not depend on them.
// Pictures of more than maxPixels pixels (0: no limit) are refused.
PackResult packFolder(const std::string& folder, const std::string& archivePath, int jobs,
                      uint64_t maxPixels);

}  // namespace quorvel
