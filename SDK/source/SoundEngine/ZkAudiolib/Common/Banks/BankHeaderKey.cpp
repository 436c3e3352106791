#include "ZkAudiolib/Common/Banks/BankHeaderKey.h"

namespace ZK::SoundEngine
{
ZkBankHeaderKey& BankHeaderKey()
{
    static ZkBankHeaderKey key;
    return key;
}

void ApplyBankHeaderKey(ZkBankHeader& header)
{
    const ZkBankHeaderKey& key = BankHeaderKey();
    if (key.version == 0)
        return;
    header.version ^= key.version;
    header.bankID ^= key.bankID;
    header.field8 ^= key.field8;
    header.alignment ^= key.alignment;
    header.field14 ^= key.field14;
}
} // namespace ZK::SoundEngine
