// Regression tests for what fuzzing found: each input is the smallest file that showed the fault,
// run through the built quorvel as a user would.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/writer/byte_writer.h"

namespace quorvel {
namespace {

using writer::ByteWriter;

struct Outcome {
  test::RunResult run;
  std::vector<std::string> outputs;
  std::vector<std::string> temporaries;
};

// Runs quorvel on the bytes saved under name, with a private temporary folder and output folder.
Outcome convert(const std::string& name, const test::Bytes& bytes,
                const std::vector<std::string>& options = {}) {
  test::ScratchDir scratch;
  std::string in = scratch.file(name);
  std::string out = scratch.file("out");
  std::string tmp = scratch.file("tmp");
  EXPECT_TRUE(test::writeFile(in, bytes));
  std::vector<std::string> args = options;
  args.push_back("-out:" + out);
  args.push_back(in);
  std::filesystem::create_directory(tmp);
  std::filesystem::create_directory(out);
  Outcome outcome;
  outcome.run = test::runQuorvel(args, scratch.path(), {"TMPDIR=" + tmp}, 60);
  outcome.outputs = test::listFolder(out);
  outcome.temporaries = test::listFolder(tmp);
  return outcome;
}

// A layered picture (kind 64) with a 6 x 5 canvas and one 32-bit layer of the given size at
// (0, 0) whose run stream is empty: the picture is all zero whatever the layer's size.
test::Bytes layeredWithEmptyLayer(int32_t layerWidth, int32_t layerHeight) {
  ByteWriter w;
  w.u32(1).zeros(12).u16(64).u16(0).u32(6).u32(5).u32(0);
  w.u32(0);                                                                   // entry table
  w.u32(layerWidth).u32(layerHeight).u32(0).u32(0).u16(0).u16(32).zeros(12);  // layer header
  w.u32(0xFFFFFFFF);                                                          // end of the layer
  return w.take();
}

// Found by fuzz_convert: the layered decoder once sized its work buffer from the layer header
// alone, so a 72-byte file whose layer claims 720896 x 1024 pixels made the program allocate and
// touch more than 2 GB for a 6 x 5 picture. Only the part on the canvas is decoded now.
TEST(HostileInput, HugeLayerOnASmallCanvasTakesLittleMemory) {
  Outcome outcome = convert("layer.px", layeredWithEmptyLayer(0xB0000, 1024));
  EXPECT_EQ(outcome.run.exitCode, 0);
  EXPECT_LT(outcome.run.maxRssKb, 256 * 1024) << "peak memory for a 72-byte file";
  EXPECT_TRUE(outcome.temporaries.empty());
}

}  // namespace
}  // namespace quorvel
