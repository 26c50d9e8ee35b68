// What packing a folder makes, decided from the folder's listing alone: one member per regular
// file and per subfolder holding a series of pictures, with its name as the archive holds it,
// in the archive's order (byte order of the member names, the same on every platform).
//
// Member names: a file keeps its name (foo.txt), a picture takes ".px" for its extension
// (title.bmp, title.png: title.px), a series subfolder is named after the folder (walk:
// walk.px). A name ending in ".wav" that does not fit the directory's 23 bytes ends in ".w"
// instead, which extraction completes to ".wav" again. Refused, with a message naming the file:
// names that do not convert to code page 932, are longer than 23 bytes or would be refused on
// extraction; two entries that would become the same member or be extracted under the same
// name (letter case aside); subfolders that are not series; anything that is neither a file nor
// a folder.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

enum class MemberSource {
  File,     // stored as it is (a wave where it is a canonical WAVE file and named so)
  Picture,  // a BMP or PNG file encoded as a picture file
  Series,   // a subfolder of pictures encoded as one tiled picture file
};

struct PlannedMember {
  std::string name;  // code page 932
  MemberSource source = MemberSource::File;
  std::string path;                 // the file or subfolder
  std::vector<std::string> images;  // Series: the picture files, image 0 first
};

// False with a message naming the entry at fault; readable false when the folder itself could
// not be read (so that the caller can tell "cannot read" from a refusal).
bool planFolder(const std::string& folder, std::vector<PlannedMember>& members,
                std::string& problem, bool& readable);

}  // namespace quorvel
