// LD_PRELOAD shim for tests of a running `vantor`: reads of at least
// VANTOR_SLOW_READ_BYTES bytes stall for VANTOR_SLOW_READ_MS milliseconds,
// as on a failing disk, so a test can signal the tool mid-scan or
// mid-recovery. Small reads (partition tables, boot sectors) stay fast.
#include <dlfcn.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

using PreadFn = ssize_t (*)(int, void*, size_t, off_t);

void MaybeStall(size_t count) {
    static const char* bytes = std::getenv("VANTOR_SLOW_READ_BYTES");
    static const char* ms = std::getenv("VANTOR_SLOW_READ_MS");
    if (!bytes || !ms || count < std::strtoull(bytes, nullptr, 10)) return;
    const long wait = std::strtol(ms, nullptr, 10);
    timespec left{wait / 1000, (wait % 1000) * 1000000L};
    // A stalled disk does not answer sooner because a signal came.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace

extern "C" ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
    static auto real = reinterpret_cast<PreadFn>(dlsym(RTLD_NEXT, "pread"));
    MaybeStall(count);
    return real(fd, buf, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buf, size_t count, off_t offset) {
    static auto real = reinterpret_cast<PreadFn>(dlsym(RTLD_NEXT, "pread64"));
    MaybeStall(count);
    return real(fd, buf, count, offset);
}
