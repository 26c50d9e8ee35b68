// What a folder packs into, from its listing: member names, their order, series subfolders, and
// the refusals that name the entry at fault.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "pack/folder_plan.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

class FolderPlan : public ::testing::Test {
 protected:
  void add(const std::string& name) { ASSERT_TRUE(test::writeFile(path(name), {1})); }
  void addFolder(const std::string& name) { ASSERT_EQ(::mkdir(path(name).c_str(), 0700), 0); }
  std::string path(const std::string& name) const { return scratch_.file(name); }

  std::vector<PlannedMember> plan() {
    std::vector<PlannedMember> members;
    std::string problem;
    bool readable = false;
    EXPECT_TRUE(planFolder(scratch_.path(), members, problem, readable)) << problem;
    return members;
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const PlannedMember& member : plan()) out.push_back(member.name);
    return out;
  }
  // The message of a refused folder.
  std::string refusal() {
    std::vector<PlannedMember> members;
    std::string problem;
    bool readable = false;
    EXPECT_FALSE(planFolder(scratch_.path(), members, problem, readable));
    EXPECT_TRUE(readable);
    return problem;
  }

  test::ScratchDir scratch_;
};

TEST_F(FolderPlan, NamesAndOrderOfTheMembers) {
  for (const char* name : {"b.txt", "a.bmp", "C.PNG", "se.wav", "abcdefghijklmnopqrst.wav",
                           "\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB.txt"}) {
    add(name);
  }
  // Byte order of the code page 932 names; the long sound name ends in ".w", which extraction
  // completes again.
  EXPECT_EQ(names(), (std::vector<std::string>{"C.px", "a.px", "abcdefghijklmnopqrst.w", "b.txt",
                                               "se.wav", "\x83\x5E\x83\x43\x83\x67\x83\x8B.txt"}));
  std::vector<PlannedMember> members = plan();
  EXPECT_EQ(members[0].source, MemberSource::Picture);
  EXPECT_EQ(members[3].source, MemberSource::File);
  EXPECT_EQ(members[3].path, path("b.txt"));
}

TEST_F(FolderPlan, SeriesSubfoldersBecomeOneMember) {
  addFolder("walk");
  for (const char* name : {"walk_0000.bmp", "walk_0002.bmp", "walk_0001.png"}) {
    add("walk/" + std::string(name));
  }
  addFolder("none");  // an empty series extracts to an empty folder
  std::vector<PlannedMember> members = plan();
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].name, "none.px");
  EXPECT_TRUE(members[0].images.empty());
  EXPECT_EQ(members[1].name, "walk.px");
  EXPECT_EQ(members[1].source, MemberSource::Series);
  EXPECT_EQ(members[1].images,
            (std::vector<std::string>{path("walk/walk_0000.bmp"), path("walk/walk_0001.png"),
                                      path("walk/walk_0002.bmp")}));
}

TEST_F(FolderPlan, SubfoldersThatAreNoSeriesAreRefused) {
  addFolder("s");
  const std::vector<std::vector<std::string>> bad = {
      {"s_0000.bmp"},                // one picture: extraction makes no folder of it
      {"s_0000.bmp", "s_0002.bmp"},  // a gap
      {"s_0000.bmp", "s_0001.bmp", "x.txt"},
      {"s_0000.bmp", "s_001.bmp"},  // not "%04d"
      {"s_0000.bmp", "t_0001.bmp"},
      {"s_0000.bmp", "s_0001.BMP"},
  };
  for (const auto& files : bad) {
    for (const std::string& file : files) add("s/" + file);
    EXPECT_NE(refusal().find(path("s")), std::string::npos) << files.back();
    for (const std::string& file : files) ::unlink(path("s/" + file).c_str());
  }
}

TEST_F(FolderPlan, RefusedNamesAreNamed) {
  for (const std::string& name :
       {std::string("a:b.txt"), std::string("back\\slash"), std::string("caf\xC3\xA9.txt"),
        std::string("twenty-four-bytes-long.x")}) {
    add(name);
    EXPECT_NE(refusal().find(path(name)), std::string::npos) << name;
    ::unlink(path(name).c_str());
  }
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_NE(refusal().find("neither a file nor a folder"), std::string::npos);
}

TEST_F(FolderPlan, TwoEntriesOfOneMemberOrOneOutputAreRefused) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"x.bmp", "x.px"}, {"x.bmp", "x.png"}, {"A.txt", "a.TXT"}, {"s.w", "s.wav"}};
  for (const auto& [first, second] : pairs) {
    add(first);
    add(second);
    std::string problem = refusal();
    EXPECT_NE(problem.find(path(first)), std::string::npos) << problem;
    EXPECT_NE(problem.find(path(second)), std::string::npos) << problem;
    ::unlink(path(first).c_str());
    ::unlink(path(second).c_str());
  }
  // A picture and a series of one name.
  add("walk.bmp");
  addFolder("walk");
  add("walk/walk_0000.bmp");
  add("walk/walk_0001.bmp");
  EXPECT_NE(refusal().find("would both become the member walk.px"), std::string::npos);
}

TEST_F(FolderPlan, AnEmptyOrMissingFolder) {
  EXPECT_NE(refusal().find("nothing to pack"), std::string::npos);
  std::vector<PlannedMember> members;
  std::string problem;
  bool readable = true;
  EXPECT_FALSE(planFolder(path("missing"), members, problem, readable));
  EXPECT_FALSE(readable);
}

}  // namespace
}  // namespace quorvel
