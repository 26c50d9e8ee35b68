#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

void writeOutput(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void writeError(const std::string& text) {
  std::fflush(stdout);
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

DirectoryResult createDirectory(const char* path) {
  if (::mkdir(path, 0777) == 0) return DirectoryResult::Created;
  switch (errno) {
    case EEXIST:
      return DirectoryResult::AlreadyExists;
    case ENOENT:
      return DirectoryResult::PathNotFound;
    default:
      return DirectoryResult::OtherError;
  }
}

namespace {

bool copyFile(const char* from, const char* to) {
  int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool ok = out >= 0;
  // Per call: moves run on several threads at once.
  std::vector<char> buffer(1 << 16);
  while (ok) {
    ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      ok = put > 0;
      if (ok) done += put;
    }
  }
  ::close(in);
  if (out >= 0 && ::close(out) != 0) ok = false;
  if (!ok && out >= 0) ::unlink(to);
  return ok;
}

}  // namespace

bool moveFileReplacing(const char* from, const char* to) {
  if (::rename(from, to) == 0) return true;
  if (errno != EXDEV) return false;
  // Across file systems (a tmpfs /tmp is common): copy beside the target, then rename into
  // place, so that a failed copy never leaves a truncated file under the final name.
  std::string partial = std::string(to) + ".part";
  if (!copyFile(from, partial.c_str())) return false;
  if (::rename(partial.c_str(), to) != 0) {
    ::unlink(partial.c_str());
    return false;
  }
  ::unlink(from);
  return true;
}

bool deleteFile(const char* path) {
  int kept = errno;
  bool deleted = ::unlink(path) == 0;
  errno = kept;
  return deleted;
}

namespace {

// The memory limit of the control group the process runs in (version 2, then version 1); 0 for
// none ("max", or a number beyond any machine).
uint64_t containerMemoryLimit() {
  for (const char* path :
       {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) continue;
    unsigned long long limit = 0;
    const bool read = std::fscanf(file, "%llu", &limit) == 1;
    std::fclose(file);
    if (read && limit > 0 && limit < (1ull << 60)) return limit;
  }
  return 0;
}

}  // namespace

uint64_t availableMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  uint64_t physical = pages > 0 && pageSize > 0
                          ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)
                          : 0;
  const uint64_t container = containerMemoryLimit();
  if (container != 0 && (physical == 0 || container < physical)) physical = container;
  return physical;
}

std::string lastSystemErrorText() {
  if (errno == 0) return {};
  return std::error_code(errno, std::generic_category()).message();
}

void clearSystemError() {
  errno = 0;
}

const bool kFileNamesIgnoreCase = false;

bool standardOutputIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

// The caption is kept for those who read it; the line after it says the same to everyone else.
// The list starts on a line of its own: standard output may have left the progress line open.
void showFailureList(const std::string& text, size_t failedCount, size_t memberCount) {
  std::fflush(stdout);
  std::string report = std::string("\n") + kTextFailureCaption +
                       "\nquorvel: " + std::to_string(failedCount) + " of " +
                       std::to_string(memberCount) + " members could not be converted; " +
                       (failedCount == 1 ? "it is" : "they are") + " listed below:\n" + text;
  std::fputs(report.c_str(), stderr);
  std::fflush(stderr);
}

namespace {

// Converts text between two character sets with iconv; false when any of it does not convert.
// room: output bytes per input byte that always suffice.
bool convertText(const char* to, const char* from, const std::string& input, size_t room,
                 std::string& output) {
  iconv_t converter = ::iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = input;
  std::string out(in.size() * room + 4, '\0');
  char* inAt = in.data();
  size_t inLeft = in.size();
  char* outAt = out.data();
  size_t outLeft = out.size();
  size_t converted = ::iconv(converter, &inAt, &inLeft, &outAt, &outLeft);
  ::iconv_close(converter);
  if (converted == static_cast<size_t>(-1) || inLeft != 0) return false;
  out.resize(out.size() - outLeft);
  output = out;
  return true;
}

}  // namespace

std::string memberNameToNative(const char* cp932Name) {
  std::string output;
  return convertText("UTF-8", "CP932", cp932Name, 3, output) ? output : std::string(cp932Name);
}

bool nativeNameToMemberName(const std::string& nativeName, std::string& cp932Name) {
  // Code page 932 never takes more bytes than UTF-8 for the same text.
  return convertText("CP932", "UTF-8", nativeName, 1, cp932Name);
}

bool isUsableFileName(const std::string& nativeName) {
  // Bytes that did not convert are kept as they are: none of them may be taken for a separator.
  return nativeName.find('/') == std::string::npos;
}

}  // namespace quorvel
