// The base of every object of the audio endpoint layer: reference counting (an object is made with
// one reference and destroys itself when the last is released) and QueryInterface, which hands out
// another interface of the same object with a reference added, or kAudioNoInterface.
//
// AudioObject<Interface, Ids...> implements the counting and QueryInterface for a class that
// implements Interface and answers to InterfaceId::Unknown and Ids; the count is atomic, so
// references may be taken and dropped on any thread.
//
// Threading: AddRef and Release from any thread. Ownership: each reference is owned by whoever
// took it and is dropped with Release.
#pragma once

#include "Platform/Audio/AudioResult.h"
#include "Platform/Audio/AudioTypes.h"

#include <atomic>
#include <cstdint>

namespace ZK::Platform
{
class IAudioUnknown
{
public:
    virtual AudioResult QueryInterface(InterfaceId id, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IAudioUnknown() = default;
};

template <typename Interface, InterfaceId... Ids>
class AudioObject : public Interface
{
public:
    AudioResult QueryInterface(InterfaceId id, void** object) override
    {
        if (object == nullptr)
            return kAudioInvalidArgument;
        *object = nullptr;
        if (id != InterfaceId::Unknown && ((id != Ids) && ...))
            return kAudioNoInterface;
        *object = static_cast<Interface*>(this);
        AddRef();
        return kAudioOk;
    }
    uint32_t AddRef() override { return m_references.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() override
    {
        const uint32_t left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    AudioObject() = default;
    ~AudioObject() override = default;

private:
    std::atomic<uint32_t> m_references{1};
};

// Drops a reference and clears the pointer; null does nothing.
template <typename T>
void ReleaseAndClear(T*& object)
{
    if (object != nullptr)
        object->Release();
    object = nullptr;
}
} // namespace ZK::Platform
