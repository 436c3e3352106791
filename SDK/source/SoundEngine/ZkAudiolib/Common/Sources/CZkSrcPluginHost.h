// CZkSrcPluginHost: the voice source of a sound whose samples come from a source plug-in. The sound's
// media reference names an effect object of the custom-effect table (its source id); the host
// creates that object's plug-in through the plug-in registry, gives it a copy of the object's
// parameters kept current by game parameters and states (an effect context, the parameter holder),
// an output format and its three contexts, and maps every voice-source operation onto the
// plug-in's own.
//
// Life cycle: the factory makes it (pool 5) for media of kind 2; StartStream creates and starts
// the plug-in; GetBuffer runs it once per frame into an output buffer of the host's, which
// ReleaseBuffer frees again (every frame: the buffer lives only while the voice reads it); StopStream
// ends the plug-in, its parameters and its media references, also after a failed start.
//
// Threading: the thread rendering the voice; no lock of its own (the object index's table lock is
// taken for the look-up). Ownership: the output buffer (pool 5), the note list (pool 5), the
// plug-in (the instances' plug-in allocator), the parameter holder and, during StartStream only, a
// reference on the effect object.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/Sources/CZkSrcPluginContexts.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"

#include <ZK/SoundEngine/Common/IZkSourcePlugin.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// A note the plug-in received: the note instance and its event.
struct ZkSourceNoteEntry
{
    const void* note;
    ZkMidiEvent event;
};

class CZkSrcPluginHost final : public CZkVoiceSource
{
public:
    static constexpr uint32_t kNoPlugin = 0xFFFFFFFFu;
    // The output format before the plug-in's Init: mono, 32-bit float, block align 4, bit 18.
    static constexpr uint32_t kDefaultChannelWord = 0x4101;
    static constexpr uint32_t kDefaultFormatBits = 0x50120;
    static constexpr uint32_t kFormatLowBitsMask = 0x7FFFF;
    static constexpr uint32_t kOutputAlignment = 16;

    explicit CZkSrcPluginHost(CZkPlayingInstance* instance) : CZkVoiceSource(instance), m_contexts(instance) {}
    ~CZkSrcPluginHost() override;

    // --- Stage and source operations ---
    void ReleaseBuffer() override;
    // The plug-in's TimeSkip; the base's pull of a buffer when the plug-in answers 0. 45 without a
    // plug-in.
    ZKRESULT SkipFrames(uint32_t& frames) override;
    // Behaviour 0 (the voice starts again from the beginning when it leaves) resets the plug-in.
    void EnterVirtual(uint32_t behaviour) override;
    ZKRESULT StartStream(const uint8_t* prefetch, uint32_t prefetchSize) override;
    void StopStream() override;
    ZKRESULT GetBuffer(ZkPipelineBuffer& buffer) override;
    float GetDuration() override;
    ZKRESULT StopLooping() override;
    bool HasNote(const void* note) override;
    bool HasMatchingNote(const void* record) override;
    // To the instance's seek target (frames, or a fraction of the plug-in's duration). The
    // instance's seek is cleared whatever the plug-in answers; its answer is returned.
    ZKRESULT Seek() override;
    // The plug-in's envelope in decibels (the engine's fast logarithm); 0 without a plug-in.
    float GetEnvelopeValue() override;
    // StopStream, the note list emptied, then StartStream.
    ZKRESULT Reload();
    // The engine's sample frames per audio buffer.
    static uint16_t FramesPerBuffer();

    ZK::IZkSourcePlugin* Plugin() const { return m_plugin; }
    uint32_t PluginID() const { return m_pluginID; }
    const ZkAudioFormat& OutputFormat() const { return m_format; }
    const CZkEffectContext& ParameterHolder() const { return m_params; }
    const void* OutputBuffer() const { return m_output; }
    CZkSrcPluginContexts& Contexts() { return m_contexts; }

private:
    // StartStream's steps after the effect object was found; StopStream cleans up after a failure.
    ZKRESULT StartPlugin(CZkEffectObject& effect);
    void EndPlugin();

    CZkSrcPluginContexts m_contexts;
    ZkAudioFormat m_format;
    ZK::ZkArray<ZkSourceNoteEntry, ZkMemID_Processing> m_notes;
    CZkEffectContext m_params;
    uint32_t m_pluginID = kNoPlugin;
    ZK::IZkSourcePlugin* m_plugin = nullptr;
    void* m_output = nullptr;
};
} // namespace ZK::SoundEngine
