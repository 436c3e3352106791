// The parse of one bank: its record, the reader, the header and the chunk loop.
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include "ZkAudiolib/Common/Banks/BankHeaderKey.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <cwchar>

namespace ZK::SoundEngine
{
void FormatBankVersionMessage(uint32_t version, wchar_t (&text)[260])
{
    std::swprintf(text, 260,
                  L"Load bank failed : incompatible bank version. Bank was generated with %ls version of Ostrel. "
                  L"The Bank version is %d and the current SDK version is %d",
                  version < kBankVersion ? L"an older" : L"a newer", static_cast<int>(version),
                  static_cast<int>(kBankVersion));
}

namespace
{
ZKRESULT RefuseVersion(uint32_t version)
{
    wchar_t text[260];
    FormatBankVersionMessage(version, text);
    return ZK_WrongBankVersion;
}
} // namespace

ZKRESULT BankManager::ParseBank(const BankRequest& request, LoadedBank*& bank, uint32_t parseType,
                                bool countStructure, bool decode)
{
    bank = nullptr;
    ZKRESULT result = FindOrCreateRecord(request, bank, parseType, countStructure);
    if (result != ZK_Success)
        return result;
    Parse parse{request, *bank, parseType};
    parse.decode = decode;
    // A preparation reads the bank's file: by name when it has one, else by id.
    if (parseType != ZkBankParseLoad)
        result = request.fileName != nullptr ? m_reader.OpenByName(request.fileName, 0, request.cookie)
                                             : m_reader.OpenByID(request.bankID, 0, ZK_FileTypeSoundBank,
                                                                 request.cookie, true);
    else
        result = OpenReader(request);
    if (result == ZK_Success)
        result = ReadHeader(parse);
    if (result == ZK_Success)
        result = ReadChunks(parse);
    m_reader.Close();
    return result;
}

ZKRESULT BankManager::FindOrCreateRecord(const BankRequest& request, LoadedBank*& bank, uint32_t parseType,
                                         bool countStructure)
{
    const void* address = request.sourceKind == ZkBankSourceMemoryView ? request.data.bank.memory : nullptr;
    const ZkLockedIdKey key{request.bankID, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address))};
    {
        ZK::Platform::ZkScopedLock guard(CZkLockedIdTable::Lock());
        if (ZkLockedIdEntry* entry = m_bankTable.Find(key))
        {
            auto* found = static_cast<LoadedBank*>(entry);
            if (found->IsLoaded())
                return ZK_BankAlreadyLoaded;
            if (countStructure)
                ++found->structureCount;
            bank = found;
            return ZK_Success;
        }
    }
    LoadedBank* created = LoadedBank::Create(request.bankID, address);
    if (created == nullptr)
        return ZK_InsufficientMemory;
    const bool load = parseType == ZkBankParseLoad;
    created->loadCount.store(load ? 1 : 0, std::memory_order_relaxed);
    created->preparationCount.store(load ? 0 : 1, std::memory_order_relaxed);
    created->flags = load ? LoadedBank::kFlagLoaded : 0;
    created->structureCount = countStructure && !load ? 1 : 0;
    bank = created;
    return ZK_Success;
}

ZKRESULT BankManager::OpenReader(const BankRequest& request)
{
    switch (request.sourceKind)
    {
    case ZkBankSourceByID:
        return m_reader.OpenByID(request.bankID, 0, ZK_FileTypeSoundBank, request.cookie, true);
    case ZkBankSourceMemoryView:
    case ZkBankSourceMemoryCopy:
        if (request.data.bank.memory == nullptr)
            return ZK_InvalidParameter;
        return m_reader.SetMemory(request.data.bank.memory, request.data.bank.memorySize);
    default:
        if (request.fileName != nullptr)
            return m_reader.OpenByName(request.fileName, 0, request.cookie);
        return m_reader.OpenByID(request.bankID, 0, ZK_FileTypeSoundBank, request.cookie, true);
    }
}

ZKRESULT BankManager::ReadHeader(Parse& parse)
{
    uint8_t chunk[kChunkHeaderBytes];
    if (m_reader.ReadExact(chunk, kChunkHeaderBytes) != ZK_Success)
        return ZK_InvalidFile;
    const uint32_t size = ZK::LoadLittleEndian<uint32_t>(chunk + 4);
    if (ZK::LoadLittleEndian<uint32_t>(chunk) != BankTag::Header || size < kBankHeaderBytes)
        return ZK_InvalidFile;
    ZkBankHeader header;
    if (m_reader.ReadExact(&header, kBankHeaderBytes) != ZK_Success)
        return ZK_ShortBankRead;
    ApplyBankHeaderKey(header);
    uint32_t skipped = 0;
    if (m_reader.Skip(size - kBankHeaderBytes, skipped) != ZK_Success || skipped != size - kBankHeaderBytes)
        return ZK_ShortBankRead;
    if (header.version > kBankVersion || header.version < kOldestMediaBankVersion)
        return RefuseVersion(header.version);
    parse.version = header.version;
    parse.restricted = header.version < kBankVersion;
    parse.mediaAlignment = header.version < kFirstVersionWithAlignment ? kDefaultMediaAlignment : header.alignment;
    return ZK_Success;
}

ZKRESULT BankManager::ReadChunks(Parse& parse)
{
    ZKRESULT result = ZK_Success;
    while (result == ZK_Success)
    {
        uint8_t chunk[kChunkHeaderBytes];
        uint32_t got = 0;
        const ZKRESULT read = m_reader.Read(chunk, kChunkHeaderBytes, got);
        if (read != ZK_Success)
            return read;
        if (got == 0)
            return result; // the bank ends at a chunk boundary
        if (got < kChunkHeaderBytes)
            return ZK_InvalidFile;
        const uint32_t tag = ZK::LoadLittleEndian<uint32_t>(chunk);
        const uint32_t size = ZK::LoadLittleEndian<uint32_t>(chunk + 4);
        if (parse.restricted && tag != BankTag::MediaIndex && tag != BankTag::MediaData)
            return RefuseVersion(parse.version);
        switch (tag)
        {
        case BankTag::MediaIndex: result = ReadMediaIndex(parse, size); break;
        case BankTag::MediaData: result = ReadMediaData(parse, size); break;
        case BankTag::Hierarchy: result = ReadHierarchy(parse, size); break;
        case BankTag::BankNames: result = ReadBankNames(parse, size); break;
        case BankTag::GameSyncs: result = ReadGameSyncs(parse, size); break;
        case BankTag::Environment: result = ReadEnvironment(parse, size); break;
        case BankTag::Platform: result = ReadPlatform(parse, size); break;
        case BankTag::PluginLibraries: result = ReadPluginLibraries(parse, size); break;
        default: result = SkipBody(size); break;
        }
    }
    return result;
}

ZKRESULT BankManager::SkipBody(uint32_t size)
{
    uint32_t skipped = 0;
    const ZKRESULT result = m_reader.Skip(size, skipped);
    if (result != ZK_Success)
        return result;
    return skipped == size ? ZK_Success : ZK_InvalidFile;
}

ZKRESULT BankManager::TakeBody(uint32_t size, const uint8_t*& body, ZKRESULT shortResult)
{
    static const uint8_t kEmpty = 0;
    body = &kEmpty;
    if (size == 0)
        return ZK_Success;
    body = nullptr;
    if (m_reader.BytesLeft() < size)
        return shortResult;
    body = m_reader.GetData(size);
    if (body != nullptr)
        return ZK_Success;
    return m_reader.BytesLeft() < size ? shortResult : ZK_InsufficientMemory;
}
} // namespace ZK::SoundEngine
