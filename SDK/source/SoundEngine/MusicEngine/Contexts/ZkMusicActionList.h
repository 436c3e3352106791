// ZkMusicActionList: the time-ordered actions a segment or track context has scheduled (track
// starts and stops, switch marks, clip starts, clip stops, clip events). Actions are kept sorted by
// time; a new action goes after every action of the same time, so actions of one time run in the
// order they were scheduled. Each frame the owner pops the due ones (time <= frame start + length,
// end inclusive) and destroys them.
//
// Threading: engine thread only, under the global engine lock.
// Ownership: the list owns its actions (pool 0); Destroy runs an action's destructor (which gives
// back the references it holds) and frees it.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <new>
#include <utility>

namespace ZK::MusicEngine
{
class CZkMusicChild;

class ZkMusicAction
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    // The kind that stops a child; RemoveStopsOf looks for it.
    static constexpr uint32_t kKindStop = 1;

    explicit ZkMusicAction(int32_t actionTime) : time(actionTime) {}
    virtual ~ZkMusicAction() = default;
    ZkMusicAction(const ZkMusicAction&) = delete;
    ZkMusicAction& operator=(const ZkMusicAction&) = delete;

    virtual uint32_t Kind() const = 0;
    // The child a stop action stops (null for the other kinds).
    virtual const CZkMusicChild* StopTarget() const { return nullptr; }

    // A new action of type Action from pool 0; null out of memory.
    template <typename Action, typename... Args>
    static Action* Create(Args&&... args)
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(Action));
        return memory != nullptr ? new (memory) Action(std::forward<Args>(args)...) : nullptr;
    }
    static void Destroy(ZkMusicAction* action);

    ZkMusicAction* next = nullptr;
    int32_t time;
};

class ZkMusicActionList
{
public:
    ZkMusicActionList() = default;
    ~ZkMusicActionList() { Clear(); }
    ZkMusicActionList(const ZkMusicActionList&) = delete;
    ZkMusicActionList& operator=(const ZkMusicActionList&) = delete;

    // Sorted by time, after every action of the same time.
    void Insert(ZkMusicAction* action);
    // ZK_DataReady and the head action (taken out of the list) when its time is at most from +
    // length; ZK_NoMoreData and null otherwise.
    ZKRESULT PopDue(int32_t from, uint32_t length, ZkMusicAction*& action);
    // Destroys every action.
    void Clear();
    // Destroys every stop action of the child.
    void RemoveStopsOf(const CZkMusicChild* child);
    // Destroys every action for which remove(action) is true.
    template <typename Remove>
    void RemoveIf(Remove remove);

    bool IsEmpty() const { return m_head == nullptr; }
    const ZkMusicAction* First() const { return m_head; }

private:
    ZkMusicAction* m_head = nullptr;
    ZkMusicAction* m_tail = nullptr;
};

template <typename Remove>
void ZkMusicActionList::RemoveIf(Remove remove)
{
    ZkMusicAction* previous = nullptr;
    for (ZkMusicAction* action = m_head; action != nullptr;)
    {
        ZkMusicAction* next = action->next;
        if (remove(*action))
        {
            (previous != nullptr ? previous->next : m_head) = next;
            if (m_tail == action)
                m_tail = previous;
            ZkMusicAction::Destroy(action);
        }
        else
        {
            previous = action;
        }
        action = next;
    }
}
} // namespace ZK::MusicEngine
