#include "Platform/Audio/TaskMemory.h"

#include <atomic>
#include <cstdlib>
#include <cwchar>

namespace ZK::Platform
{
namespace
{
std::atomic<int64_t> g_blocksInUse{0};
} // namespace

void* AllocateTaskMemory(size_t size)
{
    void* block = std::malloc(size != 0 ? size : 1);
    if (block != nullptr)
        g_blocksInUse.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void FreeTaskMemory(void* block)
{
    if (block == nullptr)
        return;
    g_blocksInUse.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

wchar_t* DuplicateTaskText(const wchar_t* text)
{
    if (text == nullptr)
        return nullptr;
    const size_t characters = std::wcslen(text) + 1;
    auto* copy = static_cast<wchar_t*>(AllocateTaskMemory(characters * sizeof(wchar_t)));
    if (copy != nullptr)
        std::wmemcpy(copy, text, characters);
    return copy;
}

int64_t TaskMemoryBlocksInUse()
{
    return g_blocksInUse.load(std::memory_order_relaxed);
}
} // namespace ZK::Platform
