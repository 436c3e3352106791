// The one translation unit that compiles stb_image_write's implementation, for the tests.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
