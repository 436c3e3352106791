// The sound engine's basic id types and the rules for game-object ids, shared by the public
// interface and every part of the engine.
//
// Threading and ownership: plain value types and constants.
#pragma once

#include <cstdint>

// 32-bit id of a named sound object (event, game parameter, state, switch, bus, bank, device...).
// Ids are made from names by ZK::SoundEngine::GetIDFromString; 0 means none.
typedef uint32_t ZkUniqueID;
// Id of a playing event instance, taken from the engine's global counter; 0 means none.
typedef uint32_t ZkPlayingID;
// 64-bit id of a game object, chosen by the caller.
typedef uint64_t ZkGameObjectID;
// Id of a sound bank: the id of its name without the last extension.
typedef uint32_t ZkBankID;
// Time in milliseconds (transition times, delays).
typedef int32_t ZkTimeMs;

constexpr ZkUniqueID ZK_INVALID_UNIQUE_ID = 0;
constexpr ZkPlayingID ZK_INVALID_PLAYING_ID = 0;

// The 32 highest game-object ids are the engine's own: ordinary calls refuse them.
constexpr ZkGameObjectID ZK_FIRST_RESERVED_GAME_OBJECT = 0xFFFFFFFFFFFFFFE0ull;
// All ones: every game object (or every listener) at once, where a message allows it.
constexpr ZkGameObjectID ZK_ALL_GAME_OBJECTS = 0xFFFFFFFFFFFFFFFFull;
// The engine's internal game object: kept when all objects are unregistered, removed at term.
constexpr ZkGameObjectID ZK_ENGINE_INTERNAL_GAME_OBJECT = 0xFFFFFFFFFFFFFFFEull;

constexpr bool ZkIsReservedGameObjectID(ZkGameObjectID id)
{
    return id >= ZK_FIRST_RESERVED_GAME_OBJECT;
}

namespace ZK::SoundEngine
{
// Kinds of game-sync groups, as subscribers, prepared groups and game-sync preparations name them.
enum ZkGroupType : uint32_t
{
    ZkGroupType_Switch = 0,
    ZkGroupType_State = 1,
};
} // namespace ZK::SoundEngine
