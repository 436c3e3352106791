// A recursive critical section: the thread that holds it may enter it again (the engine re-enters
// its locks); every Enter is matched by one Leave. ZkScopedLock holds one for a scope.
#pragma once

#include <mutex>

namespace ZK::Platform
{
class ZkCriticalSection
{
public:
    void Enter() { m_mutex.lock(); }
    bool TryEnter() { return m_mutex.try_lock(); }
    void Leave() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

class ZkScopedLock
{
public:
    explicit ZkScopedLock(ZkCriticalSection& lock) : m_lock(lock) { m_lock.Enter(); }
    ~ZkScopedLock() { m_lock.Leave(); }
    ZkScopedLock(const ZkScopedLock&) = delete;
    ZkScopedLock& operator=(const ZkScopedLock&) = delete;

private:
    ZkCriticalSection& m_lock;
};
} // namespace ZK::Platform
