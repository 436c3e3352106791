// CZkMusicChild: how a music context sees each of its children. The children of a context are the
// contexts it started (sequences, segments, tracks) and, at the leaves, the clip playing instances
// and MIDI-track players. A parent keeps its children in a singly linked list (front insertion)
// through nextSibling; each child points back to its parent (null at the root of a play).
//
// Every operation is called on the engine thread, inside the tick, under the global engine lock.
// Ownership: reference-counted (AddRef/Release); what a leaf does with them is its own affair (the
// clip instance's life belongs to the playing-instance machinery).
#pragma once

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicContext;

// A stop that carries no sample offset inside the current frame.
constexpr uint32_t kNoStopOffset = 0xFFFFFFFFu;
// Parameter id of the playback speed handed down with SetParameter.
constexpr uint32_t kParamIdPlaybackSpeed = 54;

class CZkMusicChild
{
public:
    // Hard stop of a leaf at a sample offset of the current frame; contexts ignore it.
    virtual void StopAt(uint32_t offset) = 0;
    // After every frame, from the root down.
    virtual void EndFrame() = 0;
    // Stop at a sample offset of the current frame (kNoStopOffset: none).
    virtual void Stop(uint32_t offset) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // A fade factor, identified by the address of the object that owns it, has a new value.
    virtual void ApplyFade(const void* key, float value) = 0;
    // kParamIdPlaybackSpeed: the playback speed; frameLength is the engine frame in samples.
    virtual void SetParameter(uint32_t id, float value, float frameLength) = 0;
    virtual void ReleaseModulators() = 0;
    virtual void AddRef() = 0;
    virtual void Release() = 0;
    virtual ~CZkMusicChild() = default;

    CZkMusicChild* nextSibling = nullptr;
    CZkMusicContext* parent = nullptr;
};
} // namespace ZK::MusicEngine
