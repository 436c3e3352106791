// The track's bank payload.
#include "MusicEngine/CZkMusicTrack.h"

#include "MusicEngine/MusicBankFields.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Banks/SourceMediaRef.h"
#include "MusicEngine/NewIndexedNode.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cmath>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
constexpr size_t kClipBytes = 44;
constexpr size_t kCurveHeaderBytes = 12;
constexpr size_t kPointBytes = 12;
constexpr uint8_t kBankFlagOverridesTempo = 0x02;
constexpr uint8_t kBankFlagOverridesTarget = 0x04;
constexpr uint8_t kBankFlagTargetIsBus = 0x08;
constexpr uint32_t kMaxCurvePoints = 0xFFFFFFFFu - 2;
} // namespace

CZkMusicTrack* CZkMusicTrack::Create(ZkUniqueID id)
{
    return NewIndexedNode<CZkMusicTrack>(id);
}

CZkMusicTrack::~CZkMusicTrack()
{
    FreeSources();
    FreeCurves();
    m_clips.Term();
    FreeSwitchTrack();
}

void CZkMusicTrack::FreeSources()
{
    for (ZkMusicTrackSource& source : m_sources)
    {
        source.media->Free();
        ZK::ZkDelete(ZkMediaRef::kPool, source.media);
    }
    m_sources.Term();
}

void CZkMusicTrack::FreeCurves()
{
    for (ZkMusicClipCurve& curve : m_curves)
        curve.curve.Term();
    m_curves.Term();
}

void CZkMusicTrack::FreeSwitchTrack()
{
    if (m_switch == nullptr)
        return;
    m_switch->switches.Term();
    ZK::ZkDelete(kPool, m_switch);
    m_switch = nullptr;
}

ZkMusicTrackSource* CZkMusicTrack::FindSource(ZkUniqueID sourceID)
{
    for (ZkMusicTrackSource& source : m_sources)
    {
        if (source.sourceID == sourceID)
            return &source;
    }
    return nullptr;
}

ZKRESULT CZkMusicTrack::ReadFromBank(const uint8_t* payload, uint32_t size, bool reread)
{
    if (Category() != kCategoryMusicTrack)
        return ZK_AlreadyExists;
    ZK::ZkByteCursor cursor(payload, size);
    uint8_t flags = 0;
    if (!cursor.Skip(sizeof(ZkUniqueID)) || !cursor.Read(flags))
        return ZK_InvalidFile;
    m_flags = 0;
    if ((flags & kBankFlagOverridesTempo) != 0)
        m_flags |= kFlagOverridesTempo;
    if ((flags & kBankFlagOverridesTarget) != 0)
        m_flags |= kFlagOverridesTarget;
    if ((flags & kBankFlagTargetIsBus) != 0)
        m_flags |= kFlagTargetIsBus;
    ZKRESULT result;
    if ((result = ReadSources(cursor)) != ZK_Success || (result = ReadClips(cursor)) != ZK_Success ||
        (result = ReadCurves(cursor)) != ZK_Success)
        return result;
    result = SetBaseFromBank(cursor, false);
    if (result != ZK_Success || reread)
        return result;

    uint8_t kind = 0;
    if (!cursor.Read(kind))
        return ZK_InvalidFile;
    if (kind != m_kind)
    {
        FreeSwitchTrack();
        m_kind = kind;
        if (kind == ZkMusicTrack_Switch)
        {
            m_switch = ZK::ZkNew<ZkMusicSwitchTrack>(kPool);
            if (m_switch == nullptr)
                return ZK_InsufficientMemory;
        }
    }
    if (kind == ZkMusicTrack_Switch && (result = ReadSwitchTrack(cursor, kind)) != ZK_Success)
        return result;

    int32_t lookAheadMs = 0;
    if (!cursor.Read(lookAheadMs))
        return ZK_InvalidFile;
    const double samples =
        lookAheadMs * static_cast<double>(MusicEngineState::Get().LookAheadFactor()) * ZkAudioSettings::SampleRate() * 0.001;
    if (!RoundToSamples(samples, m_lookAhead))
        return ZK_InvalidFile;
    return ZK_Success;
}

ZKRESULT CZkMusicTrack::ReadSources(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    // Every record takes at least its fixed fields (4 + 1 + 4 + 4 + 1 bytes).
    if (!cursor.Read(count) || !cursor.Holds(count, 14))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkSourceMediaRecord record;
        const ZKRESULT read = SourceMediaRef::ReadFromBank(cursor, record);
        if (read != ZK_Success)
            return read;
        ZkMusicTrackSource* present = FindSource(record.sourceID);
        const bool plugin = record.PluginType() == kPluginTypeSource;
        if (present != nullptr && !plugin)
            continue; // a repeated id keeps its first reference
        auto* media = ZK::ZkNew<ZkMediaRef>(ZkMediaRef::kPool);
        if (media == nullptr)
            return ZK_Fail;
        media->Init();
        if (plugin)
            media->SetMedia(record.sourceID);
        else
            SourceMediaRef::ApplyTo(record, *media);
        media->sourceType = static_cast<int32_t>(record.pluginID);
        if (present != nullptr)
        {
            present->media->Free();
            ZK::ZkDelete(ZkMediaRef::kPool, present->media);
            present->media = media;
            continue;
        }
        if (m_sources.AddLast({record.sourceID, media}) == nullptr)
        {
            ZK::ZkDelete(ZkMediaRef::kPool, media);
            return ZK_Fail;
        }
    }
    return ZK_Success;
}

ZKRESULT CZkMusicTrack::ReadClips(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kClipBytes))
        return ZK_InvalidFile;
    if (count == 0)
        return ZK_Success; // no sub-track count follows; the clips stay
    ZK::ZkArray<ZkMusicClip> clips;
    if (clips.Reserve(count) != ZK_Success)
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < count; ++index)
    {
        uint32_t subTrack = 0;
        ZkUniqueID sourceID = 0, eventID = 0;
        double positionMs = 0, startTrimMs = 0, endTrimMs = 0, durationMs = 0;
        cursor.Read(subTrack);
        cursor.Read(sourceID);
        cursor.Read(eventID);
        cursor.Read(positionMs);
        cursor.Read(startTrimMs);
        cursor.Read(endTrimMs);
        cursor.Read(durationMs);
        const double audibleMs = durationMs + endTrimMs - startTrimMs;
        if (!(durationMs > 0.0 && audibleMs > 0.0) && eventID == 0)
            continue;
        ZkMusicClip clip{subTrack, sourceID, eventID, 0, 0, 0, 0};
        double offsetMs = 0.0;
        if (durationMs != 0.0)
        {
            offsetMs = std::fmod(startTrimMs, durationMs);
            if (offsetMs < 0.0)
                offsetMs += durationMs;
        }
        if (!MsToSamples(positionMs + startTrimMs, clip.start) || !MsToSamples(audibleMs, clip.audibleLength) ||
            !MsToSamples(durationMs, clip.sourceDuration) || !MsToSamples(offsetMs, clip.startOffset))
        {
            clips.Term();
            return ZK_InvalidFile;
        }
        // Rounding may reach the duration itself: the offset stays inside the source.
        if (clip.sourceDuration > 0 && clip.startOffset >= clip.sourceDuration)
            clip.startOffset = 0;
        clips.AddLast(clip);
    }
    uint32_t subTracks = 0;
    if (!cursor.Read(subTracks))
    {
        clips.Term();
        return ZK_InvalidFile;
    }
    m_subTrackCount = subTracks;
    m_clips.Swap(clips);
    clips.Term();
    return ZK_Success;
}

ZKRESULT CZkMusicTrack::ReadCurves(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kCurveHeaderBytes))
        return ZK_InvalidFile;
    FreeCurves();
    if (count > 0 && m_curves.Reserve(count) != ZK_Success)
        return ZK_Fail;
    const double rate = static_cast<double>(ZkAudioSettings::SampleRate());
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkMusicClipCurve entry{ZkMusicClipCurve::kNoClip, ZkMusicClipCurve::kNoClip, {}};
        uint32_t clip = 0, kind = 0, points = 0;
        if (!cursor.Read(clip) || !cursor.Read(kind) || !cursor.Read(points) || !cursor.Holds(points, kPointBytes) ||
            points > kMaxCurvePoints)
            return ZK_InvalidFile;
        if (points > 0)
        {
            auto* converted = static_cast<ZkCurvePoint*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(ZkCurvePoint) * points));
            if (converted == nullptr)
                return ZK_Fail;
            bool valid = true;
            for (uint32_t point = 0; point < points; ++point)
            {
                float x = 0.0f;
                cursor.Read(x);
                cursor.Read(converted[point].y);
                cursor.Read(converted[point].interpolation);
                int32_t samples = 0;
                valid = valid && RoundToSamples(double{x} * rate, samples);
                converted[point].x = static_cast<float>(samples);
            }
            const ZKRESULT set = valid ? entry.curve.Set(converted, points, ZkCurveScaling_None) : ZK_InvalidFile;
            ZK::MemoryMgr::Free(ZkMemID_Default, converted);
            if (set != ZK_Success)
                return set == ZK_InsufficientMemory ? ZK_Fail : set;
            entry.clipIndex = clip;
            entry.kind = kind;
        }
        m_curves.AddLast(entry);
    }
    return ZK_Success;
}

ZKRESULT CZkMusicTrack::ReadSwitchTrack(ZK::ZkByteCursor& cursor, uint8_t)
{
    ZkMusicSwitchTrack& record = *m_switch;
    uint32_t count = 0;
    if (!cursor.Read(record.groupType) || !cursor.Read(record.groupID) || !cursor.Read(record.defaultSwitch) ||
        !cursor.Read(count) || !cursor.Holds(count, sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    record.switches.RemoveAll();
    if (record.switches.Reserve(count) != ZK_Success)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkUniqueID id = 0;
        cursor.Read(id);
        record.switches.AddLast(id);
    }
    int32_t fadeOutMs = 0, fadeInMs = 0;
    uint32_t sync = 0;
    if (!cursor.Read(record.fadeOut.timeMs) || !cursor.Read(record.fadeOut.curve) || !cursor.Read(fadeOutMs) ||
        !cursor.Read(sync) || !cursor.Read(record.cueFilter) || !cursor.Read(record.fadeIn.timeMs) ||
        !cursor.Read(record.fadeIn.curve) || !cursor.Read(fadeInMs))
        return ZK_InvalidFile;
    record.syncKind = sync & 0x1F;
    if (!OffsetMsToSamples(fadeOutMs, record.fadeOut.offset) || !OffsetMsToSamples(fadeInMs, record.fadeIn.offset))
        return ZK_InvalidFile;
    return ZK_Success;
}
} // namespace ZK::MusicEngine
