#include "Platform/PlatformRandom.h"

#include <cerrno>
#include <sys/random.h>

namespace ZK::Platform
{
bool FillRandomBytes(void* buffer, size_t size)
{
    if (buffer == nullptr && size != 0)
    {
        return false;
    }
    auto* next = static_cast<unsigned char*>(buffer);
    size_t remaining = size;
    // Large requests may be filled in parts, and a signal may interrupt the call.
    while (remaining > 0)
    {
        const ssize_t filled = getrandom(next, remaining, 0);
        if (filled < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            return false;
        }
        next += filled;
        remaining -= static_cast<size_t>(filled);
    }
    return true;
}
} // namespace ZK::Platform
