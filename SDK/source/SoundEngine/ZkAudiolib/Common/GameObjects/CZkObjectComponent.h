// The component pattern of game objects: a game object is a small record of optional parts
// (emitter, listener, listener routing, geometry, value list, ...), each created on first need.
// CZkObjectComponent is their base (owner, virtual destructor, Init with the object's id);
// CZkListedComponent<Kind> also links every component of one kind into a global list (appended at
// the tail), so per-kind passes (all emitters, all listeners) need no walk over the objects.
//
// Threading: audio thread, or the game thread under the global engine lock.
// Ownership: a component belongs to its game object, which destroys it (memory pool 4).
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;

class CZkObjectComponent
{
public:
    CZkObjectComponent() = default;
    virtual ~CZkObjectComponent() = default;
    CZkObjectComponent(const CZkObjectComponent&) = delete;
    CZkObjectComponent& operator=(const CZkObjectComponent&) = delete;

    // Called once the component is stored in its object; anything but 1 undoes the creation.
    virtual ZKRESULT Init(ZkGameObjectID) { return ZK_Success; }

    CZkGameObject* owner = nullptr;
};

template <typename Kind>
class CZkListedComponent : public CZkObjectComponent
{
    // Links are kept as base pointers: a component is linked from the base's constructor and
    // unlinked in its destructor, when the Kind part does not exist.
    using Link = CZkListedComponent<Kind>;

public:
    CZkListedComponent()
    {
        m_prev = s_tail;
        (s_tail != nullptr ? s_tail->m_next : s_head) = this;
        s_tail = this;
        ++s_count;
    }
    ~CZkListedComponent() override
    {
        (m_prev != nullptr ? m_prev->m_next : s_head) = m_next;
        (m_next != nullptr ? m_next->m_prev : s_tail) = m_prev;
        --s_count;
    }

    static Kind* First() { return static_cast<Kind*>(s_head); }
    static uint32_t Count() { return s_count; }
    Kind* Next() const { return static_cast<Kind*>(m_next); }

private:
    Link* m_next = nullptr;
    Link* m_prev = nullptr;
    static inline Link* s_head = nullptr;
    static inline Link* s_tail = nullptr;
    static inline uint32_t s_count = 0;
};
} // namespace ZK::SoundEngine
