// Repairing PST and DBX stores: the real Outlook sample damaged field by
// field (read back by readpst), stores of the test builder, files that are
// neither, and the repair run's log and overwrite answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "mail/dbx_extract.h"
#include "mail/dbx_store.h"
#include "mail/mail_repair.h"
#include "mail/pst_header.h"
#include "mail/repair_run.h"
#include "support/dbx_builder.h"
#include "support/scratch_dir.h"
#include "support/scripted_prompt.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::ScratchDir;

const fs::path kSamplePst = fs::path(VANTOR_FIXTURE_DIR) / "dist-list.pst";

void WriteFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
void WriteFile(const fs::path& p, const std::vector<std::byte>& b) {
    WriteFile(p, std::string(reinterpret_cast<const char*>(b.data()), b.size()));
}
void Poke32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// What readpst makes of a store: every output file and its bytes.
std::string ReadpstOutput(const fs::path& pst, const fs::path& dir) {
    fs::create_directories(dir);
    const std::string cmd = "readpst -q -o '" + dir.string() + "' '" + pst.string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return "readpst failed";
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        std::string& text = files[fs::relative(e.path(), dir).string()];
        std::istringstream lines(ReadWholeFile(e.path()));
        // Calendar entries are stamped with the time readpst ran.
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("DTSTAMP:", 0) != 0) text += line + "\n";
    }
    std::string all;
    for (const auto& [name, text] : files) all += name + ":\n" + text;
    return all;
}

struct PstDamage {
    const char* name;
    size_t at;
    std::string bytes;
    bool checksumsRewritten;
};

TEST(PstRepairTest, DamagedSampleComesBackWholeAndReadpstReadsIt) {
    if (std::system("command -v readpst >/dev/null 2>&1") != 0) GTEST_SKIP() << "readpst (pst-utils) is not installed";
    ScratchDir dir;
    const std::string original = ReadWholeFile(kSamplePst);
    ASSERT_EQ(original.size(), 271360u);
    const std::string expected = ReadpstOutput(kSamplePst, dir.path() / "expected");
    ASSERT_NE(expected.find("contact1@rjohnson.id.au"), std::string::npos);
    const PstDamage cases[] = {
        {"signature", 0, std::string(4, '\0'), false},
        {"client magic", 8, "XY", false},  // the CRCs were right for "SM": nothing to rewrite
        {"partial checksum", 4, "\x01\x02\x03\x04", true},
        {"full checksum", 524, "\x01\x02\x03\x04", true},
    };
    for (const PstDamage& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = original;
        damaged.replace(c.at, c.bytes.size(), c.bytes);
        const fs::path src = dir.path() / "damaged.pst", out = dir.path() / "out";
        WriteFile(src, damaged);
        fs::remove_all(out);
        fs::create_directories(out);
        RepairNotes notes;
        EXPECT_EQ(RepairPst(src.string(), (out / "damaged.pst").string(), &notes), kRepairOk);
        EXPECT_EQ(ReadWholeFile(src), damaged) << "the source is never written";
        EXPECT_TRUE(ReadWholeFile(out / "damaged.pst") == original);
        EXPECT_EQ(notes, c.checksumsRewritten ? RepairNotes{kChecksumsRewrittenText} : RepairNotes{});
        EXPECT_EQ(ReadpstOutput(out / "damaged.pst", dir.path() / (std::string("got-") + c.name)), expected);
    }
}

TEST(PstRepairTest, OnlyPersonalFoldersFilesAreStamped) {
    ScratchDir dir;
    std::string jpeg = "\xFF\xD8\xFF\xE0" + std::string(4096, 'j');
    // A PST with three clues gone (version, client version, platform) is no longer trusted either.
    std::string worn = ReadWholeFile(kSamplePst);
    worn.replace(10, 6, std::string(6, '\x7F'));
    const std::pair<const char*, std::string> cases[] = {
        {"jpeg", jpeg}, {"empty", ""}, {"short", "!BDN"}, {"worn", worn}};
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        WriteFile(dir.path() / "in.pst", bytes);
        fs::create_directories(dir.path() / "out");
        EXPECT_EQ(RepairPst((dir.path() / "in.pst").string(), (dir.path() / "out/in.pst").string()), kRepairUnsupported);
        EXPECT_TRUE(fs::is_empty(dir.path() / "out")) << "no copy, no temporary file";
    }
    EXPECT_EQ(RepairPst((dir.path() / "missing.pst").string(), (dir.path() / "out/missing.pst").string()),
              kRepairFailed);
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
    // A destination folder that is the source's own: the copy would replace the source.
    std::string stampless = ReadWholeFile(kSamplePst);
    stampless.replace(0, 4, std::string(4, '\0'));
    WriteFile(dir.path() / "self.pst", stampless);
    EXPECT_EQ(RepairPst((dir.path() / "self.pst").string(), (dir.path() / "self.pst").string()), kRepairFailed);
    EXPECT_TRUE(ReadWholeFile(dir.path() / "self.pst") == stampless);
}

TEST(PstRepairTest, RootsThatAreNoBtreePagesAreReported) {
    ScratchDir dir;
    std::string pst = ReadWholeFile(kSamplePst);
    Poke32(pst, 224, 0x7FFF0000);  // the node tree root, past the end
    Poke32(pst, 240, 0x200);       // the block tree root, at a page that is none
    WriteFile(dir.path() / "in.pst", pst);
    RepairNotes notes;
    ASSERT_EQ(RepairPst((dir.path() / "in.pst").string(), (dir.path() / "out.pst").string(), &notes), kRepairOk);
    EXPECT_EQ(notes, (RepairNotes{kChecksumsRewrittenText, kNodeRootDamagedText, kBlockRootDamagedText}));
    const std::string got = ReadWholeFile(dir.path() / "out.pst");
    const auto span = std::as_bytes(std::span(got.data(), got.size()));
    EXPECT_EQ(PstCrc(span.subspan(8, 471)), readLe32(span, 4));
    EXPECT_EQ(PstCrc(span.subspan(8, 516)), readLe32(span, 524));
}

TEST(PstRepairTest, CrcIsTheFormatsOwn) {
    // Init 0 and no final inversion: the IEEE check value of "123456789"
    // (0xCBF43926) does not come out.
    const std::string s = "123456789";
    EXPECT_EQ(PstCrc(std::as_bytes(std::span(s.data(), s.size()))), 0x2DFD2D88u);
}

std::vector<std::string> Messages() {
    std::vector<std::string> m;
    m.push_back("From: a@example.org\r\nSubject: short\r\n\r\nhello\r\n");
    std::string longer = "From: b@example.org\r\nSubject: three blocks\r\n\r\n";
    for (int i = 0; longer.size() < 1300; ++i) longer += "line " + std::to_string(i) + " of a longer body\r\n";
    m.push_back(longer);
    m.push_back(std::string("From: c@example.org\r\n\r\n") + std::string(512 - 23, 'x'));  // exactly one block
    m.push_back("From: d@example.org\r\n\r\nbinary \x01\x02\xFF tail\r\n");
    return m;
}

struct DbxCase {
    const char* name;
    bool folderStore;
    bool destroyIndex;
    bool damageLocalStore;
    int expected;
};

TEST(DbxRepairTest, StoresGetTheirSignatureBackAndGiveTheirMessages) {
    ScratchDir dir;
    const DbxCase cases[] = {
        {"message store", false, false, false, kRepairOk},
        {"message store, index destroyed", false, true, false, kRepairOk},
        {"message store, LocalStore damaged", false, false, true, kRepairOk},
        {"folder store", true, false, false, kRepairOk},
        {"folder store, index destroyed", true, true, false, kRepairUnsupported},
    };
    for (const DbxCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::DbxPlan plan;
        plan.folderStore = c.folderStore;
        plan.items = c.folderStore ? std::vector<std::string>{"Inbox", "Sent Items", "Drafts"} : Messages();
        test::DbxStore store = test::BuildDbx(plan);
        ASSERT_GE(store.treeNodes.size(), 2u);
        const std::vector<std::byte> intact = store.bytes;
        std::vector<std::byte>& b = store.bytes;
        // A store with its "LocalStore" text loses both signature words; one
        // that has only its class to go by, the first.
        const bool classOnly = c.folderStore || c.damageLocalStore;
        std::fill(b.begin(), b.begin() + (classOnly ? 4 : 8), std::byte{0});
        if (c.damageLocalStore) std::fill(b.begin() + 9409, b.begin() + 9420, std::byte{'?'});
        if (c.destroyIndex)
            for (uint32_t node : store.treeNodes) std::fill(b.begin() + node, b.begin() + node + 0x18, std::byte{0xEE});
        const fs::path src = dir.path() / "Inbox.dbx", out = dir.path() / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        WriteFile(src, b);
        ASSERT_EQ(RepairDbx(src.string(), (out / "Inbox.dbx").string()), c.expected);
        if (c.expected != kRepairOk) {
            EXPECT_TRUE(fs::is_empty(out));
            continue;
        }
        std::vector<std::byte> want = b;
        std::copy(intact.begin(), intact.begin() + 8, want.begin());
        const std::string got = ReadWholeFile(out / "Inbox.dbx");
        EXPECT_TRUE(got == std::string(reinterpret_cast<const char*>(want.data()), want.size()));

        DbxExtraction ex;
        ASSERT_EQ(ExtractDbxMessages(src.string(), (out / "Inbox").string(), ex), kSuccess);
        EXPECT_EQ(ex.byScan, c.destroyIndex);
        if (c.folderStore) {
            EXPECT_EQ(ex.messages, 0);
            continue;
        }
        ASSERT_EQ(ex.messages, static_cast<int>(plan.items.size()));
        for (size_t i = 0; i < plan.items.size(); ++i)
            EXPECT_EQ(ReadWholeFile(out / "Inbox" / (std::to_string(i + 1) + ".eml")), plan.items[i]) << i;
    }
}

TEST(DbxRepairTest, FilesThatAreNoStoreAreUnsupported) {
    ScratchDir dir;
    std::vector<std::byte> noText(9420, std::byte{0});  // long enough, but no text and no class
    std::vector<std::byte> shortStore = test::BuildDbx({}).bytes;
    shortStore.resize(9000);
    const std::vector<std::byte>* cases[] = {&noText, &shortStore};
    for (const auto* bytes : cases) {
        WriteFile(dir.path() / "x.dbx", *bytes);
        fs::create_directories(dir.path() / "out");
        EXPECT_EQ(RepairDbx((dir.path() / "x.dbx").string(), (dir.path() / "out/x.dbx").string()), kRepairUnsupported);
        EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
    }
}

TEST(DbxStoreTest, HostileChainsAndTreesEnd) {
    test::DbxPlan plan;
    plan.items = Messages();
    test::DbxStore store = test::BuildDbx(plan);
    std::vector<std::byte> b = store.bytes;
    // The long message's second block points back at the first: a loop.
    const uint32_t first = store.firstBlocks[1];
    const uint32_t second = readLe32(b, first + 12);
    writeLe32(b, second + 12, first);
    // The last node's entry hangs the root below it: a loop in the tree.
    writeLe32(b, store.treeNodes.back() + 0x18 + 4, store.treeNodes.front());
    MemoryDevice dev(b);
    EXPECT_EQ(WalkDbxChain(dev, first).blocks.size(), 2u);
    std::vector<DbxMessage> byIndex;
    EXPECT_FALSE(DbxMessagesByIndex(dev, byIndex));
    EXPECT_TRUE(byIndex.empty());
    // The looped pair has no head; the third block it cut off is a chain of its own.
    const std::vector<DbxMessage> scanned = DbxMessagesByScan(dev);
    ASSERT_EQ(scanned.size(), plan.items.size());
    for (const DbxMessage& m : scanned) EXPECT_NE(m.blocks.front().offset, first);
}

using test::ScriptedPrompt;

TEST(RepairRunTest, LogLinesAndOverwriteAnswers) {
    ScratchDir dir;
    const fs::path in = dir.path() / "in", out = dir.path() / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    const std::string pst = ReadWholeFile(kSamplePst);
    RepairSettings s;
    s.mode = kRepairModePst;
    s.destination = out.string();
    for (const char* name : {"a.pst", "b.pst", "c.pst", "d.pst", "e.pst"}) {
        WriteFile(in / name, pst);
        s.sources.push_back((in / name).string());
        if (std::string(name) != "e.pst") WriteFile(out / name, "old");
    }
    WriteFile(in / "e.pst", "not a store");
    ScriptedPrompt prompt;
    // a: Yes, b: No, c: Yes to All; d is then replaced without a question.
    prompt.answers = {OverwriteAnswer::Yes, OverwriteAnswer::No, OverwriteAnswer::YesToAll};
    std::vector<std::string> shown;
    const RepairRunResult r = RunRepair(s, prompt, [&](const std::string& log) { shown.push_back(log); });
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{(out / "a.pst").string(), (out / "b.pst").string(),
                                                      (out / "c.pst").string()}));
    const std::string sep = std::string(43, '-') + "\r\n";
    const std::string log = "Selected file: a.pst\r\nRepaired\r\n" + sep + "Selected file: c.pst\r\nRepaired\r\n" +
                            sep + "Selected file: d.pst\r\nRepaired\r\n" + sep +
                            "Selected file: e.pst\r\nUnsupported format\r\n" + sep;
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown.back(), log);
    EXPECT_EQ(ReadWholeFile(out / "b.pst"), "old");
    EXPECT_TRUE(ReadWholeFile(out / "d.pst") == pst);
    EXPECT_FALSE(fs::exists(out / "e.pst"));
    EXPECT_EQ(r.repaired, 3);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_EQ(r.failed, 1);

    // Cancel at the first question writes nothing more.
    WriteFile(out / "a.pst", "old");
    ScriptedPrompt cancel;
    cancel.answers = {OverwriteAnswer::Cancel};
    shown.clear();
    EXPECT_TRUE(RunRepair(s, cancel, [&](const std::string& text) { shown.push_back(text); }).cancelled);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(ReadWholeFile(out / "a.pst"), "old");
}

}  // namespace
}  // namespace vantor
