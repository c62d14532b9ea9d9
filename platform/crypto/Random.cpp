#include "platform/crypto/Random.h"

#include <cerrno>
#include <sys/random.h>

#include "platform/Error.h"

namespace platform {

bool randomBytes(void* buffer, size_t length)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::getrandom(bytes + done, length - done, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failWithErrno(errno);
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace platform
