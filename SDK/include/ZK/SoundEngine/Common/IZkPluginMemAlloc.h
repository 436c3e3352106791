// The allocator every plug-in allocates through: factories, Init and Term receive one, and the
// plug-in never calls the memory manager itself. The file and line arguments name the caller's
// source location for diagnostics; the engine's implementation ignores them.
//
// Threading: the engine's allocators may be called from any thread (the memory manager is
// thread-safe). Ownership: a block belongs to the plug-in until it gives it back through Free of the
// same allocator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK
{
class IZkPluginMemAlloc
{
public:
    virtual ~IZkPluginMemAlloc() = default;
    // 16-byte aligned in the engine's implementation.
    virtual void* Malloc(size_t size, const char* file, uint32_t line) = 0;
    virtual void Free(void* block) = 0;
    virtual void* Malign(size_t size, uint32_t alignment, const char* file, uint32_t line) = 0;
    virtual void* Realloc(void* block, size_t size, const char* file, uint32_t line) = 0;
    virtual void* ReallocAligned(void* block, size_t size, uint32_t alignment, const char* file, uint32_t line) = 0;
};
} // namespace ZK

#define ZK_PLUGIN_MALLOC(allocator, size) (allocator)->Malloc((size), __FILE__, __LINE__)
#define ZK_PLUGIN_MALIGN(allocator, size, alignment) (allocator)->Malign((size), (alignment), __FILE__, __LINE__)
#define ZK_PLUGIN_FREE(allocator, block) (allocator)->Free(block)
