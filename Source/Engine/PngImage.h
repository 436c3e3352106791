// The game's images: PNG files decoded into 8-bit RGBA texels, top row first, for textures.
//
// The art is PNG, so the decoder is built for PNG alone (StbImage.cpp): a file of another format,
// whatever its name, is refused rather than handed to a decoder the game never needs. An image's
// size is read from its header and checked against the limits before a single texel is decoded,
// so a small file cannot claim a gigabyte: each side at most what a texture of the running GL holds
// (the caller passes GL_MAX_TEXTURE_SIZE), and at most kMaxImageTexels texels in all. The chunks
// are walked too, so that none claims more bytes than the file holds before the decoder sees it.
//
// Threading: the main thread (stb_image keeps the reason of its last failure in one global).
// Ownership: a PngImage owns its texels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace TEResources
{
// The most texels an image may have: a 4096 x 4096 sheet, 64 MiB of RGBA. The game's largest
// sheet has fewer than 2 million.
constexpr std::int64_t kMaxImageTexels = std::int64_t{4096} * 4096;

class PngImage
{
public:
    // RGBA, 4 bytes a texel, rows top to bottom, tightly packed; null when the image was refused.
    const unsigned char* Texels() const { return m_texels.get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // What is wrong with the file, to follow its name in a message ("cannot be opened: No such
    // file or directory", "is not a PNG image", ...); empty when the image was decoded.
    const std::string& Error() const { return m_error; }

    // Decodes the PNG held in `size` bytes. Each side must be at most `maxSide` texels.
    static PngImage Decode(const unsigned char* bytes, std::size_t size, int maxSide);
    // Reads and decodes the PNG file at `path`.
    static PngImage Read(const std::string& path, int maxSide);

private:
    struct FreeTexels
    {
        void operator()(unsigned char* texels) const;
    };
    static PngImage Refused(std::string error);

    std::unique_ptr<unsigned char, FreeTexels> m_texels;
    int m_width = 0;
    int m_height = 0;
    std::string m_error;
};
} // namespace TEResources
