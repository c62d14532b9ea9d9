#include "platform/Debug.h"

#include "platform/Text.h"

#include <unistd.h>

namespace platform {

void debugOutput(std::u16string_view message) { debugOutputUtf8(utf8FromWide(message)); }

void debugOutputUtf8(std::string_view message)
{
    // One write per message keeps lines of different threads apart.
    size_t done = 0;
    while (done < message.size()) {
        const ssize_t put = ::write(STDERR_FILENO, message.data() + done, message.size() - done);
        if (put <= 0)
            break;
        done += static_cast<size_t>(put);
    }
}

} // namespace platform
