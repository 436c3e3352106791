#include "ZkAudiolib/Common/Events/ZkActionValue.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

namespace ZK::SoundEngine
{
bool ZkActionValue::ReadValues(ZK::ZkByteCursor& cursor, bool asIntegers)
{
    float* const fields[] = {&base, &minimum, &maximum};
    for (float* field : fields)
    {
        if (asIntegers)
        {
            int32_t value = 0;
            if (!cursor.Read(value))
                return false;
            *field = static_cast<float>(value);
        }
        else if (!cursor.Read(*field))
        {
            return false;
        }
    }
    return true;
}

bool ZkActionValue::ReadWithMeaning(ZK::ZkByteCursor& cursor)
{
    uint8_t stored = 0;
    if (!cursor.Read(stored))
        return false;
    meaning = static_cast<ZkValueMeaning>(stored);
    return ReadValues(cursor);
}

float ZkActionValue::Draw() const
{
    if (maximum == minimum)
        return base + minimum;
    const double fraction = ZK::ZkLcg64::Engine().RandomFraction();
    return static_cast<float>(double{base} + minimum + fraction * (double{maximum} - minimum));
}
} // namespace ZK::SoundEngine
