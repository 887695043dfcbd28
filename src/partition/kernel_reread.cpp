#include "partition/kernel_reread.h"

#include <fcntl.h>
#include <linux/blkpg.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantor {

std::string AskKernelToReread(const std::string& path, const RestorePlan& plan, const PartitionRecord& p) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "The kernel was not asked to re-read the partition table: " + std::string(std::strerror(errno)) + ".";
    std::string text;
    if (::ioctl(fd, BLKRRPART) == 0) {
        text = "The kernel re-read the partition table.";
    } else {
        std::string why = std::strerror(errno);
        // Primary entries are numbered 1-4, logical ones from 5 in chain order.
        int number = plan.logical ? 5 + plan.chainIndex : plan.tableSlot + 1;
        blkpg_partition part{};
        part.start = static_cast<long long>(p.startSector) * 512;
        part.length = static_cast<long long>(p.totalBytes);
        part.pno = number;
        blkpg_ioctl_arg arg{};
        arg.op = BLKPG_ADD_PARTITION;
        arg.datalen = sizeof part;
        arg.data = &part;
        if (number > 0 && !plan.logical && ::ioctl(fd, BLKPG, &arg) == 0)
            text = "The kernel could not re-read the whole table (" + why + "); partition " + std::to_string(number) +
                   " was added to it.";
        else
            text = "The kernel did not take the new partition table (" + why +
                   "); it will be read when the drive is attached again.";
    }
    ::close(fd);
    return text;
}

}  // namespace vantor
