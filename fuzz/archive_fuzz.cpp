// The archive reader and the archive conversion on a hostile archive file: getArchiveInfo, then
// getFile of every listed member into memory, the listing, then convertArchive of the whole file
// into a scratch folder, its members side by side. No temporary file may outlive the conversion.
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "archive/archive_listing.h"
#include "archive/archive_reader.h"
#include "archive/convert_archive.h"
#include "decoders/bytes.h"
#include "fuzz/fuzz_support.h"
#include "tools/writer/byte_writer.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

void readEveryMember(ArchiveReader& reader, const char* path) {
  std::vector<FileEntry> entries;
  if (reader.getArchiveInfo(path, 0, entries) != ResultCode::Success) {
    if (!entries.empty()) fuzz::fail("getArchiveInfo failed but left a list");
    return;
  }
  // The conversion below walks every member; here the first 256 are enough.
  for (size_t i = 0; i < entries.size() && i < 256; ++i) {
    OwnedBytes member;
    size_t memberBytes = 0;
    if (reader.getFile(path, entries[i].position, member, memberBytes) == ResultCode::Success) {
      if (member == nullptr || memberBytes == 0) fuzz::fail("getFile succeeded without bytes");
      volatile uint8_t sink = member[0] ^ member[memberBytes - 1];
      (void)sink;
    } else if (member != nullptr || memberBytes != 0) {
      fuzz::fail("getFile failed but handed out bytes");
    }
  }
}

}  // namespace

const fs::path& temporaryRoot() {
  static const fs::path root =
      fuzz::scratchFolder().parent_path() / (fuzz::scratchFolder().filename().string() + "-tmp");
  return root;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The conversion makes its private temporary folder in here, and must remove it again.
  fs::create_directory(temporaryRoot());
  setenv("TMPDIR", temporaryRoot().c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A directory that claims thousands of records the file does not hold lists that many
  // nameless members, each a failed extraction: legal, covered by the end-to-end test, and
  // slow enough here to starve everything else.
  if (size >= 4 && loadU16(data + 2) > 64 && 4 + 32 * uint64_t{loadU16(data + 2)} > size) return 0;
  const fs::path& scratch = fuzz::scratchFolder();
  fs::path input = scratch / "input.a";
  fs::path out = scratch / "out";
  if (!writer::saveFile(input.c_str(), writer::Bytes(data, data + size))) {
    fuzz::fail("cannot write the input file");
  }
  ArchiveReader reader;
  readEveryMember(reader, input.c_str());
  std::vector<MemberListing> listed;
  if (listArchive(input.c_str(), NamePatterns("*.px;?*"), listed) == ResultCode::Success &&
      listed.size() > 0xFFFF) {
    fuzz::fail("more members listed than an archive can hold");
  }
  // Members side by side on two threads, as a run with -jobs:2 converts them.
  WorkerBudget workers(2);
  ConversionOptions options;
  options.workers = &workers;
  options.progress = ProgressText::silent();
  convertArchive(out.c_str(), input.c_str(), options);

  std::error_code error;
  if (!fs::is_empty(temporaryRoot(), error)) fuzz::fail("temporary files left behind");
  for (const auto& entry : fs::directory_iterator(scratch, error)) {
    if (entry.path() != input && entry.path() != out) fuzz::fail("file written outside out/");
  }
  // A member may itself be named "*.qvpart"; only look for leftovers when no name can be.
  static const std::string_view kPartial = "qvpart";
  if (std::string_view(reinterpret_cast<const char*>(data), size).find(kPartial) ==
      std::string_view::npos) {
    for (auto it = fs::recursive_directory_iterator(out, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (it->path().extension() == ".qvpart") fuzz::fail("partial output file left behind");
    }
  }
  fuzz::emptyFolder(scratch);
  return 0;
}
