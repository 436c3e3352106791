// CZkMusicSilenceContext: what a switch context plays when its decision names nothing that can be
// played (no destination, an id not loaded, a destination that cannot be made, or nesting too
// deep): a chain with one empty item at position 0 that never grows. It plays no object.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: reference-counted (CZkMusicContext, pool 0); the creator holds the first reference.
#pragma once

#include "MusicEngine/Contexts/CZkMusicChainContext.h"

namespace ZK::MusicEngine
{
class CZkMusicSilenceContext final : public CZkMusicChainContext
{
public:
    // A started silence under parentContext holding the creator's reference; null when it cannot
    // be attached or its item cannot be made (it is stopped and freed).
    static CZkMusicSilenceContext* Create(CZkMusicContext& parentContext, CZkRegisteredObj* gameObject,
                                          const ZkMusicPlayInfo& playInfo, uint8_t option);

    explicit CZkMusicSilenceContext(CZkMusicContext* parentContext) : CZkMusicChainContext(parentContext) {}

    CZkMusicNode* GetNode() const override { return nullptr; }
    bool CanContinue() const override { return false; }
};
} // namespace ZK::MusicEngine
