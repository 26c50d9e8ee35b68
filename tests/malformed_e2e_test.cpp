// End to end on hostile files: the built quorvel runs on every malformed variant of every
// sub-format and of the archive format, and must end with a status line and exit code 0, within
// a time limit, writing nothing outside its output folder and leaving no temporary file behind.
// Under the sanitizer build the same runs go through AddressSanitizer and UBSan.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

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

  test::RunResult run(const std::string& inputName, bool raw) {
    std::vector<std::string> args;
    if (raw) args.push_back("-raw");
    args.push_back("-out:" + out_.string());
    args.push_back((in_ / inputName).string());
    return test::runQuorvel(args, root().string(),
                            {"TMPDIR=" + tmp_.string(),
                             // A refused huge allocation is OutOfMemory, as on a real system.
                             "ASAN_OPTIONS=allocator_may_return_null=1"},
                            kSecondsPerFile);
  }

  // Checks what one run left behind, then empties the folders for the next run.
  void checkAndReset(const std::string& inputName) {
    std::vector<std::string> top = test::listFolder(root().string());
    EXPECT_EQ(top, (std::vector<std::string>{"in", "out", "tmp"}))
        << "written outside the output folder";
    EXPECT_EQ(test::listFolder(in_.string()), std::vector<std::string>{inputName})
        << "written beside the input";
    EXPECT_TRUE(test::listFolder(tmp_.string()).empty()) << "temporary files left behind";
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(out_, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      std::string name = it->path().filename().string();
      EXPECT_EQ(name.find(".qvpart"), std::string::npos) << it->path();
      EXPECT_FALSE(name.size() > 5 && name.substr(name.size() - 5) == ".part") << it->path();
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
  }

 private:
  test::ScratchDir scratch_;
  fs::path in_, out_, tmp_;
};

// The driver must be in place: a file of an unknown extension gets its status line.
bool driverAnswers(Workspace& space) {
  test::writeFile((space.in() / "probe.txt").string(), {1, 2, 3});
  test::RunResult result = space.run("probe.txt", false);
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
  for (const writer::MalformedFile& file : writer::malformedFiles()) {
    EXPECT_TRUE(names.insert(file.name).second) << file.name;
  }
  EXPECT_GT(names.size(), 500u);
}

class MalformedFiles : public testing::TestWithParam<std::string> {};

TEST_P(MalformedFiles, EachEndsWithAStatusLineAndLeavesNothingBehind) {
  Workspace space;
  if (!driverAnswers(space)) GTEST_SKIP() << "the driver prints no status line yet";
  int runs = 0;
  for (const writer::ShapedFile& shaped : writer::shapedFiles()) {
    if (shaped.stem != GetParam()) continue;
    for (const writer::MalformedFile& file : writer::malformedVariants(shaped)) {
      SCOPED_TRACE(file.name);
      ASSERT_TRUE(test::writeFile((space.in() / file.name).string(), file.bytes));
      // Pictures alternate between blended and raw output, so both paths see hostile input.
      test::RunResult result = space.run(file.name, runs % 2 == 1);
      // 0 only for a run that did all it was asked: "complete." and no failed member.
      bool whole = lastLine(result.out) == "complete." &&
                   result.err.find("could not be converted") == std::string::npos;
      EXPECT_EQ(result.exitCode, whole ? 0 : 1) << result.err.substr(0, 4000);
      EXPECT_TRUE(isStatusLine(lastLine(result.out))) << "stdout: " << result.out.substr(0, 2000);
      space.checkAndReset(file.name);
      ++runs;
    }
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
