#include "decoders/settings.h"

namespace quorvel {

Settings gSettings;

}  // namespace quorvel
