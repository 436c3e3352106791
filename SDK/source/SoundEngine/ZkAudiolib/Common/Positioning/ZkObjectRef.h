// ZkObjectRef: a held reference to a reference-counted object, given back by Release.
//
// Threading: the thread that owns the holder. Ownership: the reference is the holder's; T is any
// class with a Release operation that gives one reference back.
#pragma once

namespace ZK::SoundEngine
{
template <typename T>
struct ZkObjectRef
{
    T* object = nullptr;

    void Clear() { object = nullptr; }
    // Gives the reference back when one is held, then holds none.
    void Release()
    {
        if (object != nullptr)
            object->Release();
        object = nullptr;
    }
};
} // namespace ZK::SoundEngine
