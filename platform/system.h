// Operating-system services the core needs beyond files and memory. Each backend under
// platform/ implements them with its own calls; nothing else in the program includes system
// headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

enum class DirectoryResult { Created, AlreadyExists, PathNotFound, OtherError };

// One level only, like CreateDirectoryA.
DirectoryResult createDirectory(const char* path);

// Moves a file, replacing an existing destination; works across file systems.
bool moveFileReplacing(const char* from, const char* to);
// Cleaning up: leaves the thread's last system error (see lastSystemErrorText) as it was.
bool deleteFile(const char* path);

// The system's message for the error of this thread's last failed call (errno on POSIX,
// GetLastError on Windows), such as "Permission denied"; empty when none is recorded since
// clearSystemError. Asked right after a failure, on the thread that met it.
std::string lastSystemErrorText();
void clearSystemError();

// True when standard output is a terminal (a console on Windows), where progress may be drawn
// as one line that updates itself; false for a pipe or a file.
bool standardOutputIsTerminal();

// The memory this process can have: the machine's physical memory, or the limit of the
// container it runs in where that is lower; 0 when it cannot be told.
uint64_t availableMemoryBytes();

// Failure list of an archive run, text holding each failed member's name and a line end:
// a message box on Windows; on POSIX, standard error with the caption, a line that says how many
// of the archive's members failed, and the names.
void showFailureList(const std::string& text, size_t failedCount, size_t memberCount);

// Standard output: the text (UTF-8) as it is on POSIX; on Windows as characters on a console,
// in the system's code page into a file or pipe. Flushed, so that progress shows at once.
void writeOutput(const std::string& text);
// The same for standard error.
void writeError(const std::string& text);

// The program's Japanese texts, UTF-8.
extern const char* const kTextItemsDone;       // " 個終了": "items finished"
extern const char* const kTextFailureCaption;  // "変換できませんでした": "could not convert"

// An archive member name (code page 932) as a file name of the program: converted to UTF-8 (on
// POSIX the bytes unchanged when they do not convert; on Windows as the system's own code page
// 932 conversion gives them).
std::string memberNameToNative(const char* cp932Name);
// The reverse, for names that go into an archive: a file name of the program (UTF-8) as code
// page 932 bytes. False when it does not convert.
bool nativeNameToMemberName(const std::string& nativeName, std::string& cp932Name);

// Whether a member's file name (as memberNameToNative gives it) can be created in a folder of
// this platform as one file of that very name: on POSIX no '/'; on Windows none of the characters
// that Windows refuses in file names, no device name (CON, NUL.txt, com1, ...) and not only dots
// and spaces.
bool isUsableFileName(const std::string& nativeName);

// Whether the file system takes names that differ only in the case of letters for the same file:
// true on Windows, false on POSIX (where some file systems still do).
extern const bool kFileNamesIgnoreCase;

// The character that starts a command-line switch: '/' on Windows, '-' on POSIX.
extern const char kSwitchChar;

// Open dialog: 1 with the chosen path (at most 259 characters) in path, 2 when cancelled or
// when no dialog can be shown.
int showOpenDialog(char* path, size_t capacity);

}  // namespace quorvel
