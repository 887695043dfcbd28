#include "dialogs/recovered_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

// A 5 MiB file between two small ones: the bar moves while the big one is
// written, each small file still counts one, and the end is the total.
TEST(RecoveryProgressTest, ABigFileMovesTheBarWhileItIsWritten) {
    test::ScratchDir dir;
    ProgressFields fields;
    const uint64_t big = uint64_t{5} << 20;
    RecoveryProgress steps(fields, 3, big + 200);
    EXPECT_EQ(fields.m_nProgressTotal.load(), 3u + 5u);
    std::atomic<bool> running{true};
    const std::vector<std::byte> mib(size_t{1} << 20, std::byte{7});
    std::vector<uint32_t> seen;
    for (uint64_t size : {uint64_t{100}, big, uint64_t{100}}) {
        steps.beginFile(size);
        RecoveredFile f(&running, &steps, false);
        ASSERT_EQ(f.create((dir.path() / ("f" + std::to_string(size))).string()), kSuccess);
        for (uint64_t done = 0; done < size; done += mib.size()) {
            ASSERT_EQ(f.write(ByteSpan(mib).first(static_cast<size_t>(std::min<uint64_t>(mib.size(), size - done)))),
                      kSuccess);
            seen.push_back(fields.m_nProgressPos.load());
        }
        ASSERT_EQ(f.finish(true), kSuccess);
        steps.endFile();
        seen.push_back(fields.m_nProgressPos.load());
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 7, 8}));
}

// A file stays NAME.partial until it is whole; a stop fails the next write;
// a whole file replaces what stood under its name.
TEST(RecoveredFileTest, OnlyAWholeFileTakesItsName) {
    test::ScratchDir dir;
    const std::string target = (dir.path() / "a.txt").string();
    std::atomic<bool> running{true};
    const std::string text = "hello";
    const ByteSpan bytes(reinterpret_cast<const std::byte*>(text.data()), text.size());
    {
        RecoveredFile f(&running, nullptr, true);
        ASSERT_EQ(f.create(target), kSuccess);
        ASSERT_EQ(f.write(bytes), kSuccess);
        EXPECT_FALSE(fs::exists(target));
        running = false;
        EXPECT_EQ(f.write(bytes), kErrCancelled);
        EXPECT_EQ(f.finish(false), kSuccess);
        EXPECT_TRUE(f.keptPartial());
        EXPECT_EQ(test::ReadWholeFile(target + ".partial"), "hello");
        EXPECT_FALSE(fs::exists(target));
    }
    running = true;
    std::ofstream(target) << "old contents";
    RecoveredFile f(&running, nullptr, true);
    ASSERT_EQ(f.create(target), kSuccess);
    ASSERT_EQ(f.write(bytes), kSuccess);
    ASSERT_EQ(f.skip(3), kSuccess);
    ASSERT_EQ(f.finish(true), kSuccess);
    EXPECT_EQ(test::ReadWholeFile(target), std::string("hello") + std::string(3, '\0'));
    EXPECT_EQ(f.sha256(), "91320de1a87805c93c8ff5be268a86406dd851aac91ad9f420a8f8bf4ddfe02c");
    // A folder under the name fails the file before anything is written.
    fs::create_directory(dir.path() / "d");
    RecoveredFile g(&running, nullptr, false);
    EXPECT_NE(g.create((dir.path() / "d").string()), kSuccess);
    EXPECT_FALSE(fs::exists(dir.path() / "d.partial"));
    // A name with no room for the suffix is written under itself and
    // removed when it does not come back whole.
    const std::string longName = (dir.path() / std::string(250, 'n')).string();
    for (bool whole : {false, true}) {
        RecoveredFile h(&running, nullptr, false);
        ASSERT_EQ(h.create(longName), kSuccess);
        ASSERT_EQ(h.write(bytes), kSuccess);
        EXPECT_EQ(h.finish(whole), kSuccess);
        EXPECT_FALSE(h.keptPartial());
        EXPECT_EQ(fs::exists(longName), whole);
    }
}

}  // namespace
}  // namespace vantor
