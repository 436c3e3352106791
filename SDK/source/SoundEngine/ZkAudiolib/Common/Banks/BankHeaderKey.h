// The bank header key: a process-wide record of the shape of the first 16 header bytes. When its
// version key is non-zero, every header field it covers is XORed with its key before it is read,
// by the bank parser and by the check of banks loaded from memory. Nothing in the engine sets a
// key, so the record stays all zeros and the step leaves headers as they are.
//
// Threading: read by the bank thread and the game thread; set (by nobody today) before any bank
// is loaded. Ownership: one static record.
#pragma once

#include "ZkAudiolib/Common/Banks/BankFormat.h"

namespace ZK::SoundEngine
{
struct ZkBankHeaderKey
{
    uint32_t version = 0;
    uint32_t bankID = 0;
    uint32_t field8 = 0;
    uint16_t alignment = 0;
    uint16_t field14 = 0;
};

ZkBankHeaderKey& BankHeaderKey();
void ApplyBankHeaderKey(ZkBankHeader& header);
} // namespace ZK::SoundEngine
