// The journal engine on ext-journal.img (mke2fs, files written and removed
// through the kernel): every deleted file whose inode copy the journal
// keeps comes back byte-exact, with its name and folder path.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "ext/ext_journal.h"
#include "ext/ext_test_util.h"
#include "platform/sha256.h"

namespace vantor {
namespace {

struct JournalVolume {
    const char* tag;
    uint64_t startSector, sectors;
    uint32_t blockSize, inodeSize;
};
constexpr JournalVolume kVolumes[] = {
    {"ext3k", 2048, 16384, 1024, 128},
    {"ext3f", 18432, 32768, 4096, 256},
    {"ext4j", 51200, 32768, 4096, 256},
};

struct ManifestFile {
    std::string path;
    bool deleted;
    uint64_t size;
    std::string sha256;
};

std::vector<ManifestFile> Manifest(const std::string& tag) {
    std::ifstream in(fattest::FixturePath("ext-journal.txt"));
    std::vector<ManifestFile> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string t, path, state, sha;
        uint64_t size = 0;
        ls >> t >> path >> state >> size >> sha;
        if (t == tag) out.push_back({path, state == "deleted", size, sha});
    }
    return out;
}

std::unique_ptr<CExtVolume> Open(const JournalVolume& v) {
    const std::vector<std::byte> disk = fattest::ReadWholeFile(fattest::FixturePath("ext-journal.img"));
    if (disk.size() < (v.startSector + v.sectors) * 512) return nullptr;
    std::vector<std::byte> bytes(disk.begin() + static_cast<std::ptrdiff_t>(v.startSector * 512),
                                 disk.begin() + static_cast<std::ptrdiff_t>((v.startSector + v.sectors) * 512));
    const uint64_t n = bytes.size();
    return OpenExtVolume(std::make_shared<MemoryDevice>(std::move(bytes)), 0, n);
}

TEST(ExtJournal, DeletedFilesComeBackByteExactWithNamesAndFolders) {
    for (const JournalVolume& jv : kVolumes) {
        SCOPED_TRACE(jv.tag);
        auto vol = Open(jv);
        ASSERT_TRUE(vol && vol->opened()) << (vol ? vol->openReason() : "no image");
        ASSERT_NE(dynamic_cast<CExt3Volume*>(vol.get()), nullptr);
        EXPECT_EQ(vol->blockSize(), jv.blockSize);
        EXPECT_EQ(vol->inodeSize(), jv.inodeSize);
        ProgressFields progress;
        vol->m_bRunning = true;
        ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
        EXPECT_EQ(vol->journalNote(), "");

        std::map<std::string, const ExtFoundFile*> byPath;
        size_t named = 0, withPath = 0;
        for (const auto& r : vol->found()) {
            named += r->nameSource != ExtNameSource::None;
            withPath += r->folderKnown;
            const std::string p = r->folderKnown ? (r->folderPath.empty() ? "" : r->folderPath + "/") + r->nameText()
                                                 : "?/" + r->nameText();
            byPath.emplace(p, r.get());
        }
        size_t deleted = 0, exact = 0;
        for (const ManifestFile& m : Manifest(jv.tag)) {
            auto it = byPath.find(m.path);
            if (!m.deleted) {
                EXPECT_EQ(it, byPath.end()) << "live file listed: " << m.path;
                continue;
            }
            ++deleted;
            if (it == byPath.end()) {
                ADD_FAILURE() << "not found with its path: " << m.path;
                continue;
            }
            std::vector<std::byte> data;
            ASSERT_EQ(vol->ReadToBuffer(*it->second, UINT64_MAX, data), kSuccess) << m.path;
            Sha256 sha;
            sha.update(data);
            const bool same = data.size() == m.size && sha.finishHex() == m.sha256;
            EXPECT_TRUE(same) << m.path;
            exact += same;
        }
        std::printf("[ journal ] %s: deleted %zu, found %zu, exact %zu, named %zu, with path %zu\n", jv.tag, deleted,
                    vol->found().size(), exact, named, withPath);
        EXPECT_EQ(vol->found().size(), deleted);
    }
}

}  // namespace
}  // namespace vantor
