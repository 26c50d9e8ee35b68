#include "app/batch_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_console.h"
#include "app/batch_inputs.h"
#include "app/batch_outputs.h"
#include "app/driver.h"
#include "app/input_choice.h"
#include "app/status_line.h"
#include "archive/convert_archive.h"
#include "convert/convert_picture.h"
#include "convert/input_kind.h"
#include "convert/ordered_work.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

struct InputOutcome {
  ResultCode result = ResultCode::UnknownFormat;
  ArchiveReport archive;
  std::string reason;                   // why it failed, for standard error
  size_t sameOutput = kNoEarlierInput;  // the earlier input whose output it would meet
};

// Where an input's outputs go, without extension: beside it, or under the out folder (a file
// found beneath a named folder keeps its path from that folder on). False when the path does not
// fit the platform's limit.
bool formBatchBasePath(const OptionParser& parser, const BatchInput& input, std::string& base) {
  std::vector<char> buffer(kPathBufferBytes, '\0');
  if (!parser.hasOption("out")) {
    if (!formBasePath(parser, input.path.c_str(), buffer.data(), buffer.size())) return false;
    base = buffer.data();
    return true;
  }
  std::string joined = joinPath(parser.optionText("out"), input.keptPath);
  if (joined.size() >= buffer.size() || !pathFits(joined.c_str())) return false;
  copyTruncated(buffer.data(), joined.c_str(), buffer.size());
  pathStripExtension(buffer.data());
  base = buffer.data();
  return true;
}

ResultCode convertInput(const BatchInput& input, const std::string& base, bool baseFits,
                        const ConversionOptions& conversion, ArchiveReport& report) {
  const InputKind kind = inputKindOf(input.path.c_str());
  bool isArchive = kind == InputKind::Archive;
  bool isPicture = kind == InputKind::Picture;
  if (!isArchive && !isPicture) return ResultCode::UnknownFormat;
  if (!baseFits) return ResultCode::WriteError;
  // The folders an out folder asks for are made as needed.
  std::string parent = base;
  if (pathCutLastComponent(parent.data()) != nullptr) createDirectoryTree(parent.c_str(), 1);
  if (isArchive) return convertArchive(base.c_str(), input.path.c_str(), conversion, &report);
  return convertPictureFile(base.c_str(), input.path.c_str(), conversion);
}

std::string statusLine(const std::vector<BatchInput>& inputs, size_t i,
                       const InputOutcome& outcome) {
  const BatchInput& input = inputs[i];
  if (outcome.sameOutput != kNoEarlierInput) {
    return input.path + ": not converted: same output as " + inputs[outcome.sameOutput].path + ".";
  }
  switch (input.problem) {
    case BatchInput::Problem::FolderUnreadable:
      return input.path + ": cannot read.";
    case BatchInput::Problem::NothingToConvert:
      return input.path + ": nothing to convert.";
    case BatchInput::Problem::None:
      break;
  }
  if (outcome.result == ResultCode::Success && outcome.archive.failedMembers > 0) {
    return input.path + ": " + std::to_string(outcome.archive.failedMembers) + " of " +
           std::to_string(outcome.archive.selectedMembers) + " members failed.";
  }
  return input.path + ": " + statusWords(outcome.result);
}

bool succeeded(const BatchInput& input, const InputOutcome& outcome) {
  return input.problem == BatchInput::Problem::None && outcome.sameOutput == kNoEarlierInput &&
         outcome.result == ResultCode::Success && outcome.archive.failedMembers == 0;
}

// Inputs whose outputs would meet those of an earlier input are not converted (their base path
// is emptied, so that nothing waits for them); the others keep theirs.
void refuseMeetingOutputs(const std::vector<BatchInput>& inputs, std::vector<std::string>& bases,
                          const ConversionOptions& conversion,
                          std::vector<InputOutcome>& outcomes) {
  std::vector<BatchOutput> outputs(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    outputs[i] = batchOutputOf(inputs[i].path, bases[i], conversion);
  }
  std::vector<size_t> meeting = meetingOutputs(outputs);
  for (size_t i = 0; i < inputs.size(); ++i) {
    outcomes[i].sameOutput = meeting[i];
    if (meeting[i] != kNoEarlierInput) bases[i].clear();
  }
}

// Each failed member as "archive: member", for the one failure list of the run.
std::string prefixedFailures(const std::string& archivePath, const std::string& list) {
  std::string text;
  for (size_t start = 0; start < list.size();) {
    size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    text += archivePath + ": " + list.substr(start, end - start) + "\n";
    start = end + 1;
  }
  return text;
}

}  // namespace

int runBatch(const OptionParser& parser, const RunOptions& options) {
  std::vector<std::string> names;
  if (!chooseInputs(parser, true, names)) {
    printUsage();
    return 0;
  }
  const std::vector<BatchInput> inputs = gatherInputs(names);
  std::vector<std::string> bases(inputs.size());
  std::vector<char> baseFits(inputs.size(), 0);
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].problem == BatchInput::Problem::None) {
      baseFits[i] = formBatchBasePath(parser, inputs[i], bases[i]) ? 1 : 0;
    }
  }
  WorkerBudget workers(options.jobs);
  ConversionOptions conversion = options.conversion;
  conversion.workers = &workers;
  MemoryBudget memory(options.memoryBytes);
  if (options.memoryBytes != 0) conversion.memory = &memory;
  conversion.progress = ProgressText::silent();  // the batch draws its own
  std::vector<InputOutcome> outcomes(inputs.size());
  refuseMeetingOutputs(inputs, bases, conversion, outcomes);
  const std::vector<size_t> after = earlierSameOutput(bases);

  BatchConsole console(inputs.size(), standardOutputIsTerminal());
  FinishedItems finished(inputs.size());
  size_t converted = 0;
  std::string failureList;
  size_t failedMembers = 0;
  size_t archiveMembers = 0;  // of the archives with failed members

  auto work = [&](size_t i) {
    finished.waitFor(after[i]);
    console.begun(inputs[i].path);
    if (inputs[i].problem == BatchInput::Problem::None &&
        outcomes[i].sameOutput == kNoEarlierInput) {
      clearSystemError();
      outcomes[i].result =
          convertInput(inputs[i], bases[i], baseFits[i] != 0, conversion, outcomes[i].archive);
      bool tooLong = outcomes[i].result == ResultCode::WriteError && baseFits[i] == 0;
      outcomes[i].reason = tooLong ? "cannot write: the output path is too long"
                                   : inputFailureReason(inputs[i].path.c_str(), outcomes[i].result);
    }
    finished.markFinished(i);
    console.finished();
    return true;
  };
  auto report = [&](size_t i) {
    console.printLine(statusLine(inputs, i, outcomes[i]));
    if (!outcomes[i].reason.empty()) {
      console.printError("quorvel: " + inputs[i].path + ": " + outcomes[i].reason);
    }
    if (succeeded(inputs[i], outcomes[i])) ++converted;
    const ArchiveReport& archive = outcomes[i].archive;
    if (archive.failedMembers > 0) {
      failureList += prefixedFailures(inputs[i].path, archive.failureList);
      failedMembers += static_cast<size_t>(archive.failedMembers);
      archiveMembers += static_cast<size_t>(archive.selectedMembers);
    }
  };
  runOrdered(inputs.size(), &workers, work, report);
  console.clearProgress();

  size_t failed = inputs.size() - converted;
  std::string summary =
      std::to_string(converted) + " converted, " + std::to_string(failed) + " failed.";
  writeOutput(summary + "\n");
  if (failedMembers > 0) showFailureList(failureList, failedMembers, archiveMembers);
  return failed == 0 ? 0 : 1;
}

}  // namespace quorvel
