// The program's two Japanese texts, in UTF-8 like every text inside the program; the Windows
// backend shows them through the wide functions.
#include "platform/system.h"

namespace quorvel {

const char* const kTextItemsDone = " \xE5\x80\x8B\xE7\xB5\x82\xE4\xBA\x86";
const char* const kTextFailureCaption =
    "\xE5\xA4\x89\xE6\x8F\x9B\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\xE3\x81"
    "\xA7\xE3\x81\x97\xE3\x81\x9F";

}  // namespace quorvel
