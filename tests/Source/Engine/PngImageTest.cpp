// The PNG decoder of the game's art: the kinds of PNG it decodes to RGBA, and the size limits
// checked before decoding. Files that are refused for what they hold are in TexturesTest.
#include "Engine/PngImage.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using Texels = std::vector<unsigned char>;

// Small PNGs of each kind, kept in the image fuzz corpus.
std::vector<unsigned char> CorpusFile(const char* name)
{
    std::ifstream file(fs::path(KP_SOURCE_DIR) / "fuzz" / "corpus" / "PngImageFuzz" / name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(PngImage, DecodesEveryKindOfPngToRgbaTopRowFirst)
{
    struct DecodeCase
    {
        const char* file;
        int width;
        int height;
        Texels texels;
    };
    const DecodeCase cases[] = {
        {"rgb-2x2.png", 2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 10, 20, 30, 255}},
        // 16 bits a sample keep their high byte.
        {"gray16-3x2.png", 3, 2, {0,   0,   0,   255, 2,   2,   2,   255, 4,   4,   4,   255,
                                  100, 100, 100, 255, 102, 102, 102, 255, 104, 104, 104, 255}},
        // A palette with transparency for its first two entries.
        {"palette-4x1.png", 4, 1, {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 0, 255, 0, 128}},
        {"interlaced-rgba-5x5.png", 5, 5, Texels(5 * 5 * 4, 7)},
    };
    for (const DecodeCase& row : cases)
    {
        SCOPED_TRACE(row.file);
        const std::vector<unsigned char> bytes = CorpusFile(row.file);
        const TEResources::PngImage image = TEResources::PngImage::Decode(bytes.data(), bytes.size(), 16);
        ASSERT_NE(image.Texels(), nullptr) << image.Error();
        EXPECT_EQ(image.Error(), "");
        EXPECT_EQ(image.Width(), row.width);
        EXPECT_EQ(image.Height(), row.height);
        EXPECT_EQ(Texels(image.Texels(), image.Texels() + row.texels.size()), row.texels);
    }
}

TEST(PngImage, SizesBeyondTheLimitsAreRefusedBeforeDecoding)
{
    const std::vector<unsigned char> small = CorpusFile("rgb-2x2.png");
    EXPECT_NE(TEResources::PngImage::Decode(small.data(), small.size(), 2).Texels(), nullptr)
        << "at the limit";
    const TEResources::PngImage tooWide = TEResources::PngImage::Decode(small.data(), small.size(), 1);
    EXPECT_EQ(tooWide.Texels(), nullptr);
    EXPECT_EQ(tooWide.Error(),
              "is 2 x 2 pixels: more than a texture may hold here (1 pixels a side, 16777216 pixels in all)");

    // A header claiming 16384 x 16384 fits a side of 16384 but not the texel budget: a 69-byte
    // file that would otherwise decode to a gigabyte.
    const std::vector<unsigned char> huge = CorpusFile("header-16384-square.png");
    const TEResources::PngImage refused = TEResources::PngImage::Decode(huge.data(), huge.size(), 16384);
    EXPECT_EQ(refused.Texels(), nullptr);
    EXPECT_EQ(refused.Error().rfind("is 16384 x 16384 pixels", 0), 0u) << refused.Error();
}

TEST(PngImage, ChunksTheDecoderWouldMishandleAreRefusedFirst)
{
    // Both found by fuzzing. A chunk claiming more bytes than the file holds made the decoder grow
    // its buffer to 2 GiB before reading; an empty first image data chunk was copied into a buffer
    // not made yet.
    struct FaultCase
    {
        const char* file;
        const char* error;
    };
    const FaultCase cases[] = {
        {"chunk-longer-than-file.png",
         "cannot be decoded: a chunk of 1640653671 bytes runs past the end of the file"},
        {"empty-first-idat.png", "cannot be decoded: its first image data chunk is empty"},
        {"empty-first-idat-cut-short.png", "cannot be decoded: its first image data chunk is empty"},
    };
    for (const FaultCase& row : cases)
    {
        SCOPED_TRACE(row.file);
        const std::vector<unsigned char> bytes = CorpusFile(row.file);
        const TEResources::PngImage image = TEResources::PngImage::Decode(bytes.data(), bytes.size(), 16);
        EXPECT_EQ(image.Texels(), nullptr);
        EXPECT_EQ(image.Error(), row.error);
    }
}
} // namespace
