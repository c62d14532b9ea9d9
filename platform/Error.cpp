#include "platform/Error.h"

#include <cerrno>

namespace platform {

namespace {
thread_local uint32_t t_lastError = kErrorSuccess;
}

uint32_t lastError() { return t_lastError; }

void setLastError(uint32_t code) { t_lastError = code; }

uint32_t errorFromErrno(int errnoValue)
{
    switch (errnoValue) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EXDEV: return kErrorNotSameDevice;
    case EROFS: return kErrorWriteProtect;
    case ETXTBSY: return kErrorSharingViolation;
    case EEXIST: return kErrorAlreadyExists;
    case EINVAL:
    case ESRCH: return kErrorInvalidParameter;
    case ENOEXEC: return kErrorBadExeFormat;
    case EPIPE: return kErrorBrokenPipe;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EBUSY: return kErrorBusy;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case ETIMEDOUT: return kErrorTimeout;
    case ECONNREFUSED: return kErrorConnectionRefused;
    case ELOOP: return kErrorCantResolveFilename;
    case EIO: return kErrorIoDevice;
    case ENOSYS:
    case EOPNOTSUPP: return kErrorNotSupported;
    default: return kErrorGenFailure;
    }
}

bool failWithErrno(int errnoValue)
{
    setLastError(errorFromErrno(errnoValue));
    return false;
}

} // namespace platform
