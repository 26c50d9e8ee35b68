// Helpers that take apart and build paths held as zero-terminated single-byte text, in place and
// without allocating. The code page 932 flavours of Windows separate with '\' and skip the second
// byte of double-byte characters; the one the program uses on Windows holds UTF-8, which needs no
// skipping, and also splits at '/', which Windows itself accepts and people type. The POSIX
// flavour separates with '/' and scans plain bytes (in UTF-8 and in Shift JIS a '/' is never part
// of a multi-byte character). Whatever a flavour splits at, it joins with its separator.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

struct PathFlavour {
  char separator;
  bool sjisAware;    // skip the byte after a code page 932 lead byte when searching separators
  bool slashToo;     // pathAddSeparator also accepts '/' as an existing separator
  bool slashSplits;  // the splitting helpers take '/' for a separator too
};

// Windows paths as the program forms them: '/' is an ordinary byte except at the end of
// pathAddSeparator.
constexpr PathFlavour kWindowsPaths{'\\', true, true, false};
// Paths a Windows user gives may use '/' anywhere.
constexpr PathFlavour kWindowsUserPaths{'\\', true, true, true};
// The same held as UTF-8, the program's form of every path on Windows: no byte of a multi-byte
// character is a separator.
constexpr PathFlavour kWindowsUtf8Paths{'\\', false, true, true};
constexpr PathFlavour kPosixPaths{'/', false, false, false};
extern const PathFlavour kNativePaths;

// The longest path the platform takes, terminator included, in its own units: 260 UTF-16 units
// on Windows (what the ANSI functions took), 4096 bytes on POSIX. pathUnits counts a path's.
extern const size_t kPathCapacity;
size_t pathUnits(const char* path);
inline bool pathFits(const char* path) {
  return pathUnits(path) < kPathCapacity;
}
// Bytes a buffer needs for any path the platform takes, in the program's text (UTF-8).
extern const size_t kPathBufferBytes;
// The full path of an existing file or folder, "." and ".." resolved; "" when it cannot be told.
std::string fullPath(const char* path);

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
// Copies at most count - 1 bytes and always terminates (count > 0): a source that does not fit
// is cut short.
void copyTruncated(char* destination, const char* source, size_t count);
bool equalsIgnoreCase(const char* a, const char* b);

// Creates the folder and its missing parents: 1 on success, 0 on failure, existingOk when the
// folder already exists.
unsigned char createDirectoryTree(const char* path, unsigned char existingOk);
bool createDirectoryPath(char* path);

}  // namespace quorvel
