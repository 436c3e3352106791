// CZkPluginCustomData (declaration only): the custom game data the game posts for plug-ins, kept by
// (bus, game object, plug-in). The renderer's end clears it.
//
// Threading: engine thread. Ownership: the engine's.
#pragma once

namespace ZK::SoundEngine
{
class CZkPluginCustomData
{
public:
    // Not built yet: there is nothing to clear.
    static void Clear() {}
};
} // namespace ZK::SoundEngine
