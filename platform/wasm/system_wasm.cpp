// The browser build's operating-system services besides files: no console, no dialog, no
// interrupt; names in code page 932 are decoded by the browser's own Shift JIS decoder, the one
// the page shows texts with.
#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/pending_paths.h"
#include "platform/system.h"

namespace quorvel {

// The page shows results itself; progress and failure lists have no reader here.
bool standardOutputIsTerminal() {
  return false;
}
// The page converts one picture at a time and judges its memory itself.
uint64_t availableMemoryBytes() {
  return 0;
}
void writeOutput(const std::string&) {}
void writeError(const std::string&) {}
void showFailureList(const std::string&, size_t, size_t) {}

int showOpenDialog(char*, size_t) {
  return 2;
}

// Files live in memory: nothing fails for a reason the system could name.
std::string lastSystemErrorText() {
  return {};
}
void clearSystemError() {}
const bool kFileNamesIgnoreCase = false;

// Nothing interrupts a conversion in the page: it ends, or the page goes with all its memory.
void installInterruptCleanup() {}

namespace {

// UTF-8 of a code page 932 name in a block from malloc, or null when it is no valid text (or
// the runtime has no Shift JIS decoder).
// clang-format off
EM_JS(char*, decodeShiftJis, (const char* name, int length), {
  try {
    const text = new TextDecoder("shift_jis", {fatal: true}).decode(HEAPU8.slice(name, name + length));
    const bytes = lengthBytesUTF8(text) + 1;
    const out = _malloc(bytes);
    if (out) stringToUTF8(text, out, bytes);
    return out;
  } catch (e) {
    return 0;
  }
});
// clang-format on

}  // namespace

// As on POSIX: the bytes unchanged when they are no valid code page 932 text.
std::string memberNameToNative(const char* cp932Name) {
  char* decoded = decodeShiftJis(cp932Name, static_cast<int>(std::strlen(cp932Name)));
  if (decoded == nullptr) return cp932Name;
  std::string name(decoded);
  std::free(decoded);
  return name;
}

// The browser decodes Shift JIS but has no encoder for it, and nothing in the page packs: no name
// converts.
bool nativeNameToMemberName(const std::string&, std::string&) {
  return false;
}

bool isUsableFileName(const std::string& nativeName) {
  return nativeName.find('/') == std::string::npos;
}

}  // namespace quorvel
