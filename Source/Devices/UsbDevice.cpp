#include "UsbDevice.h"

UsbDevice::UsbDevice (const juce::String& deviceName)
    : name (deviceName)
{
}

UsbDevice::~UsbDevice() = default;

void UsbDevice::release()
{
    mode = none;
}
