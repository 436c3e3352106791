#include "MusicEngine/MusicBankFields.h"

#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cmath>
#include <cstring>

namespace ZK::MusicEngine
{
namespace
{
bool FitsInt32(double value)
{
    return std::isfinite(value) && value >= -2147483648.0 && value <= 2147483647.0;
}

double Rate()
{
    return static_cast<double>(SoundEngine::ZkAudioSettings::SampleRate());
}
} // namespace

bool RoundToSamples(double value, int32_t& samples)
{
    if (!std::isfinite(value))
        return false;
    const double rounded = std::round(value); // half away from zero
    if (!FitsInt32(rounded))
        return false;
    samples = static_cast<int32_t>(rounded);
    return true;
}

bool MsToSamples(double ms, int32_t& samples)
{
    return RoundToSamples(Rate() * ms * 0.001, samples);
}

bool MsToSamplesCeil(double ms, int32_t& samples)
{
    const double value = std::ceil(Rate() * ms * 0.001);
    if (!FitsInt32(value))
        return false;
    samples = static_cast<int32_t>(value);
    return true;
}

bool OffsetMsToSamples(int32_t ms, int32_t& samples)
{
    const int64_t value = int64_t{ms} * static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate()) / 1000;
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    samples = static_cast<int32_t>(value);
    return true;
}

bool ReadZeroTerminated(ZK::ZkByteCursor& cursor, const char*& text, size_t& length)
{
    if (cursor.Remaining() == 0)
        return false;
    const auto* start = cursor.Current();
    const void* zero = std::memchr(start, 0, cursor.Remaining());
    if (zero == nullptr)
        return false;
    length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - start);
    text = reinterpret_cast<const char*>(start);
    cursor.Skip(length + 1);
    return true;
}
} // namespace ZK::MusicEngine
