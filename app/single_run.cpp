#include "app/single_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/input_choice.h"
#include "app/status_line.h"
#include "archive/convert_archive.h"
#include "convert/convert_picture.h"
#include "convert/input_kind.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

int runSingleInput(const OptionParser& parser, const RunOptions& options) {
  warnAboutSeveralNames(parser);
  std::vector<std::string> names;
  if (!chooseInputs(parser, false, names)) {
    printUsage();
    return 0;
  }
  const char* inputPath = names.front().c_str();

  std::vector<char> basePath(kPathBufferBytes, '\0');
  bool baseFits = formBasePath(parser, inputPath, basePath.data(), basePath.size());

  std::puts("Cancel: Ctrl + C");
  std::fflush(stdout);

  // Members of an archive are converted side by side on the run's threads.
  WorkerBudget workers(options.jobs);
  ConversionOptions conversion = options.conversion;
  conversion.workers = &workers;
  MemoryBudget memory(options.memoryBytes);
  if (options.memoryBytes != 0) conversion.memory = &memory;
  ResultCode result = ResultCode::UnknownFormat;
  ArchiveReport report;
  const InputKind kind = inputKindOf(inputPath);
  bool isArchive = kind == InputKind::Archive;
  bool isPicture = kind == InputKind::Picture;
  clearSystemError();
  if ((isArchive || isPicture) && !baseFits) {
    result = ResultCode::WriteError;
  } else if (isArchive) {
    result = convertArchive(basePath.data(), inputPath, conversion, &report);
  } else if (isPicture) {
    result = convertPictureFile(basePath.data(), inputPath, conversion);
  }
  std::string reason = (isArchive || isPicture) && !baseFits
                           ? "cannot write: the output path is too long"
                           : inputFailureReason(inputPath, result);

  std::putchar('\n');
  printStatus(result, statusName(inputPath));
  std::fflush(stdout);
  printFailureReason(statusName(inputPath), reason);
  if (result == ResultCode::UnknownFormat) adviseWhenFolder(inputPath);
  if (report.failedMembers > 0) {
    showFailureList(report.failureList, static_cast<size_t>(report.failedMembers),
                    static_cast<size_t>(report.selectedMembers));
  }
  return result == ResultCode::Success && report.failedMembers == 0 ? 0 : 1;
}

}  // namespace quorvel
