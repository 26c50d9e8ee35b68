// End to end on hostile files: every malformed variant of every sub-format and of the archive
// format must end with a status line and the exit code that goes with it, within a time limit,
// writing nothing outside its output folder and leaving no temporary file behind. The variants run
// through the program's driver in this process (a process per file costs far more than the
// conversion); the first variant of each outcome of a family runs through the built quorvel too
// and must print and answer exactly the same. Under the sanitizer build both go through
// AddressSanitizer and UBSan.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/driver.h"
#include "convert/picture_probe.h"
#include "tests/support/test_support.h"
#include "tools/writer/malformed.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

// Generous: a sanitized run of a small file takes well under a second.
constexpr unsigned kSecondsPerFile = 20;

std::string lastLine(const std::string& text) {
  size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return std::string();
  size_t start = text.find_last_of("\r\n", end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

bool isStatusLine(const std::string& line) {
  static const std::regex status(
      R"(complete\.|no memory\.|.*: cannot read\.|.*: cannot write\.|.*: unknown format!)");
  return std::regex_match(line, status);
}

uint32_t u32At(const Bytes& b, size_t offset) {
  return static_cast<uint32_t>(b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) |
                               (static_cast<uint32_t>(b[offset + 3]) << 24));
}

// Every BMP file written must be whole and agree with its own headers.
void expectConsistentBmp(const fs::path& path) {
  Bytes b = test::readFile(path.string());
  ASSERT_GE(b.size(), 54u) << path;
  EXPECT_EQ(b[0], 'B') << path;
  EXPECT_EQ(b[1], 'M') << path;
  EXPECT_EQ(u32At(b, 2), b.size()) << path;
  EXPECT_EQ(u32At(b, 14), 40u) << path;
  uint32_t offset = u32At(b, 10);
  int32_t width = static_cast<int32_t>(u32At(b, 18));
  int32_t height = static_cast<int32_t>(u32At(b, 22));
  uint32_t bits = b[28] | (b[29] << 8);
  EXPECT_GT(width, 0) << path;
  EXPECT_GT(height, 0) << path;
  uint64_t row = (static_cast<uint64_t>(width) * bits / 8 + 3) & ~uint64_t{3};
  EXPECT_EQ(offset + row * static_cast<uint64_t>(height), b.size()) << path;
}

class Workspace {
 public:
  Workspace() : in_(root() / "in"), out_(root() / "out"), tmp_(root() / "tmp") {
    fs::create_directory(in_);
    fs::create_directory(out_);
    fs::create_directory(tmp_);
  }
  fs::path root() const { return scratch_.path(); }
  const fs::path& in() const { return in_; }
  const fs::path& out() const { return out_; }
  const fs::path& tmp() const { return tmp_; }

  std::vector<std::string> arguments(const std::string& inputName, bool raw) const {
    std::vector<std::string> args;
    if (raw) args.push_back("-raw");
    args.push_back("-out:" + out_.string());
    args.push_back((in_ / inputName).string());
    return args;
  }

  test::RunResult runBinary(const std::string& inputName, bool raw) {
    return test::runQuorvel(arguments(inputName, raw), root().string(),
                            {"TMPDIR=" + tmp_.string(),
                             // A refused huge allocation is OutOfMemory, as on a real system.
                             "ASAN_OPTIONS=allocator_may_return_null=1"},
                            kSecondsPerFile);
  }

  // The driver as main calls it, in the workspace, with its standard output and error in files
  // there (left behind, with the input, should the run crash). A run over the time limit ends the
  // test process by SIGALRM.
  test::RunResult runHere(const std::string& inputName, bool raw) {
    std::vector<std::string> args = arguments(inputName, raw);
    args.insert(args.begin(), QUORVEL_BINARY);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const fs::path outPath = root() / ".stdout", errPath = root() / ".stderr";
    const fs::path home = fs::current_path();
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string savedTmpdir = tmpdir != nullptr ? tmpdir : "";
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    redirect(1, outPath);
    redirect(2, errPath);
    fs::current_path(root());
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    ::alarm(kSecondsPerFile);
    test::RunResult result;
    result.exitCode = runDriver(static_cast<int>(args.size()), argv.data());
    ::alarm(0);
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    if (tmpdir != nullptr) {
      ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    fs::current_path(home);
    result.out = test::readText(outPath.string());
    result.err = test::readText(errPath.string());
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
  }

  // Checks what one run left behind, then empties the folders for the next run; the number of
  // files written.
  size_t checkAndReset(const std::string& inputName) {
    std::vector<std::string> top = test::listFolder(root().string());
    EXPECT_EQ(top, (std::vector<std::string>{"in", "out", "tmp"}))
        << "written outside the output folder";
    EXPECT_EQ(test::listFolder(in_.string()), std::vector<std::string>{inputName})
        << "written beside the input";
    EXPECT_TRUE(test::listFolder(tmp_.string()).empty()) << "temporary files left behind";
    std::error_code error;
    size_t written = 0;
    for (auto it = fs::recursive_directory_iterator(out_, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      std::string name = it->path().filename().string();
      EXPECT_EQ(name.find(".qvpart"), std::string::npos) << it->path();
      EXPECT_FALSE(name.size() > 5 && name.substr(name.size() - 5) == ".part") << it->path();
      if (it->is_regular_file()) ++written;
      if (it->is_regular_file() && it->path().extension() == ".bmp") {
        expectConsistentBmp(it->path());
      }
    }
    for (const fs::path& folder : {in_, out_, tmp_}) {
      for (const auto& entry : fs::directory_iterator(folder, error)) fs::remove_all(entry, error);
    }
    for (const std::string& name : test::listFolder(root().string())) {
      if (name != "in" && name != "out" && name != "tmp") fs::remove_all(root() / name, error);
    }
    return written;
  }

 private:
  static void redirect(int stream, const fs::path& path) {
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, stream);
    ::close(file);
  }

  test::ScratchDir scratch_;
  fs::path in_, out_, tmp_;
};

// The driver must be in place: a file of an unknown extension gets its status line.
bool driverAnswers(Workspace& space) {
  test::writeFile((space.in() / "probe.txt").string(), {1, 2, 3});
  test::RunResult result = space.runBinary("probe.txt", false);
  space.checkAndReset("probe.txt");
  return isStatusLine(lastLine(result.out));
}

// The well-formed files must reach the decoder they were made for, so that their variants test
// that decoder and not merely detection.
std::string probedFamily(const Bytes& file) {
  uint8_t probe[kProbeBytes] = {};
  std::copy_n(file.begin(), std::min<size_t>(file.size(), kProbeBytes), probe);
  if (isPxHeader(probe)) return "px";
  if (isLayeredHeader(probe)) return "px40";
  if (isRunStreamHeader(probe)) return "px04";
  if (isTiledWithColoursHeader(probe)) return "px0b";
  if (isTiledBorderedHeader(probe)) return "px0c";
  return "none";
}

TEST(ShapedFiles, EachReachesItsDecoder) {
  for (const writer::ShapedFile& shaped : writer::shapedFiles()) {
    SCOPED_TRACE(shaped.stem);
    if (shaped.extension == "a") {
      EXPECT_EQ(shaped.bytes[0], 0x1E);
      EXPECT_EQ(shaped.bytes[1], 0xAF);
      continue;
    }
    std::string expected = shaped.stem.substr(0, 4);
    if (expected != "px40" && expected != "px04" && expected != "px0b" && expected != "px0c") {
      expected = "px";
    }
    EXPECT_EQ(probedFamily(shaped.bytes), expected);
    for (size_t boundary : shaped.boundaries) EXPECT_LT(boundary, shaped.bytes.size());
    for (const writer::ShapedField& field : shaped.fields) {
      EXPECT_LE(field.offset + field.width, shaped.bytes.size()) << field.name;
    }
  }
}

TEST(ShapedFiles, VariantNamesAreUniqueAndDiffer) {
  std::set<std::string> names;
  std::set<std::string> contents;
  for (const writer::MalformedFile& file : writer::malformedFiles()) {
    EXPECT_TRUE(names.insert(file.name).second) << file.name;
    std::string extension = file.name.substr(file.name.rfind('.'));
    EXPECT_TRUE(
        contents.insert(extension + std::string(file.bytes.begin(), file.bytes.end())).second)
        << file.name;
  }
  EXPECT_GT(names.size(), 500u);
}

class MalformedFiles : public testing::TestWithParam<std::string> {};

// What a run came to: its status line without the input's name, its exit code, whether it wrote
// files, and in which mode.
using Outcome = std::tuple<std::string, int, bool, bool>;

Outcome outcomeOf(const test::RunResult& result, size_t written, bool raw) {
  std::string status = lastLine(result.out);
  size_t nameEnd = status.rfind(": ");
  if (nameEnd != std::string::npos) status = status.substr(nameEnd + 2);
  return {status, result.exitCode, written > 0, raw};
}

void expectStatusLineAndExitCode(const test::RunResult& result) {
  // 0 only for a run that did all it was asked: "complete." and no failed member.
  bool whole = lastLine(result.out) == "complete." &&
               result.err.find("could not be converted") == std::string::npos;
  EXPECT_EQ(result.exitCode, whole ? 0 : 1) << result.err.substr(0, 4000);
  EXPECT_TRUE(isStatusLine(lastLine(result.out))) << "stdout: " << result.out.substr(0, 2000);
}

TEST_P(MalformedFiles, EachEndsWithAStatusLineAndLeavesNothingBehind) {
  Workspace space;
  if (!driverAnswers(space)) GTEST_SKIP() << "the driver prints no status line yet";
  // A run in this process that crashes (a sanitizer's report, SIGALRM) ends the test at once.
  std::fprintf(stderr, "a crash leaves its input, .stdout and .stderr in %s\n",
               space.root().c_str());
  int runs = 0;
  std::set<Outcome> outcomesSeen;
  for (const writer::MalformedFile& file : writer::malformedFiles()) {
    if (file.family != GetParam()) continue;
    SCOPED_TRACE(file.name);
    // Pictures alternate between blended and raw output, so both paths see hostile input.
    const bool raw = runs % 2 == 1;
    ASSERT_TRUE(test::writeFile((space.in() / file.name).string(), file.bytes));
    test::RunResult here = space.runHere(file.name, raw);
    expectStatusLineAndExitCode(here);
    size_t written = space.checkAndReset(file.name);
    if (outcomesSeen.insert(outcomeOf(here, written, raw)).second) {
      SCOPED_TRACE("through the built program");
      ASSERT_TRUE(test::writeFile((space.in() / file.name).string(), file.bytes));
      test::RunResult binary = space.runBinary(file.name, raw);
      EXPECT_EQ(binary.exitCode, here.exitCode);
      EXPECT_EQ(binary.out, here.out);
      EXPECT_EQ(binary.err, here.err);
      EXPECT_EQ(space.checkAndReset(file.name), written);
    }
    ++runs;
  }
  EXPECT_GT(runs, 10);
}

std::vector<std::string> families() {
  std::vector<std::string> stems;
  for (const writer::ShapedFile& shaped : writer::shapedFiles()) stems.push_back(shaped.stem);
  return stems;
}

INSTANTIATE_TEST_SUITE_P(Families, MalformedFiles, testing::ValuesIn(families()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
}  // namespace quorvel
