// Ctrl-C on a running `vantor scan` / `vantor recover`: a real SIGINT to the
// tool while a stalled read holds it inside the scan or the recovery.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using Clock = std::chrono::steady_clock;

const std::string kDeleted = std::string(VANTOR_FIXTURE_DIR) + "/ntfs-deleted.img";

struct Child {
    pid_t pid = -1;
    fs::path out, err;
    int status = 0;

    // Waits up to seconds for the tool's stderr to contain text.
    bool waitForError(const std::string& text, int seconds = 30) const {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            if (ReadWholeFile(err).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Waits up to seconds for the tool to end; false while it still runs.
    bool wait(int seconds) {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            if (::waitpid(pid, &status, WNOHANG) == pid) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    ~Child() {
        if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
};

// Starts vantor on the deleted NTFS fixture; reads of stallBytes or more
// take stallMs each.
void Start(Child& c, const fs::path& dir, const std::vector<std::string>& args, size_t stallBytes, int stallMs) {
    c.out = dir / "stdout.txt";
    c.err = dir / "stderr.txt";
    std::vector<std::string> argv{VANTOR_CLI_PATH, "--progress", "--image", kDeleted};
    argv.insert(argv.end(), args.begin(), args.end());
    c.pid = ::fork();
    ASSERT_GE(c.pid, 0);
    if (c.pid == 0) {
        const int out = ::open(c.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(c.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::setenv("LD_PRELOAD", VANTOR_SLOW_READS_PRELOAD, 1);
        ::setenv("VANTOR_SLOW_READ_BYTES", std::to_string(stallBytes).c_str(), 1);
        ::setenv("VANTOR_SLOW_READ_MS", std::to_string(stallMs).c_str(), 1);
        const char* asan = std::getenv("ASAN_OPTIONS");
        ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
}

// The MFT of the fixture comes in one read of 91 KiB; file data in reads of
// 1 MiB. A stall of every read from 64 KiB holds the scan, one from 512 KiB
// only the recovery of big files.
constexpr size_t kStallScan = 64 << 10;
constexpr size_t kStallRecovery = 512 << 10;

TEST(CliInterrupt, ACancelledScanListsNothingAndFails) {
    test::ScratchDir dir("vantor-int-");
    Child c;
    Start(c, dir.path(), {"scan", "deleted", "--partition", "0", "--json"}, kStallScan, 4000);
    ASSERT_TRUE(c.waitForError("Found Deleted Files")) << ReadWholeFile(c.err);
    ::kill(c.pid, SIGINT);
    ASSERT_TRUE(c.wait(30));
    ASSERT_TRUE(WIFEXITED(c.status));
    EXPECT_EQ(WEXITSTATUS(c.status), 1);
    EXPECT_EQ(ReadWholeFile(c.out), "");
    EXPECT_NE(ReadWholeFile(c.err).find("the scan was cancelled; nothing is listed"), std::string::npos)
        << ReadWholeFile(c.err);
}

TEST(CliInterrupt, ACancelledScanRecoversAndReportsNothing) {
    test::ScratchDir dir("vantor-int-");
    const fs::path to = dir.path() / "out", report = dir.path() / "report.json";
    Child c;
    Start(c, dir.path(), {"recover", "deleted", "--partition", "0", "--to", to.string(), "--report", report.string()},
          kStallScan, 4000);
    ASSERT_TRUE(c.waitForError("Found Deleted Files")) << ReadWholeFile(c.err);
    ::kill(c.pid, SIGINT);
    ASSERT_TRUE(c.wait(30));
    ASSERT_TRUE(WIFEXITED(c.status));
    EXPECT_EQ(WEXITSTATUS(c.status), 1);
    EXPECT_FALSE(fs::exists(to));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_NE(ReadWholeFile(c.err).find("the scan was cancelled; nothing was recovered"), std::string::npos);
}

TEST(CliInterrupt, ASecondCtrlCEndsTheToolAtOnce) {
    test::ScratchDir dir("vantor-int-");
    Child c;
    Start(c, dir.path(), {"scan", "deleted", "--partition", "0"}, kStallScan, 20000);
    ASSERT_TRUE(c.waitForError("Found Deleted Files")) << ReadWholeFile(c.err);
    ::kill(c.pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(c.pid, SIGINT);
    // Long before the stalled read would have come back.
    ASSERT_TRUE(c.wait(5));
    EXPECT_TRUE(WIFSIGNALED(c.status) && WTERMSIG(c.status) == SIGINT) << c.status;
}

TEST(CliInterrupt, CtrlCDuringTheRecoveryKeepsTheCurrentFileAsPartial) {
    test::ScratchDir dir("vantor-int-");
    const fs::path to = dir.path() / "out", report = dir.path() / "report.json";
    Child c;
    Start(c, dir.path(), {"recover", "deleted", "--partition", "0", "--to", to.string(), "--report", report.string()},
          kStallRecovery, 1500);
    ASSERT_TRUE(c.waitForError("big-gone.txt")) << ReadWholeFile(c.err);
    ::kill(c.pid, SIGINT);
    ASSERT_TRUE(c.wait(30));
    ASSERT_TRUE(WIFEXITED(c.status));
    EXPECT_EQ(WEXITSTATUS(c.status), 1);
    EXPECT_FALSE(fs::exists(to / "big-gone.txt"));
    ASSERT_TRUE(fs::exists(to / "big-gone.txt.partial"));
    EXPECT_LT(fs::file_size(to / "big-gone.txt.partial"), 4540001u);
    EXPECT_FALSE(fs::exists(to / "filler.bin"));  // the run stopped there
    const std::string err = ReadWholeFile(c.err);
    EXPECT_NE(err.find("Can not recovery file 'big-gone.txt'. Kept as 'big-gone.txt.partial'."), std::string::npos)
        << err;
    EXPECT_NE(ReadWholeFile(c.out).find(", cancelled"), std::string::npos);
    const std::string json = ReadWholeFile(report);
    EXPECT_NE(json.find("\"keptAs\": \"big-gone.txt.partial\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"cancelled\": true"), std::string::npos);
}

}  // namespace
}  // namespace vantor
