// MIDI track media for the reader's tests, written by tools/media_writer.py (its "midi" media,
// tools/soundbank/midi.py), which shares no code with the reader. One writer run per call: the
// media of several descriptions, or one description and all its damaged copies.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "MusicEngine/Midi/CZkMidiTrackReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace ZkMidiTest
{
using ZkSoundFixtures::Bytes;

// Debian's own interpreter: it starts in a tenth of a second, where a python3 found first on PATH
// may be a wrapper that takes more than a second for each run.
constexpr const char* kSystemPython = "/usr/bin/python3";

// Each description's media ("{"midi": {...}}" objects), in order.
inline std::vector<Bytes> WriteMidiMedia(const std::vector<std::string>& descriptions,
                                         bool withVariants = false)
{
    ZkSoundFixtures::ScratchFolder folder;
    std::string list = "[";
    for (size_t index = 0; index < descriptions.size(); ++index)
    {
        const std::string& description = descriptions[index];
        // The description object with its output file name added after the opening brace.
        list += (index ? ", " : "") + std::string("{\"file\": \"m") + std::to_string(index) + ".mid\", " +
                description.substr(description.find('{') + 1);
    }
    list += "]";
    const auto path = folder.Path() / "media.json";
    std::ofstream(path) << list;
    const auto out = folder.Path() / "out";
    const std::string command = kSystemPython + std::string(" \"") + std::string(KP_SOURCE_DIR) + "/tools/media_writer.py\" --out-dir \"" +
                                out.string() + "\" " + (withVariants ? "--variants " : "") + "\"" + path.string() + "\"";
    std::vector<Bytes> media;
    if (std::system(("mkdir -p \"" + out.string() + "\" && " + command).c_str()) != 0)
    {
        ADD_FAILURE() << "media_writer.py refused: " << list;
        return media;
    }
    for (size_t index = 0; index < descriptions.size(); ++index)
        media.push_back(ZkSoundFixtures::ReadWholeFile(out / ("m" + std::to_string(index) + ".mid")));
    return media;
}

// The damaged copies of one description, by variant name ("cut_7", "tempo_nan", ...).
inline std::map<std::string, Bytes> WriteMidiVariants(const std::string& description)
{
    ZkSoundFixtures::ScratchFolder folder;
    const auto path = folder.Path() / "media.json";
    std::ofstream(path) << "{\"file\": \"m.mid\", " << description.substr(description.find('{') + 1);
    const auto out = folder.Path() / "out";
    const std::string command = "mkdir -p \"" + out.string() + "\" && " + std::string(kSystemPython) + " \"" + std::string(KP_SOURCE_DIR) +
                                "/tools/media_writer.py\" --out-dir \"" + out.string() + "\" --variants \"" +
                                path.string() + "\"";
    std::map<std::string, Bytes> variants;
    if (std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << "media_writer.py refused: " << description;
        return variants;
    }
    for (const auto& entry : std::filesystem::directory_iterator(out))
    {
        const std::string name = entry.path().stem().string(); // "m.<variant>" or "m"
        if (name != "m")
            variants[name.substr(2)] = ZkSoundFixtures::ReadWholeFile(entry.path());
    }
    return variants;
}

// One due channel message with the tick it fell on (from the span's start tick and its offset).
struct DueMessage
{
    uint8_t type, channel, data1, data2;
    uint32_t eventNumber;
    uint32_t tick;
    bool operator==(const DueMessage&) const = default;
};

inline void PrintTo(const DueMessage& m, std::ostream* os)
{
    *os << "{type " << int(m.type) << " ch " << int(m.channel) << " " << int(m.data1) << " " << int(m.data2)
        << " #" << m.eventNumber << " tick " << m.tick << "}";
}

// Advances by spanMs and appends what fell due, ticks recovered from the offsets.
inline void AdvanceInto(ZK::MusicEngine::CZkMidiTrackReader& reader, float spanMs, std::vector<DueMessage>& out)
{
    ZK::MusicEngine::ZkMidiDueList due;
    const uint32_t spanStart = reader.TargetTick();
    reader.Advance(spanMs, due);
    for (const auto* entry = due.First(); entry != nullptr; entry = entry->next)
    {
        const double ticks = reader.MsPerTick() > 0.0f ? entry->offsetMs / reader.MsPerTick() : 0.0;
        out.push_back({entry->message.type, entry->message.channel, entry->message.data1, entry->message.data2,
                       entry->eventNumber, spanStart + static_cast<uint32_t>(ticks + 0.5)});
    }
}
} // namespace ZkMidiTest
