// The mesh file reader over arbitrary bytes: a mesh is read whole or the file is refused; a mesh
// that was read holds exactly the vertices its count promises.
#include "Engine/Mesh.h"
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
            trindle::JsonFileScope scope("./Assets/Mesh/Fuzz.json");
            const Mesh mesh = TEResources::ParseMeshFile(text);
            if (mesh.vertexCount < 0 || static_cast<std::size_t>(mesh.vertexCount) != mesh.vertices.size())
            {
                std::abort();
            }
        });
    return 0;
}
