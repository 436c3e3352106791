// The state of one bank parse, shared by the chunk readers of BankManager (BankParse*.cpp,
// BankChunk*.cpp). Internal to the bank manager.
#pragma once

#include "ZkAudiolib/Common/Banks/BankManager.h"

namespace ZK::SoundEngine
{
struct BankManager::Parse
{
    const BankRequest& request;
    LoadedBank& bank;
    uint32_t parseType;
    bool decode = false;          // prepared media are decoded (parse types 1 and 3)
    uint32_t version = 0;
    uint32_t mediaAlignment = kDefaultMediaAlignment;
    bool restricted = false;      // versions 118 to 139: media chunks only
    bool mediaDataRead = false;   // a "DATA" chunk was met
    bool mainOutputMark = false;  // a bus of this "HIRC" chunk took over the main output

    bool IsMemoryView() const { return request.sourceKind == ZkBankSourceMemoryView; }
};

template <typename Read>
ZKRESULT BankManager::ReadSection(uint32_t size, ZKRESULT shortResult, Read&& read)
{
    const uint8_t* body = nullptr;
    ZKRESULT result = TakeBody(size, body, shortResult);
    if (result != ZK_Success)
        return result;
    result = read(body, size);
    m_reader.ReleaseData();
    return result;
}

// The text of a refused bank version (the engine has no log: it is built for a debugger to see).
void FormatBankVersionMessage(uint32_t version, wchar_t (&text)[260]);
} // namespace ZK::SoundEngine
