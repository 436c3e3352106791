// The PNG decoder over arbitrary bytes: an image is decoded whole or refused with a reason; a
// decoded image holds every texel its size promises, within the limits.
#include "Engine/PngImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{
// The texture size of the GL the tests run on.
constexpr int kMaxSide = 16384;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TEResources::PngImage image = TEResources::PngImage::Decode(data, size, kMaxSide);
    if (image.Texels() == nullptr)
    {
        if (image.Error().empty())
        {
            std::abort();
        }
        return 0;
    }
    const std::int64_t texels = std::int64_t{image.Width()} * image.Height();
    if (image.Width() < 1 || image.Height() < 1 || image.Width() > kMaxSide || image.Height() > kMaxSide ||
        texels > TEResources::kMaxImageTexels || !image.Error().empty())
    {
        std::abort();
    }
    // Every byte is read, so AddressSanitizer sees a buffer shorter than the size claims.
    unsigned sum = 0;
    for (std::int64_t index = 0; index < texels * 4; ++index)
    {
        sum += image.Texels()[index];
    }
    return static_cast<int>(sum & 0u);
}
