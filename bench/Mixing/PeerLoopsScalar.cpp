// Compiled with -O2 -fno-tree-vectorize (bench/CMakeLists.txt).
#include "PeerLoops.h"

namespace PeerScalar
{
#include "PeerLoopsBody.inc"
} // namespace PeerScalar
