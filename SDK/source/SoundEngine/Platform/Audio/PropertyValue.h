// PropertyValue: the value of an endpoint property as the property store hands it out: nothing, a
// blob (a stream format), or a wide text (a name). Its memory is task memory, given back by
// ClearPropertyValue.
//
// Threading: a plain value used by one thread. Ownership: the caller of GetValue owns the value
// until it clears it.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
enum class PropertyKind : uint32_t
{
    Empty,
    Blob,
    WideText,
};

struct PropertyValue
{
    PropertyKind kind = PropertyKind::Empty;
    uint32_t blobSize = 0;
    void* blob = nullptr;
    wchar_t* text = nullptr;
};

// Frees what the value holds and leaves it empty.
void ClearPropertyValue(PropertyValue& value);
} // namespace ZK::Platform
