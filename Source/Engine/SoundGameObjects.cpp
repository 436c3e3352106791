#include "Engine/SoundGameObjects.h"

std::vector<ZkGameObjectID> listenerIds;
std::vector<ZkGameObjectID> emitterIds;

ZkGameObjectID TakeSoundGameObjectId(std::vector<ZkGameObjectID>& ids)
{
    const ZkGameObjectID id = ids.size() + 1;
    ids.push_back(id);
    return id;
}
