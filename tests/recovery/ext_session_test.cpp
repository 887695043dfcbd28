// The EXT engine behind the page: a file ticked and then filtered out of the
// list is not written.
#include <gtest/gtest.h>

#include <filesystem>

#include "disk/disk_inventory.h"
#include "disk/volume_mount.h"
#include "platform/device_table.h"
#include "recovery/engine_registry.h"
#include "shell/app_state.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompt.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

TEST(ExtSessionTest, OnlyListedTickedFilesAreRecovered) {
    DeviceTable& table = DeviceTable::Global();
    table.attachImages({std::string(VANTOR_FIXTURE_DIR) + "/ext-journal.img"});
    MountVolumes(table);
    CDiskInventory inv;
    inv.Refresh();
    ASSERT_GT(inv.partitionCount(), 3);
    const PartitionRecord record = inv.partition(3);  // the ext4 volume
    auto session = CreateEngineSession(record);
    ASSERT_NE(session, nullptr);
    AppState state;
    state.selectPartition(record);
    std::atomic<bool> running{true};
    ASSERT_EQ(session->scan(ScanKind::Deleted, state, running), kSuccess);
    ASSERT_EQ(session->entries().size(), 20u);
    ASSERT_TRUE(session->setChecked("", true));  // everything, then the filter
    session->pageFilter().namePart = "doc";
    session->setFilterEnabled(true);
    ASSERT_EQ(session->entries().size(), 8u);

    test::ScratchDir scratch;
    test::ScriptedPrompt prompt;
    const RecoveryOutcome out = session->recover(scratch.path().string(), prompt, state, running);
    size_t written = 0;
    for (const auto& e : fs::recursive_directory_iterator(scratch.path())) {
        if (!e.is_regular_file()) continue;
        ++written;
        EXPECT_NE(e.path().filename().string().find("doc"), std::string::npos) << e.path();
    }
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(out.files.size(), 8u);
    table.clear();
}

}  // namespace
}  // namespace vantor
