// The one translation unit that compiles stb_image's decoder: PNG only, from memory only. The
// game's art is PNG (PngImage.h); every other decoder stb_image carries is left out, so a file
// that merely claims to be art cannot reach one.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#include <stb_image.h>
