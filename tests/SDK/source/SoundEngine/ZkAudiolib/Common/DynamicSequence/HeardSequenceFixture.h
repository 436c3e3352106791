// Shared by the tests that hear dynamic sequences through the running engine (offline rendering,
// the capture of the main output): each item is a tone burst of its own frequency, so the capture
// tells which item played when; the game's callback records each item's end and the sequence's
// end.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ZkHeardSequenceTest
{
using namespace ZkFirstSoundTest;
namespace Sequence = ZK::SoundEngine::DynamicSequence;

inline constexpr uint32_t kItemFrames = 4800; // 100 ms
// Items 0 to 2 are mono, item 3 stereo.
inline constexpr uint32_t kTones = 4;
inline constexpr uint32_t kHz[kTones] = {500, 1000, 2000, 3000};
inline constexpr ZkUniqueID kSounds[kTones] = {220, 221, 222, 223};
inline int g_info[kTones];
// A sequence played before a frame starts sounding with that frame's first sample: the play
// message, the item's launch and its voice are all handled in the tick that renders it.
inline constexpr size_t kStartLatency = 0;

struct Heard
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<ZkUniqueID, void*>> items;
    uint32_t ends = 0;
    bool endAfterItems = true;
};

inline void RecordHeard(ZkCallbackType type, ZkCallbackInfo* info)
{
    auto& heard = *static_cast<Heard*>(info->cookie);
    std::lock_guard guard(heard.lock);
    if (type == ZkCallbackType_SequenceItemEnd)
    {
        const auto* item = static_cast<ZkSequenceItemCallbackInfo*>(info);
        heard.items.emplace_back(item->audioNodeID, item->customInfo);
        heard.endAfterItems = heard.endAfterItems && heard.ends == 0;
    }
    else if (type == ZkCallbackType_EndOfEvent)
    {
        ++heard.ends;
    }
    heard.changed.notify_all();
}

class HeardDynamicSequence : public FirstSound
{
protected:
    // Sounds of kItemFrames samples at 48 kHz, one per tone, on the Effects bus; extraItems (each
    // followed by a comma) join the bank's hierarchy.
    void StartWithBank(const std::string& extraItems = "")
    {
        std::string media;
        for (uint32_t i = 0; i < kTones; ++i)
        {
            media += (i != 0 ? ", " : "") + std::string(R"({"id": )") + std::to_string(120 + i) +
                     R"(, "wave": {"rate": 48000, "channels": )" + (i == 3 ? "2" : "1") +
                     R"(, "frames": )" + std::to_string(kItemFrames) + R"(, "parts": [{"tone": )" +
                     std::to_string(kHz[i]) + R"(, "amp": 0.5}]}})";
        }
        const std::string bank = R"({"name": "HeardSequence.bnk", "media": [)" + media + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" + extraItems + R"(
                {"type": "sound", "id": 220, "media": 120},
                {"type": "sound", "id": 221, "media": 121},
                {"type": "sound", "id": 222, "media": 122},
                {"type": "sound", "id": 223, "media": 123},
                {"type": "group", "id": 240, "bus": "Effects", "children": [220, 221, 222, 223]},
                {"type": "dialogue_event", "id": "Greeting", "arguments": ["Speaker", "Line"],
                 "tree": {"Anna": {"Hello": 220, "Bye": 222}, "Ben": {"Hello": 221}}}]}]})";
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HeardSequence.bnk", bank));
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID id = 0;
        ASSERT_EQ(LoadBank("HeardSequence.bnk", id), ZK_Success);
    }

    // A sequence of the tones of items (indexes into kSounds), each with its g_info entry.
    ZkPlayingID OpenWithItems(Sequence::DynamicSequenceType type, const std::vector<uint32_t>& items)
    {
        std::vector<std::pair<ZkUniqueID, void*>> nodes;
        for (uint32_t item : items)
            nodes.emplace_back(kSounds[item], &g_info[item]);
        return OpenWithNodes(type, nodes);
    }
    // A sequence of the nodes with their custom info; 0 when Open refuses.
    ZkPlayingID OpenWithNodes(Sequence::DynamicSequenceType type,
                              const std::vector<std::pair<ZkUniqueID, void*>>& nodes)
    {
        const ZkPlayingID id = Sequence::Open(kEmitter, ZkCallbackType_SequenceItemEnd | ZkCallbackType_EndOfEvent,
                                              &RecordHeard, &m_heard, type);
        Sequence::Playlist* playlist = Sequence::LockPlaylist(id);
        if (playlist == nullptr)
            return id;
        for (const auto& [node, info] : nodes)
            EXPECT_EQ(playlist->Enqueue(node, 0, info), ZK_Success);
        EXPECT_EQ(Sequence::UnlockPlaylist(id), ZK_Success);
        return id;
    }

    // The tone of a stretch of sound, by its zero crossings (-1: none of the three).
    static int ToneOf(const std::vector<float>& left, size_t first, size_t last)
    {
        uint32_t crossings = 0;
        for (size_t i = first + 1; i <= last; ++i)
            crossings += (left[i - 1] < 0.0f) != (left[i] < 0.0f) ? 1u : 0u;
        const double seconds = static_cast<double>(last - first + 1) / kRate;
        for (int tone = 0; tone < static_cast<int>(kTones); ++tone)
        {
            const double expected = 2.0 * kHz[tone] * seconds;
            if (std::fabs(crossings - expected) <= expected * 0.1)
                return tone;
        }
        return -1;
    }

    // The residual of a least-squares fit of a sine of hz over [first, first + count), relative to
    // the stretch's energy, in dB.
    static double FitResidualDb(const std::vector<float>& left, size_t first, size_t count, uint32_t hz)
    {
        constexpr double kPi = 3.14159265358979323846;
        double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0, yy = 0;
        for (size_t i = first; i < first + count; ++i)
        {
            const double phase = 2.0 * kPi * hz * static_cast<double>(i - first) / kRate;
            const double s = std::sin(phase), c = std::cos(phase), y = left[i];
            ss += s * s, cc += c * c, sc += s * c, ys += y * s, yc += y * c, yy += y * y;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det;
        const double b = (yc * ss - ys * sc) / det;
        double residual = 0;
        for (size_t i = first; i < first + count; ++i)
        {
            const double phase = 2.0 * kPi * hz * static_cast<double>(i - first) / kRate;
            const double error = left[i] - (a * std::sin(phase) + b * std::cos(phase));
            residual += error * error;
        }
        return 10.0 * std::log10(residual / yy);
    }

    static size_t VoiceCount()
    {
        ZK::Platform::ZkScopedLock guard(ZK::SoundEngine::g_EngineLock);
        return ZK::SoundEngine::CZkAudioRenderer::VoiceCount();
    }

    std::vector<std::pair<ZkUniqueID, void*>> HeardItems()
    {
        std::lock_guard guard(m_heard.lock);
        return m_heard.items;
    }

    Heard m_heard;
};
} // namespace ZkHeardSequenceTest
