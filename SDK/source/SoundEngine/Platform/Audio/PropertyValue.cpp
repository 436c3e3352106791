#include "Platform/Audio/PropertyValue.h"

#include "Platform/Audio/TaskMemory.h"

namespace ZK::Platform
{
void ClearPropertyValue(PropertyValue& value)
{
    FreeTaskMemory(value.blob);
    FreeTaskMemory(value.text);
    value = PropertyValue{};
}
} // namespace ZK::Platform
