// One archive (extension "a") to a folder of files named after it: every member is extracted
// through a temporary folder of the conversion's own; pictures become BMPs and sounds WAVE files
// on the way. With a worker budget in the options, members are converted side by side; progress
// and the failure list still come in member order.
#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_options.h"
#include "decoders/result_code.h"

namespace quorvel {

// What became of the members, for callers that judge a run by more than its result: an archive
// answers Success even when some of its members failed.
struct ArchiveReport {
  int32_t selectedMembers = 0;  // members taken on (all, or those the patterns chose)
  int32_t failedMembers = 0;
  // One line per failed member: its name, ": " and why it failed ("cut short: ...", "name
  // refused: ...", "cannot write: ...", "not a picture that converts..."), and a line feed.
  std::string failureList;
};

// Without a report the failure list is shown at the end (standard error on POSIX, a message box
// on Windows); with one it goes into the report instead, for the caller to show.
ResultCode convertArchive(const char* outputFolder, const char* archivePath,
                          const ConversionOptions& options = {}, ArchiveReport* report = nullptr);

// Why convertArchive answered result, in a few words for the line beside the status line: "cannot
// read: ..." with the system's message, "not an archive: ...", "cannot write ...". Asked right
// after the conversion, on its thread.
std::string archiveFailureReason(ResultCode result);

}  // namespace quorvel
