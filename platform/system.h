// Operating-system services the core needs beyond files and memory. Each backend under
// platform/ implements them with its own calls; nothing else in the program includes system
// headers.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

enum class DirectoryResult { Created, AlreadyExists, PathNotFound, OtherError };

// One level only, like CreateDirectoryA.
DirectoryResult createDirectory(const char* path);

// The folder for a run's temporary files, with a trailing separator; empty on failure. On POSIX
// the folder is private to the run and removed by removeTemporaryFolder.
std::string temporaryFolder();
void removeTemporaryFolder();

// Moves a file, replacing an existing destination; works across file systems.
bool moveFileReplacing(const char* from, const char* to);
bool deleteFile(const char* path);

// Failure list of an archive run, text holding each failed member's name and a line end:
// a message box on Windows; on POSIX, standard error with the caption, a line that says how many
// of the archive's members failed, and the names.
void showFailureList(const std::string& text, size_t failedCount, size_t memberCount);

// Texts in the console's code page: code page 932 on Windows, UTF-8 on POSIX.
extern const char* const kTextItemsDone;       // " 個終了": "items finished"
extern const char* const kTextFailureCaption;  // "変換できませんでした": "could not convert"

// An archive member name (code page 932) as a file name of this platform: unchanged on Windows,
// converted to UTF-8 on POSIX (the bytes unchanged when they do not convert).
std::string memberNameToNative(const char* cp932Name);
// The reverse, for names that go into an archive: a file name of this platform as code page 932
// bytes (unchanged on Windows, converted from UTF-8 on POSIX). False when it does not convert.
bool nativeNameToMemberName(const std::string& nativeName, std::string& cp932Name);

// The character that starts a command-line switch: '/' on Windows, '-' on POSIX.
extern const char kSwitchChar;

// Open dialog: 1 with the chosen path (at most 259 characters) in path, 2 when cancelled or
// when no dialog can be shown.
int showOpenDialog(char* path, size_t capacity);

}  // namespace quorvel
