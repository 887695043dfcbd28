#include "dialogs/overwrite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace vantor {
namespace {

class ScriptedPrompt : public UserPrompt {
public:
    std::vector<OverwriteAnswer> answers;
    std::vector<std::string> asked;
    void message(const std::string&, const std::string&, MessageIcon) override {}
    OverwriteAnswer confirmOverwrite(const std::string& name) override {
        asked.push_back(name);
        if (answers.empty()) return OverwriteAnswer::Cancel;
        OverwriteAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    bool confirm(const std::string&, const std::string&) override { return false; }
};

class OverwriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("vantor-overwrite-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string existing(const std::string& name) {
        std::ofstream(dir_ / name) << "old";
        return (dir_ / name).string();
    }
    std::filesystem::path dir_;
};

TEST(OverwriteTextTest, Texts) {
    EXPECT_EQ(OverwriteMessageText("a.txt"), "This folder already contains a file named 'a.txt'");
    EXPECT_STREQ(kOverwriteSecondLine, "Would you like to overwrite the exsisting file?");
}

TEST_F(OverwriteTest, MissingFileIsWrittenWithoutAsking) {
    ScriptedPrompt p;
    OverwriteGuard g(p);
    EXPECT_EQ(g.check((dir_ / "new.txt").string(), "new.txt"), OverwriteDecision::Write);
    EXPECT_TRUE(p.asked.empty());
}

TEST_F(OverwriteTest, FolderOfThatNameIsNotAnExistingFile) {
    ScriptedPrompt p;
    OverwriteGuard g(p);
    std::filesystem::create_directory(dir_ / "sub");
    EXPECT_EQ(g.check((dir_ / "sub").string(), "sub"), OverwriteDecision::Write);
    EXPECT_TRUE(p.asked.empty());
}

TEST_F(OverwriteTest, YesToAllStopsAsking) {
    ScriptedPrompt p;
    p.answers = {OverwriteAnswer::YesToAll};
    OverwriteGuard g(p);
    g.startRun();
    EXPECT_EQ(g.check(existing("a"), "a"), OverwriteDecision::Write);
    EXPECT_FALSE(g.asking());
    EXPECT_EQ(g.check(existing("b"), "b"), OverwriteDecision::Write);
    EXPECT_EQ(p.asked, std::vector<std::string>{"a"});
    // A new run asks again.
    g.startRun();
    EXPECT_EQ(g.check(existing("c"), "c"), OverwriteDecision::Stop);
}

TEST_F(OverwriteTest, YesNoCancel) {
    ScriptedPrompt p;
    p.answers = {OverwriteAnswer::Yes, OverwriteAnswer::No, OverwriteAnswer::Cancel};
    OverwriteGuard g(p);
    const std::string a = existing("a");
    EXPECT_EQ(g.check(a, "a"), OverwriteDecision::Write);
    EXPECT_TRUE(g.asking());
    EXPECT_EQ(g.check(a, "a"), OverwriteDecision::Skip);
    EXPECT_EQ(g.check(a, "shown name"), OverwriteDecision::Stop);
    EXPECT_EQ(p.asked.back(), "shown name");
}

TEST(OverwriteApplyTest, UnknownCodeStops) {
    ScriptedPrompt p;
    OverwriteGuard g(p);
    EXPECT_EQ(g.apply(static_cast<OverwriteAnswer>(7)), OverwriteDecision::Stop);
}

}  // namespace
}  // namespace vantor
