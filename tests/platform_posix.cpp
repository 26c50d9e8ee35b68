// System services whose behaviour is that of the POSIX backend: a private temporary folder per
// run, and archive member names converted to UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "platform/system.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

TEST(System, TemporaryFolderIsPrivateAndRemoved) {
  std::string folder = temporaryFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(temporaryFolder(), folder);  // one folder per run
  ASSERT_TRUE(test::writeFile(folder + "member", {1}));
  removeTemporaryFolder();
  EXPECT_FALSE(test::fileExists(folder));
}

TEST(System, MemberNamesBecomeUtf8) {
  EXPECT_EQ(memberNameToNative("plain.px"), "plain.px");
  EXPECT_EQ(memberNameToNative("\x95\x5C.px"), "\xE8\xA1\xA8.px");  // U+8868
  EXPECT_EQ(memberNameToNative("\x81"), "\x81");                    // cut short: kept as bytes
}

}  // namespace
}  // namespace quorvel
