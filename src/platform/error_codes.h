#pragma once
// Win32 error numbers the engines return; 0 is success. Kept as the system's
// numbers so that a Windows backend can pass GetLastError() through unchanged.
#include <cstdint>
#include <string>

namespace vantor {

using ErrorCode = uint32_t;

inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kErrFileNotFound = 2;
inline constexpr ErrorCode kErrPathNotFound = 3;
inline constexpr ErrorCode kErrAccessDenied = 5;
inline constexpr ErrorCode kErrInvalidHandle = 6;
inline constexpr ErrorCode kErrNotEnoughMemory = 8;
inline constexpr ErrorCode kErrOutOfMemory = 14;
inline constexpr ErrorCode kErrNoImage = 12;          // missing handle or image
inline constexpr ErrorCode kErrInvalidDrive = 15;     // not the expected file system
inline constexpr ErrorCode kErrNotReady = 21;
inline constexpr ErrorCode kErrCrc = 23;
inline constexpr ErrorCode kErrSeek = 25;
inline constexpr ErrorCode kErrWriteFault = 29;
inline constexpr ErrorCode kErrReadFault = 30;
inline constexpr ErrorCode kErrGenFailure = 31;
inline constexpr ErrorCode kErrSharingViolation = 32;
inline constexpr ErrorCode kErrHandleEof = 38;
inline constexpr ErrorCode kErrNotSupported = 50;
inline constexpr ErrorCode kErrFileExists = 80;
inline constexpr ErrorCode kErrInvalidParameter = 87;  // bad parameter or record
inline constexpr ErrorCode kErrDiskFull = 112;
inline constexpr ErrorCode kErrInsufficientBuffer = 122;
inline constexpr ErrorCode kErrInvalidName = 123;
inline constexpr ErrorCode kErrAlreadyExists = 183;
inline constexpr ErrorCode kErrFilenameTooLong = 206;
inline constexpr ErrorCode kErrNotDosDisk = 26;
inline constexpr ErrorCode kErrBadMftRecord = 1200;   // first MFT record is not $MFT
inline constexpr ErrorCode kErrIoDevice = 1117;
inline constexpr ErrorCode kErrCancelled = 1223;

// Maps a POSIX errno value onto the Win32 number Windows would have reported.
ErrorCode ErrorFromErrno(int err);

// The system's text for a code ("Access is denied."), for messages to the user;
// codes without a text give "Error N.".
std::string ErrorText(ErrorCode code);

}  // namespace vantor
