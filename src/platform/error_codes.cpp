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

std::string ErrorText(ErrorCode code) {
    switch (code) {
        case kSuccess: return "The operation completed successfully.";
        case kErrFileNotFound: return "The system cannot find the file specified.";
        case kErrPathNotFound: return "The system cannot find the path specified.";
        case kErrAccessDenied: return "Access is denied.";
        case kErrInvalidHandle: return "The handle is invalid.";
        case kErrNotEnoughMemory:
        case kErrOutOfMemory: return "Not enough memory resources are available to complete this operation.";
        case kErrNotReady: return "The device is not ready.";
        case kErrSeek: return "The drive cannot locate a specific area or track on the disk.";
        case kErrWriteFault: return "The system cannot write to the specified device.";
        case kErrReadFault: return "The system cannot read from the specified device.";
        case kErrSharingViolation: return "The process cannot access the file because it is being used by another process.";
        case kErrHandleEof: return "Reached the end of the file.";
        case kErrFileExists:
        case kErrAlreadyExists: return "The file exists.";
        case kErrInvalidParameter: return "The parameter is incorrect.";
        case kErrDiskFull: return "There is not enough space on the disk.";
        case kErrFilenameTooLong: return "The filename or extension is too long.";
        case kErrIoDevice: return "The request could not be performed because of an I/O device error.";
        default: return "Error " + std::to_string(code) + ".";
    }
}

}  // namespace vantor
