// `vantor recover raw` on the carving fixture: 80 files of 25 types made by
// real encoders, placed at 512- and 4096-aligned offsets into random data
// that is generated here from the manifest's seed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/sha256.h"
#include "support/cli_runner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

struct Placed {
    std::string name;
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string sha256;
};

struct Fixture {
    std::vector<Placed> files;  // in offset order
    uint64_t imageSize = 0;
    fs::path image;
};

std::string Sha(const std::string& bytes) {
    Sha256 h;
    h.update(ByteSpan(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()));
    return h.finishHex();
}

// Builds the image once per test into dir.
Fixture Build(const fs::path& dir) {
    const fs::path root = fs::path(VANTOR_FIXTURE_DIR) / "raw-carving";
    std::ifstream man(root / "manifest.tsv");
    Fixture fx;
    std::string line;
    uint64_t seed = 0;
    while (std::getline(man, line)) {
        if (line.empty()) continue;
        std::istringstream in(line);
        if (line[0] == '#') {
            std::string hash, word1, word2;
            in >> hash >> word1 >> seed >> word2 >> fx.imageSize;
            continue;
        }
        Placed p;
        std::getline(in, p.name, '\t');
        in >> p.offset >> p.size >> p.sha256;
        fx.files.push_back(p);
    }
    // splitmix64: filler no file format recognises by more than chance.
    std::string img(fx.imageSize, '\0');
    uint64_t x = seed;
    for (size_t i = 0; i + 8 <= img.size(); i += 8) {
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        std::memcpy(&img[i], &z, 8);
    }
    for (const Placed& p : fx.files) {
        const std::string data = test::ReadWholeFile(root / "files" / p.name);
        EXPECT_EQ(Sha(data), p.sha256) << p.name;
        img.replace(p.offset, data.size(), data);
    }
    fx.image = dir / "carve.img";
    std::ofstream(fx.image, std::ios::binary).write(img.data(), static_cast<std::streamsize>(img.size()));
    return fx;
}

struct Score {
    size_t carved = 0, exact = 0, junk = 0;
};

Score ScoreFolder(const Fixture& fx, const fs::path& out) {
    std::map<std::string, int> wanted;
    for (const Placed& p : fx.files) wanted[p.sha256] = 0;
    Score s;
    for (const auto& e : fs::recursive_directory_iterator(out)) {
        if (!e.is_regular_file()) continue;
        ++s.carved;
        auto it = wanted.find(Sha(test::ReadWholeFile(e.path())));
        if (it == wanted.end()) ++s.junk;
        else if (it->second++ == 0) ++s.exact;
    }
    return s;
}

TEST(RawCarving, FormatEndsBringEveryFileBackByteExact) {
    test::ScratchDir scratch;
    const Fixture fx = Build(scratch.path());
    ASSERT_EQ(fx.files.size(), 80u);
    const fs::path out = scratch.path() / "out";
    const fs::path report = scratch.path() / "report.json";
    const auto r = test::RunCli("--quiet --image '" + fx.image.string() + "' recover raw --drive 0 --to '" +
                                out.string() + "' --report '" + report.string() + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    const Score s = ScoreFolder(fx, out);
    EXPECT_GE(s.exact, 78u);
    EXPECT_LE(s.junk, 3u);
    // One folder per extension, and the report holds every file with its hash.
    EXPECT_TRUE(fs::exists(out / "jpg" / "File0.jpg") || fs::exists(out / "jpg"));
    EXPECT_TRUE(fs::is_directory(out / "png") && fs::is_directory(out / "pdf"));
    const auto j = nlohmann::json::parse(test::ReadWholeFile(report));
    EXPECT_EQ(j["files"].size(), s.carved);
    std::cout << "carving fixture: " << s.carved << " carved, " << s.exact << " byte-exact, " << s.junk << " junk\n";
}

TEST(RawCarving, WithoutFormatEndsFilesRunToTheNextHeader) {
    test::ScratchDir scratch;
    const Fixture fx = Build(scratch.path());
    const auto r = test::RunCli("--quiet --image '" + fx.image.string() +
                                "' scan raw --drive 0 --format-ends off --json 2>/dev/null");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    std::map<uint64_t, uint64_t> sizeAt;  // start byte -> size
    for (const auto& folder : j["tree"]["folders"])
        for (const auto& f : folder["files"])
            sizeAt[std::stoull(f["extra"]["startSector"].get<std::string>()) * 512] = f["size"];
    size_t nextHeader = 0;
    for (size_t i = 0; i < fx.files.size(); ++i) {
        const uint64_t end = i + 1 < fx.files.size() ? fx.files[i + 1].offset : fx.imageSize;
        auto it = sizeAt.find(fx.files[i].offset);
        ASSERT_NE(it, sizeAt.end()) << fx.files[i].name;
        nextHeader += it->second == end - fx.files[i].offset;
    }
    // Headers inside a file (a thumbnail or a stored member on a sector
    // start) may cut one sooner; the rest run exactly to the next file.
    EXPECT_GE(nextHeader, 76u);
}

TEST(RawCarving, TypesAndRangeNarrowTheScan) {
    test::ScratchDir scratch;
    const Fixture fx = Build(scratch.path());
    const auto r = test::RunCli("--quiet --image '" + fx.image.string() +
                                "' scan raw --drive 0 --types jpg,png --first 2048 --json 2>/dev/null");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    size_t want = 0;
    for (const Placed& p : fx.files) {
        const std::string ext = p.name.substr(p.name.rfind('.') + 1);
        want += (ext == "jpg" || ext == "png") && p.offset >= 2048 * 512;
    }
    EXPECT_EQ(j["fileCount"], want);
    const auto bad = test::RunCli("--quiet --image '" + fx.image.string() + "' scan raw --drive 0 --types nosuch 2>&1");
    EXPECT_EQ(bad.status, 3);
    EXPECT_NE(bad.out.find("no signature for the type 'nosuch'"), std::string::npos) << bad.out;
    const auto range = test::RunCli("--quiet --image '" + fx.image.string() + "' scan raw --drive 0 --first 9 --last 9 2>&1");
    EXPECT_EQ(range.status, 2);
    EXPECT_NE(range.out.find("Start sector must be less than end sector"), std::string::npos) << range.out;
}

}  // namespace
}  // namespace vantor
