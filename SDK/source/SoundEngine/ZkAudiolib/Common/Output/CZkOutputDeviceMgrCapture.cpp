// The output device manager's capture: one WAVE file per device under numbered names, the markers
// every file gets, and the end of every device's frame.
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include "ZkAudiolib/Common/Output/ZkOutputDeviceMgrState.h"

#include <cwchar>

namespace ZK::SoundEngine
{
using OutputDeviceMgrState::Devices;

namespace
{
constexpr wchar_t kFirstNumeral = L'0';
} // namespace

void CZkOutputDeviceMgr::StartOutputCapture(const wchar_t* fileName)
{
    OutputDeviceMgrState::DeviceList& list = Devices();
    if (list.captureName != nullptr || list.mainOutputStatus != MainOutput_Ready)
        return;
    if (fileName == nullptr || fileName[0] == L'\0')
        return;
    // The name of the other devices: a numeral before the extension (at the start without one).
    const size_t length = std::wcslen(fileName);
    size_t position = length;
    while (position > 0 && fileName[position - 1] != L'.')
        --position;
    position = position > 0 ? position - 1 : 0;
    auto* numbered = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(CZkOutputDevice::kPool, (length + 2) * sizeof(wchar_t)));
    if (numbered == nullptr)
        return;
    std::wmemcpy(numbered, fileName, position);
    numbered[position] = kFirstNumeral;
    std::wmemcpy(numbered + position + 1, fileName + position, length - position + 1);
    list.captureName = numbered;
    list.numeralPosition = static_cast<uint32_t>(position);

    for (CZkOutputDevice* device = list.head; device != nullptr; device = device->next)
    {
        if (device->IsMain())
            device->StartCaptureFile(fileName); // a file that cannot be opened leaves the device without one
        else
            OpenNumberedCaptureFile(*device);
    }
}

void CZkOutputDeviceMgr::OpenNumberedCaptureFile(CZkOutputDevice& device)
{
    // The numeral's own position is kept: the extension may be of any length, or missing.
    wchar_t* name = Devices().captureName;
    ++name[Devices().numeralPosition];
    device.StartCaptureFile(name);
}

void CZkOutputDeviceMgr::StopOutputCapture()
{
    OutputDeviceMgrState::DeviceList& list = Devices();
    for (CZkOutputDevice* device = list.head; device != nullptr; device = device->next)
        device->StopCaptureFile();
    if (list.captureName != nullptr)
        ZK::MemoryMgr::Free(CZkOutputDevice::kPool, list.captureName);
    list.captureName = nullptr;
}

void CZkOutputDeviceMgr::AddOutputCaptureMarker(const char* text)
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (CaptureFileWriter* writer = device->CaptureWriter())
            writer->AddMarker(text);
    }
}

void CZkOutputDeviceMgr::EndFrame()
{
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
        device->EndFrame();
    OutputDeviceMgrState::Render& render = OutputDeviceMgrState::Rendering();
    render.previousGain = render.currentGain;
}
} // namespace ZK::SoundEngine
