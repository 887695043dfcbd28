#include "platform/error_codes.h"

#include <cerrno>

namespace vantor {

ErrorCode ErrorFromErrno(int err) {
    switch (err) {
        case 0: return kSuccess;
        case ENOENT: return kErrFileNotFound;
        case ENOTDIR: return kErrPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS: return kErrAccessDenied;
        case EBADF: return kErrInvalidHandle;
        case ENOMEM: return kErrNotEnoughMemory;
        case EBUSY: return kErrSharingViolation;
        case EEXIST: return kErrFileExists;
        case EINVAL: return kErrInvalidParameter;
        case ENOSPC: return kErrDiskFull;
        case ENAMETOOLONG: return kErrFilenameTooLong;
        case ENXIO:
        case ENODEV:
        case ENOMEDIUM: return kErrNotReady;
        case ESPIPE: return kErrSeek;
        case EIO: return kErrIoDevice;
        case EOPNOTSUPP: return kErrNotSupported;
        default: return kErrGenFailure;
    }
}

}  // namespace vantor
