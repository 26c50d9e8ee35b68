// Helpers that take apart and build paths held as zero-terminated single-byte text, in place and
// without allocating. The Windows flavours separate with '\' and skip the second byte of code
// page 932 double-byte characters; the one the program uses on Windows also splits at '/', which
// Windows itself accepts and people type. The POSIX flavour separates with '/' and scans plain
// bytes (in UTF-8 and in Shift JIS a '/' is never part of a multi-byte character). Whatever a
// flavour splits at, it joins with its separator.
#pragma once

#include <cstddef>

namespace quorvel {

struct PathFlavour {
  char separator;
  bool sjisAware;    // skip the byte after a code page 932 lead byte when searching separators
  bool slashToo;     // pathAddSeparator also accepts '/' as an existing separator
  bool slashSplits;  // the splitting helpers take '/' for a separator too
};

// The original tool's flavour: '/' is an ordinary byte except at the end of pathAddSeparator.
constexpr PathFlavour kWindowsPaths{'\\', true, true, false};
// Paths a Windows user gives may use '/' anywhere.
constexpr PathFlavour kWindowsUserPaths{'\\', true, true, true};
constexpr PathFlavour kPosixPaths{'/', false, false, false};
extern const PathFlavour kNativePaths;

// Capacity of the path buffers the program fills (terminator included).
extern const size_t kPathCapacity;

bool isSjisLeadByte(unsigned char b);
char* pathFileName(char* path, const PathFlavour& flavour = kNativePaths);
const char* pathFileName(const char* path, const PathFlavour& flavour = kNativePaths);
char* pathCutLastComponent(char* path, const PathFlavour& flavour = kNativePaths);
const char* pathExtension(const char* path);
char* pathExtension(char* path);
void pathStripExtension(char* path);
size_t pathAddSeparator(char* path, const PathFlavour& flavour = kNativePaths);
void pathAppend(char* buffer, const char* name, size_t capacity,
                const PathFlavour& flavour = kNativePaths);
// lstrcpynA: copies at most count - 1 bytes and always terminates (count > 0).
void copyTruncated(char* destination, const char* source, size_t count);
bool equalsIgnoreCase(const char* a, const char* b);

// Creates the folder and its missing parents: 1 on success, 0 on failure, existingOk when the
// folder already exists.
unsigned char createDirectoryTree(const char* path, unsigned char existingOk);
bool createDirectoryPath(char* path);

}  // namespace quorvel
