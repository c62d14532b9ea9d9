// The platform's last-error value and its numeric codes.
// Every platform call that fails sets the calling thread's last error; callers read it with
// lastError(). Codes keep the device platform's numbers and are never renumbered.
#pragma once

#include <cstdint>

namespace platform {

enum ErrorCode : uint32_t {
    kErrorSuccess = 0,
    kErrorInvalidFunction = 1,
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorTooManyOpenFiles = 4,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorInvalidData = 13,
    kErrorOutOfMemory = 14,
    kErrorNotSameDevice = 17,
    kErrorNoMoreFiles = 18,
    kErrorWriteProtect = 19,
    kErrorGenFailure = 31,
    kErrorSharingViolation = 32,
    kErrorHandleEof = 38,
    kErrorNotSupported = 50,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorBrokenPipe = 109,
    kErrorDiskFull = 112,
    kErrorInsufficientBuffer = 122,
    kErrorInvalidName = 123,
    kErrorDirNotEmpty = 145,
    kErrorBusy = 170,
    kErrorAlreadyExists = 183,
    kErrorBadExeFormat = 193,
    kErrorFilenameExcedRange = 206,
    kErrorMoreData = 234,
    kErrorWaitTimeout = 258,
    kErrorNoMoreItems = 259,
    kErrorNotOwner = 288,
    kErrorBadDatabase = 1009,      // the registry file is not a registry
    kErrorCantOpenKey = 1011,      // the registry cannot be opened
    kErrorRegistryCorrupt = 1015,
    kErrorRegistryIoFailed = 1016,
    kErrorKeyDeleted = 1018,       // an open key was deleted meanwhile
    kErrorIoDevice = 1117,
    kErrorNotFound = 1168,
    kErrorConnectionRefused = 1225,
    kErrorInternalError = 1359,
    kErrorInvalidWindowHandle = 1400,
    kErrorCannotFindWindowClass = 1407,
    kErrorClassAlreadyExists = 1410,
    kErrorInvalidThreadId = 1444,
    kErrorTimeout = 1460,
    kErrorResourceDataNotFound = 1812,
    kErrorResourceTypeNotFound = 1813,
    kErrorResourceNameNotFound = 1814,
    kErrorCantResolveFilename = 1921,
};

// The calling thread's last-error value.
uint32_t lastError();
void setLastError(uint32_t code);

// The one place where errno values become platform codes.
uint32_t errorFromErrno(int errnoValue);

// Sets the last error from errno and returns false, for the common failure path.
bool failWithErrno(int errnoValue);

} // namespace platform
