#include "app/settings.h"

namespace quorvel {

Settings gSettings;

}  // namespace quorvel
