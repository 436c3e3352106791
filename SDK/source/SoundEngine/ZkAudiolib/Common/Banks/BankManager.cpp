// The bank manager's state: construction, the tables' life cycle, the media registration point.
#include "ZkAudiolib/Common/Banks/BankManager.h"

namespace ZK::SoundEngine
{
BankManager* g_pBankManager = nullptr;

BankManager::BankManager()
{
    m_cookies.Init();
}

BankManager::~BankManager()
{
    Term();
    m_cookies.Term();
}

ZKRESULT BankManager::Init()
{
    if (!m_bankTable.Init())
        return ZK_InsufficientMemory;
    if (!m_reader.IsInitialized())
        m_reader.Init();
    return ZK_Success;
}

ZKRESULT BankManager::Term()
{
    m_bankTable.Term();
    m_bankNames.Term();
    m_reader.Term();
    return ZK_Success;
}

ZKRESULT BankManager::RegisterBankMedia(const uint8_t*, LoadedBank&)
{
    return ZK_NotImplemented;
}

ZKRESULT BankManager::SetMediaEntry(const ZkMediaRef&)
{
    return ZK_NotImplemented;
}

void BankManager::ReleaseMediaEntry(ZkUniqueID) {}
} // namespace ZK::SoundEngine
