// CZkRegisteredObj: the game objects that the registry creates and hands out. Its destruction first
// removes the object's switch values and its scoped game-parameter values, then its components.
//
// Threading and ownership: as CZkGameObject.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"

namespace ZK::SoundEngine
{
class CZkRegisteredObj final : public CZkGameObject
{
public:
    explicit CZkRegisteredObj(ZkGameObjectID id) : CZkGameObject(id) {}
    ~CZkRegisteredObj() override;

    // The object's per-object node list, created on first use; null out of memory.
    CZkPerObjectNodeList* GetOrCreatePerObjectNodeList();
};
} // namespace ZK::SoundEngine
