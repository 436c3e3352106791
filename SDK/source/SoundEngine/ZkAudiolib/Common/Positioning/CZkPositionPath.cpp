#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include "ZkAudiolib/Common/Containers/ZkFrameTime.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// 2^-30: a draw (31 bits) times this is in [0, 2).
constexpr float kDrawToSpan = 1.0f / 1073741824.0f;

float RandomUnit()
{
    return static_cast<float>(ZK::ZkLcg64::Engine().Draw()) * kDrawToSpan - 1.0f;
}

ZkVector PositionOf(const ZkPositionVertex& vertex) { return {vertex.x, vertex.y, vertex.z}; }

ZkVector Minus(const ZkVector& a, const ZkVector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
} // namespace

ZKRESULT CZkPositionPath::Init(ZkPositionPathDef* paths, uint32_t pathCount, uint8_t playlistFlags, bool loop,
                               const ZkSavedPathState* saved)
{
    if (m_state != State_Idle)
        return ZK_Fail;
    m_paths = paths;
    m_pathCount = static_cast<uint16_t>(std::min<uint32_t>(pathCount, 0xFFFF));
    m_playlistFlags = playlistFlags;
    m_loop = loop ? 1 : 0;
    ReleasePlayedFlags();
    // Saved flags made for another playlist (the bank was read again since) are not taken.
    if (saved != nullptr && saved->flags != nullptr && saved->flags->length == m_pathCount &&
        saved->index < m_pathCount)
    {
        saved->flags->AddRef();
        m_playedFlags = saved->flags;
        m_currentIndex = saved->index;
        m_current = paths + m_currentIndex;
        return ZK_Success;
    }
    m_current = m_pathCount != 0 ? paths : nullptr;
    m_currentIndex = 0;
    m_playedFlags = ZkPathPlayedFlags::Create(m_pathCount);
    if (m_playedFlags == nullptr)
        return ZK_Fail;
    if ((m_playlistFlags & kPlaylistRandom) != 0 && m_pathCount != 0)
    {
        PickRandomPath();
        m_current = paths + m_currentIndex;
    }
    return ZK_Success;
}

uint32_t CZkPositionPath::VertexFrames(const ZkPositionVertex& vertex)
{
    return std::max<uint32_t>(1, ZK::MillisecondsToFrames(vertex.durationMs, ZkAudioSettings::BufferDurationMs()));
}

void CZkPositionPath::SetTiming(uint32_t startFrame, uint32_t frames)
{
    m_vertexStart = startFrame;
    m_vertexEnd = startFrame + frames;
    m_slope = 1.0f / static_cast<float>(frames);
    m_offset = -static_cast<float>(startFrame) / static_cast<float>(frames);
}

void CZkPositionPath::Jitter(ZkVector& position) const
{
    position.x += RandomUnit() * m_current->rangeX;
    position.z += RandomUnit() * m_current->rangeZ;
    position.y += RandomUnit() * m_current->rangeY;
}

void CZkPositionPath::MoveUsers(const ZkVector& move)
{
    for (float* offset : m_users)
    {
        offset[0] += move.x;
        offset[1] += move.y;
        offset[2] += move.z;
    }
}

ZKRESULT CZkPositionPath::StartVertex(uint32_t frame)
{
    if (m_current == nullptr)
        return ZK_Fail;
    if (m_current->vertexCount == 0)
        return ZK_NoVertex;
    m_started = 1;
    m_vertexIndex = 1;
    const ZkPositionVertex* vertices = m_current->vertices;
    m_start = PositionOf(vertices[0]);
    m_frames = VertexFrames(vertices[0]);
    m_delta = {};
    if (m_current->vertexCount >= 2)
    {
        const ZkPositionVertex& first = vertices[0];
        const ZkPositionVertex& second = vertices[1];
        const bool moves = first.x != second.x || first.y != second.y || first.z != second.z;
        Jitter(m_start);
        if (moves || m_current->vertexCount > 2)
        {
            ZkVector target = PositionOf(second);
            Jitter(target);
            m_delta = Minus(target, m_start);
        }
    }
    MoveUsers(m_start);
    m_lastApplied = m_start;
    SetTiming(frame, m_frames);
    m_state = State_Running;
    return ZK_Success;
}

void CZkPositionPath::Step(uint32_t frame)
{
    const float t = std::clamp(static_cast<float>(frame) * m_slope + m_offset, 0.0f, 1.0f);
    const ZkVector position = {m_start.x + t * m_delta.x, m_start.y + t * m_delta.y, m_start.z + t * m_delta.z};
    MoveUsers(Minus(position, m_lastApplied));
    m_lastApplied = position;
    if (frame >= m_vertexEnd)
        NextVertex();
}

void CZkPositionPath::NextVertex()
{
    if (m_vertexIndex < m_current->vertexCount)
    {
        const ZkPositionVertex& vertex = m_current->vertices[m_vertexIndex];
        m_start = PositionOf(vertex);
        Jitter(m_start);
        m_frames = VertexFrames(vertex);
        ++m_vertexIndex;
    }
    if (m_vertexIndex >= m_current->vertexCount)
    {
        if (NextPath() != ZK_Success)
        {
            m_state = State_Idle;
            return;
        }
    }
    // A path chosen without vertices has nothing to move towards: the playlist ends there.
    if (m_vertexIndex >= m_current->vertexCount)
    {
        m_state = State_Idle;
        return;
    }
    ZkVector target = PositionOf(m_current->vertices[m_vertexIndex]);
    Jitter(target);
    m_delta = Minus(target, m_start);
    SetTiming(m_vertexEnd, m_frames);
}

bool CZkPositionPath::PickRandomPath()
{
    m_currentIndex = static_cast<uint16_t>(ZK::ZkLcg64::Engine().RandomIndex(m_pathCount));
    if (IsContinuous())
        m_current = m_paths + m_currentIndex;
    bool wrapped = false;
    if (m_playedFlags != nullptr)
    {
        if (m_playedFlags->AllSet())
        {
            m_playedFlags->ClearAll();
            wrapped = true;
        }
        if (m_currentIndex < m_playedFlags->length)
            m_playedFlags->bytes[m_currentIndex] = 1;
    }
    return wrapped;
}

ZKRESULT CZkPositionPath::NextPath()
{
    bool wrapped = false;
    if ((m_playlistFlags & kPlaylistRandom) != 0)
    {
        wrapped = PickRandomPath();
    }
    else if (m_currentIndex + 1u < m_pathCount)
    {
        ++m_currentIndex;
        if (IsContinuous())
            m_current = m_paths + m_currentIndex;
    }
    else
    {
        m_currentIndex = 0;
        wrapped = true;
        if (IsContinuous())
            m_current = m_paths;
    }
    if (!IsContinuous() || (wrapped && m_loop == 0))
        return ZK_NoMoreData;
    m_vertexIndex = 0;
    return ZK_Success;
}

void CZkPositionPath::ApplyStartOffset()
{
    MoveUsers(m_start);
    m_lastApplied = m_start;
}

void CZkPositionPath::Pause(uint32_t frame)
{
    m_pausedFrame = frame;
    m_state = State_Paused;
}

void CZkPositionPath::Resume(uint32_t frame)
{
    const uint32_t held = frame - m_pausedFrame;
    m_vertexStart += held;
    m_vertexEnd += held;
    m_offset = -static_cast<float>(m_vertexStart) / static_cast<float>(m_frames);
    m_state = State_Running;
}

void CZkPositionPath::ReleasePlayedFlags()
{
    if (m_playedFlags != nullptr)
        m_playedFlags->Release();
    m_playedFlags = nullptr;
}

void CZkPositionPath::Term()
{
    m_state = State_Idle;
    m_closed = 1;
    m_users.Term();
    // The player holds one reference on its flags whatever its playlist: a saved state that shares
    // them holds its own.
    ReleasePlayedFlags();
    m_listeners.Term();
}

ZKRESULT CZkPositionPath::AddUser(float* offset)
{
    if (m_closed != 0)
        return ZK_Fail;
    if (m_users.Find(offset) != m_users.Length())
        return ZK_AlreadyInList;
    if (m_users.AddLast(offset) == nullptr)
        return ZK_Fail;
    if (m_started != 0)
    {
        offset[0] += m_lastApplied.x;
        offset[1] += m_lastApplied.y;
        offset[2] += m_lastApplied.z;
    }
    return ZK_Success;
}

ZKRESULT CZkPositionPath::RemoveUser(float* offset)
{
    const uint32_t index = m_users.Find(offset);
    if (index == m_users.Length())
        return ZK_NotInList;
    m_users.EraseSwap(index);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
