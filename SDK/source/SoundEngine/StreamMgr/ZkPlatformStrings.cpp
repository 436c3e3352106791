#include "StreamMgr/ZkPlatformStrings.h"

namespace ZK
{
void SafeWideStrCopy(wchar_t* destination, const wchar_t* source, size_t capacity)
{
    if (!destination || capacity == 0)
        return;
    size_t index = 0;
    if (source)
    {
        for (; index + 1 < capacity && source[index] != L'\0'; ++index)
            destination[index] = source[index];
    }
    destination[index] = L'\0';
}
} // namespace ZK
