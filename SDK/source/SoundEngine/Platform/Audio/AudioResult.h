// Results of the audio endpoint layer: 0 and 1 are successes ("done" and "done, with a remark",
// such as a closest match offered for a format), every failure is negative, so that callers test
// success by the sign alone.
//
// Threading and ownership: plain values.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
using AudioResult = int32_t;

constexpr AudioResult kAudioOk = 0;
constexpr AudioResult kAudioFalse = 1;               // succeeded with a remark (a closest match, nothing to do)

constexpr AudioResult kAudioFail = -1;               // unspecified failure
constexpr AudioResult kAudioNoInterface = -2;        // the object does not offer that interface
constexpr AudioResult kAudioInvalidArgument = -3;
constexpr AudioResult kAudioOutOfMemory = -4;
constexpr AudioResult kAudioNotFound = -5;           // no endpoint with that id, or no default endpoint
constexpr AudioResult kAudioUnsupportedFormat = -16; // the stream format is refused
constexpr AudioResult kAudioDeviceInvalidated = -17; // the endpoint disappeared or stopped working
constexpr AudioResult kAudioNotInitialized = -18;    // the stream was not initialised
constexpr AudioResult kAudioAlreadyInitialized = -19;
constexpr AudioResult kAudioBufferTooLarge = -20;    // more frames asked than the buffer has free
constexpr AudioResult kAudioOutOfOrder = -21;        // a buffer asked for before the last was released
constexpr AudioResult kAudioBufferSizeError = -22;   // more frames released than were asked for
constexpr AudioResult kAudioEventHandleNotSet = -23; // an event-driven stream started without its event

constexpr bool AudioSucceeded(AudioResult result)
{
    return result >= 0;
}
constexpr bool AudioFailed(AudioResult result)
{
    return result < 0;
}
} // namespace ZK::Platform
