#include "Engine/PngImage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <stb_image.h>
#include <vector>

namespace TEResources
{
namespace
{
constexpr int kRgbaChannels = 4;
// Every PNG file begins with these eight bytes.
constexpr std::array<unsigned char, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The first chunk of a PNG file, its header: 4-byte length 13, type "IHDR", then the width and the
// height as 4-byte big-endian numbers.
constexpr std::size_t kHeaderChunkLengthAt = 8;
constexpr std::size_t kHeaderChunkTypeAt = 12;
constexpr std::size_t kWidthAt = 16;
constexpr std::size_t kHeightAt = 20;
constexpr std::size_t kHeaderEnd = 24;
constexpr std::uint32_t kHeaderChunkLength = 13;

std::uint32_t BigEndian32(const unsigned char* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
           std::uint32_t{bytes[3]};
}

// What is wrong with the file's chunk structure that stb_image would act on before noticing, or
// nothing. Chunks are walked up to the end chunk ("IEND") or the end of the bytes, whichever comes
// first; what lies beyond is left to the decoder.
// - A chunk whose length runs past the end of the file: stb_image grows its buffer for the claimed
//   length before it reads (up to 2 GiB for a file of a hundred bytes).
// - An empty first image data chunk ("IDAT"): stb_image grows its buffer only for a chunk with
//   data, so it would copy the empty one into no buffer at all (a null destination, undefined
//   even for zero bytes).
std::string ChunkStructureFault(const unsigned char* bytes, std::size_t size)
{
    // A chunk: its data's length and its type (which stb_image acts on as soon as it has read
    // them), the data, then a CRC.
    constexpr std::size_t kChunkHead = 8;
    constexpr std::size_t kChunkCrc = 4;
    bool seenImageData = false;
    for (std::size_t at = kHeaderChunkLengthAt; size - at >= kChunkHead;)
    {
        const std::uint32_t length = BigEndian32(bytes + at);
        const unsigned char* type = bytes + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0)
        {
            if (!seenImageData && length == 0)
            {
                return "its first image data chunk is empty";
            }
            seenImageData = true;
        }
        if (length > size - at - kChunkHead || kChunkCrc > size - at - kChunkHead - length)
        {
            return "a chunk of " + std::to_string(length) + " bytes runs past the end of the file";
        }
        if (std::memcmp(type, "IEND", 4) == 0)
        {
            break;
        }
        at += kChunkHead + length + kChunkCrc;
    }
    return std::string();
}

std::string DecoderReason()
{
    // stb_image names a damaged chunk by its type, which in a file cut short reads as four zero
    // bytes, leaving an empty text.
    const char* reason = stbi_failure_reason();
    return reason != nullptr && reason[0] != '\0' ? reason : "damaged or cut short";
}
} // namespace

void PngImage::FreeTexels::operator()(unsigned char* texels) const
{
    stbi_image_free(texels);
}

PngImage PngImage::Refused(std::string error)
{
    PngImage image;
    image.m_error = std::move(error);
    return image;
}

PngImage PngImage::Decode(const unsigned char* bytes, std::size_t size, int maxSide)
{
    if (size < kPngSignature.size() || std::memcmp(bytes, kPngSignature.data(), kPngSignature.size()) != 0)
    {
        return Refused("is not a PNG image");
    }
    if (size > static_cast<std::size_t>(INT_MAX))
    {
        return Refused("is larger than 2 GiB");
    }
    if (size < kHeaderEnd || BigEndian32(bytes + kHeaderChunkLengthAt) != kHeaderChunkLength ||
        std::memcmp(bytes + kHeaderChunkTypeAt, "IHDR", 4) != 0)
    {
        return Refused("cannot be decoded: it does not begin with a PNG header chunk");
    }
    const std::uint32_t width = BigEndian32(bytes + kWidthAt);
    const std::uint32_t height = BigEndian32(bytes + kHeightAt);
    const std::uint32_t side = static_cast<std::uint32_t>(std::max(maxSide, 0));
    if (width > side || height > side ||
        std::uint64_t{width} * height > static_cast<std::uint64_t>(kMaxImageTexels))
    {
        return Refused("is " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels: more than a texture may hold here (" + std::to_string(maxSide) +
                       " pixels a side, " + std::to_string(kMaxImageTexels) + " pixels in all)");
    }
    if (const std::string fault = ChunkStructureFault(bytes, size); !fault.empty())
    {
        return Refused("cannot be decoded: " + fault);
    }
    int channels = 0;
    PngImage image;
    image.m_texels.reset(stbi_load_from_memory(bytes, static_cast<int>(size), &image.m_width, &image.m_height,
                                               &channels, kRgbaChannels));
    if (image.m_texels == nullptr)
    {
        return Refused("cannot be decoded: " + DecoderReason());
    }
    return image;
}

PngImage PngImage::Read(const std::string& path, int maxSide)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
    {
        return Refused(std::string("cannot be opened: ") + std::strerror(errno));
    }
    std::vector<unsigned char> bytes;
    std::array<unsigned char, 65536> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
    {
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    const int readError = std::ferror(file) != 0 ? errno : 0;
    std::fclose(file);
    if (readError != 0)
    {
        return Refused(std::string("cannot be read: ") + std::strerror(readError));
    }
    return Decode(bytes.data(), bytes.size(), maxSide);
}
} // namespace TEResources
