// `vantor repair`: the log lines of the log page on stdout, the messages of
// a store whose index is gone, and the exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/cli_runner.h"
#include "support/dbx_builder.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

TEST(RepairCliTest, DbxLogAndMessagesOfAStoreWithoutIndex) {
    test::ScratchDir dir;
    test::DbxPlan plan;
    plan.items = {"Subject: one\r\n\r\nfirst\r\n", "Subject: two\r\n\r\n" + std::string(900, 'z')};
    test::DbxStore store = test::BuildDbx(plan);
    for (uint32_t node : store.treeNodes) std::fill_n(store.bytes.begin() + node, 4, std::byte{0});
    std::ofstream(dir.path() / "Inbox.dbx", std::ios::binary)
        .write(reinterpret_cast<const char*>(store.bytes.data()), static_cast<std::streamsize>(store.bytes.size()));
    std::ofstream(dir.path() / "photo.dbx") << "\xFF\xD8\xFF\xE0 not a store";
    const fs::path out = dir.path() / "out";
    const test::CliRun r = test::RunCli("repair dbx '" + (dir.path() / "Inbox.dbx").string() + "' '" +
                                        (dir.path() / "photo.dbx").string() + "' --to '" + out.string() +
                                        "' --extract-messages --overwrite never");
    const std::string sep(43, '-');
    EXPECT_EQ(r.out, "Selected file: Inbox.dbx\nRepaired\n"
                     "The index is damaged: messages were found by a scan of the store\n"
                     "Messages extracted: 2\n" + sep + "\nSelected file: photo.dbx\nUnsupported format\n" + sep + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::ReadWholeFile(out / "Inbox" / "1.eml"), plan.items[0]);
    EXPECT_EQ(test::ReadWholeFile(out / "Inbox" / "2.eml"), plan.items[1]);
    EXPECT_FALSE(fs::exists(out / "photo.dbx"));
    EXPECT_EQ(test::RunCli("repair pst --to '" + out.string() + "'").status, 2);
}

}  // namespace
}  // namespace vantor
