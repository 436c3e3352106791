#include "ZkAudiolib/Common/Capture/CZkStreamFileWriter.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

namespace ZK::SoundEngine
{
namespace
{
// A capture file: created or truncated, not a bank, not in a language folder, never cached.
ZkFileOpenFlags CaptureFileFlags()
{
    ZkFileOpenFlags flags;
    flags.fileType = 1;
    flags.idSpace = ZK_FileIdSpace32;
    flags.isLanguageSpecific = false;
    flags.cacheId = ZK_NoCacheID;
    return flags;
}

ZKRESULT WriteWhole(IZkStandardStream& stream, const void* buffer, uint32_t size, uint8_t priority)
{
    uint32_t written = 0;
    const ZKRESULT result = stream.Write(const_cast<void*>(buffer), size, true, priority, 0.0f, written);
    if (result == ZK_Success && written != size)
        return ZK_Fail;
    return result;
}
} // namespace

ZKRESULT CZkStreamFileWriter::Open(const wchar_t* fileName, const void* header, uint32_t headerSize)
{
    if (m_stream != nullptr)
        return ZK_Success;
    ZK::IZkStreamMgr* manager = ZK::IZkStreamMgr::m_pStreamMgr;
    if (manager == nullptr)
        return ZK_StreamMgrNotInitialized;
    ZkFileOpenFlags flags = CaptureFileFlags();
    IZkStandardStream* stream = nullptr;
    const ZKRESULT opened = manager->CreateStandardStreamByName(fileName, &flags, ZK_OpenModeWriteOverwrite, stream, true);
    if (opened != ZK_Success)
        return opened;
    m_stream = stream;
    const ZKRESULT written = WriteWhole(*m_stream, header, headerSize, kHeaderPriority);
    if (written != ZK_Success)
        DestroyStream();
    return written;
}

ZKRESULT CZkStreamFileWriter::Close(const void* header, uint32_t headerSize)
{
    if (m_stream == nullptr)
        return ZK_Fail;
    ZKRESULT result = m_stream->SetPosition(0, ZK_MoveBegin, nullptr);
    if (result == ZK_Success)
        result = WriteWhole(*m_stream, header, headerSize, kDataPriority);
    DestroyStream();
    return result;
}

ZKRESULT CZkStreamFileWriter::WriteData(const void* buffer, uint32_t size)
{
    return Write(buffer, size);
}

ZKRESULT CZkStreamFileWriter::Write(const void* buffer, uint32_t size)
{
    if (m_stream == nullptr)
        return ZK_Fail;
    return WriteWhole(*m_stream, buffer, size, kDataPriority);
}

void CZkStreamFileWriter::Destroy()
{
    DestroyStream();
    ZK::ZkDelete(kPool, this);
}

void CZkStreamFileWriter::DestroyStream()
{
    if (m_stream != nullptr)
        m_stream->Destroy();
    m_stream = nullptr;
}

CZkStreamFileWriter* CZkStreamFileWriterFactory::CreateWriter(uint32_t, uint32_t, void*)
{
    return ZK::ZkNew<CZkStreamFileWriter>(CZkStreamFileWriter::kPool);
}

CZkStreamFileWriterFactory* CZkStreamFileWriterFactory::GetDefault()
{
    static CZkStreamFileWriterFactory factory;
    return &factory;
}
} // namespace ZK::SoundEngine
