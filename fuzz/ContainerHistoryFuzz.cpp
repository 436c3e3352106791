// The game's container history over arbitrary bytes (SetContainerHistory reading from memory)
// against three playlists of three entries each, loaded from fixed bodies: a random one in global
// scope with an avoid-repeat window of 2, a weighted one and a sequence. Whatever is read, the
// histories left serve selections that stay inside the lists (AddressSanitizer sees the bit
// arrays), and a history written back reads again.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>
#include <ZK/SoundEngine/Common/ZkContainerHistory.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

constexpr std::size_t kNodeBodyBytes = 32; // the common node body with every default

template <typename T>
void Put(std::vector<std::uint8_t>& bytes, T value)
{
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

// A playlist body over entries 10, 11, 12 (no children linked).
std::vector<std::uint8_t> PlaylistBody(ZkUniqueID id, std::uint8_t playMode, std::uint8_t flags,
                                       const std::uint32_t (&weights)[3])
{
    std::vector<std::uint8_t> body;
    Put(body, id);
    body.resize(body.size() + kNodeBodyBytes);
    Put<std::uint16_t>(body, 1);
    Put<std::int16_t>(body, 0);
    Put<std::int16_t>(body, 0);
    for (int time = 0; time < 3; ++time)
        Put<float>(body, 0.0f);
    Put<std::uint16_t>(body, 2);
    Put<std::uint8_t>(body, 0);
    Put<std::uint8_t>(body, 0);
    Put<std::uint8_t>(body, playMode);
    Put<std::uint8_t>(body, flags);
    Put<std::uint32_t>(body, 0);
    Put<std::uint16_t>(body, 3);
    for (std::uint32_t entry = 0; entry < 3; ++entry)
    {
        Put<std::uint32_t>(body, 10 + entry);
        Put<std::uint32_t>(body, weights[entry]);
    }
    return body;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    std::vector<CZkHierarchyNode*> nodes;
    for (ZkUniqueID id = 10; id < 13; ++id)
        nodes.push_back(CZkSoundNode::Create(id));
    const std::uint32_t even[3] = {50000, 50000, 50000};
    const std::uint32_t weighted[3] = {10000, 50000, 200000};
    const std::vector<std::uint8_t> bodies[3] = {PlaylistBody(1, 0, 0x12, even), PlaylistBody(2, 0, 0x02, weighted),
                                                 PlaylistBody(3, 1, 0x16, even)};
    std::vector<CZkPlaylistContainerNode*> playlists;
    for (ZkUniqueID id = 1; id <= 3; ++id)
    {
        CZkPlaylistContainerNode* playlist = CZkPlaylistContainerNode::Create(id);
        Check(playlist != nullptr);
        const std::vector<std::uint8_t>& body = bodies[id - 1];
        Check(CZkPlaylistContainerNode::ReadFromBank(playlist, body.data(), static_cast<std::uint32_t>(body.size()),
                                                     false) == ZK_Success);
        playlists.push_back(playlist);
    }
    std::vector<std::uint8_t> input(data, data + size);
    ZK::ReadBytesMem stream(input.data(), static_cast<std::int32_t>(input.size()));
    const ZKRESULT result = SetContainerHistory(&stream);
    Check(result == ZK_Success || result == ZK_Fail || result == ZK_InsufficientMemory);
    for (CZkPlaylistContainerNode* playlist : playlists)
    {
        for (int play = 0; play < 12; ++play)
        {
            CZkHierarchyNode* child = playlist->SelectForStep(nullptr);
            Check(child == nullptr || (child->ID() >= 10 && child->ID() < 13));
            if (child != nullptr)
                child->Release();
        }
    }
    ZK::WriteBytesMem written;
    written.SetMemPool(ZkMemID_Default);
    Check(GetContainerHistory(&written) == ZK_Success);
    ZK::ReadBytesMem again(written.Bytes(), written.Count());
    Check(SetContainerHistory(&again) == ZK_Success);
    for (CZkPlaylistContainerNode* playlist : playlists)
        playlist->Release();
    for (CZkHierarchyNode* node : nodes)
        node->Release();
    return 0;
}
