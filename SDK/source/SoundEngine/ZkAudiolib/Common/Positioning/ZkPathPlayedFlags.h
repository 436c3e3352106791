// ZkPathPlayedFlags: which paths of a random playlist were played since the playlist was last
// cleared, one byte per path (1 = played). A node's saved path state and the players started from
// it share one record, so that consecutive plays of the node keep drawing from the same playlist.
//
// Reference counting: Create gives a record with one reference; AddRef takes another; Release
// gives one back and frees the record with the last. Whoever holds the pointer holds a reference.
//
// Threading: the engine thread. Ownership: shared by its holders; record and bytes in memory pool 0.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkPathPlayedFlags
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    uint8_t* bytes;
    uint32_t length;
    uint32_t capacity;
    uint16_t refCount;

    // A record of count cleared flags with one reference; null when memory runs out.
    static ZkPathPlayedFlags* Create(uint32_t count);
    void AddRef() { ++refCount; }
    // Gives back one reference; the last one frees the record (which must not be used after).
    void Release();

    bool AllSet() const;
    void ClearAll();
};
} // namespace ZK::SoundEngine

namespace ZK::SoundEngine
{
// What a node remembers between its plays of a path playlist: the path the next play takes and
// the played flags of a random playlist (one reference held while set).
struct ZkSavedPathState
{
    uint16_t index = 0;
    ZkPathPlayedFlags* flags = nullptr;

    // Gives back the flags' reference and forgets the index.
    void Clear()
    {
        if (flags != nullptr)
            flags->Release();
        flags = nullptr;
        index = 0;
    }
};
} // namespace ZK::SoundEngine
