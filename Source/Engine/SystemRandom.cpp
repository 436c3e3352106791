#include "Engine/SystemRandom.h"

#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>
#include <cerrno>
#include <sys/random.h>
#include <system_error>

namespace trindle
{
void FillRandomBytes(void* buffer, std::size_t size)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t filled = 0;
    while (filled < size)
    {
        const ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        filled += static_cast<std::size_t>(got);
    }
}

SystemRandomBits::result_type SystemRandomBits::operator()()
{
    result_type value = 0;
    FillRandomBytes(&value, sizeof(value));
    return value;
}

std::string RandomUuidText()
{
    SystemRandomBits source;
    boost::uuids::basic_random_generator<SystemRandomBits> generate(source);
    return boost::uuids::to_string(generate());
}
} // namespace trindle
