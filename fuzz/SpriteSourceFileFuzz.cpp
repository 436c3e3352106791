// The sprite-source file reader over arbitrary bytes: a source is read whole or the file is
// refused; a source that was read has at least one row and one column of frames and its image
// under the art folder.
#include "Engine/SpriteSource.h"
#include "support/AssetRejection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    kp::fuzz::RejectingMalformedAssets(
        [&text]
        {
            trindle::JsonFileScope scope("./Assets/Art/Fuzz.json");
            SpriteSource source;
            TEResources::ParseSpriteSourceFile(source, text);
            if (source.numRows < 1 || source.numCols < 1 || source.texture != 0 ||
                source.path.rfind(SpriteSource::kArtFolder, 0) != 0)
            {
                std::abort();
            }
        });
    return 0;
}
