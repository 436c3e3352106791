// BankRequestQueue: the first-in first-out queue of the bank thread's requests, copied by value into
// nodes. Ten nodes are allocated once at Init and reused, so queuing a request normally allocates
// nothing; a request that finds them all in use gets a node of its own, freed again after use.
//
// Threading: none of its own; the threaded bank manager's queue lock guards every call.
// Ownership: the queue owns its nodes (memory pool 0); a queued request's holdings (name, id
// arrays) belong to the request until it is taken out.
#pragma once

#include "ZkAudiolib/Common/Banks/BankRequest.h"
#include "ZkAudiolib/Common/Containers/ZkPooledList.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class BankRequestQueue
{
public:
    static constexpr uint32_t kPreallocatedNodes = 10;

    BankRequestQueue() = default;
    ~BankRequestQueue() { Term(); }
    BankRequestQueue(const BankRequestQueue&) = delete;
    BankRequestQueue& operator=(const BankRequestQueue&) = delete;

    // The block of preallocated nodes. 1, or 52.
    ZKRESULT Init() { return m_nodes.Init(kPreallocatedNodes); }
    // Frees every node; requests still queued are dropped with their holdings.
    void Term();

    // Appends a copy of the request. False when no node is free and none can be allocated.
    bool Push(const BankRequest& request) { return m_nodes.Append({request, nullptr}) != nullptr; }
    // Takes the last request pushed out again (its submission failed after the push).
    void PopLast();
    // Moves the oldest request into request. False when the queue is empty.
    bool Pop(BankRequest& request);

    uint32_t Length() const { return m_nodes.Length(); }
    // Nodes allocated beyond the preallocated block and not yet freed.
    uint32_t ExtraNodes() const;

private:
    struct Node
    {
        BankRequest request;
        Node* next = nullptr;
    };

    ZK::ZkPooledList<Node> m_nodes;
};
} // namespace ZK::SoundEngine
