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
  ResultCode result = ResultCode::UnknownFormat;
  const InputKind kind = inputKindOf(inputPath);
  bool isArchive = kind == InputKind::Archive;
  bool isPicture = kind == InputKind::Picture;
  if ((isArchive || isPicture) && !baseFits) {
    result = ResultCode::WriteError;
  } else if (isArchive) {
    result = convertArchive(basePath.data(), inputPath, conversion);
  } else if (isPicture) {
    result = convertPictureFile(basePath.data(), inputPath, conversion);
  }

  std::putchar('\n');
  printStatus(result, statusName(inputPath));
  std::fflush(stdout);
  if (result == ResultCode::UnknownFormat) adviseWhenFolder(inputPath);
  return 0;
}

}  // namespace quorvel
