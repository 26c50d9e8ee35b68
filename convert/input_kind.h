// What a run does with a file, by its extension (any case): an archive ("a") is extracted, a
// picture ("px") converted; anything else is not for this program. A name without '.' is all
// extension.
#pragma once

namespace quorvel {

enum class InputKind { Archive, Picture, Other };

InputKind inputKindOf(const char* path);

}  // namespace quorvel
