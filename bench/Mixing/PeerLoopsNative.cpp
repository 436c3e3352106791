// Compiled with -O3 -march=native (bench/CMakeLists.txt). Only the benchmark calls these, on the
// machine that built them.
#include "PeerLoops.h"

namespace PeerNative
{
#include "PeerLoopsBody.inc"
} // namespace PeerNative
