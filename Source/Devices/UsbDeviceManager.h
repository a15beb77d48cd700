#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** The process-wide list of connected devices of one kind, shared by every plug-in instance
    through juce::SharedResourcePointer (created by the first instance, destroyed with the last).

    Scanning, sorting and the per-device settings files are added on top of this interface.
*/
template <typename DeviceType>
class UsbBaseDeviceManager
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceAdded (DeviceType*) {}
        virtual void deviceRemoved (DeviceType*) {}
    };

    UsbBaseDeviceManager() = default;
    virtual ~UsbBaseDeviceManager() = default;

    void addListener (Listener* listener)       { listeners.addIfNotAlreadyThere (listener); }
    void removeListener (Listener* listener)    { listeners.removeAllInstancesOf (listener); }
    int getNumListeners() const noexcept        { return listeners.size(); }

    void setSettingsPath (const juce::String& path)             { settingsPath = path; }
    const juce::String& getSettingsPath() const noexcept        { return settingsPath; }
    void setDefaultSettings (const juce::ValueTree& settings)   { defaultSettings = settings; }
    const juce::ValueTree& getDefaultSettings() const noexcept  { return defaultSettings; }

    const juce::OwnedArray<DeviceType>& getDevices() const noexcept   { return devices; }

protected:
    juce::OwnedArray<DeviceType> devices;
    juce::Array<Listener*> listeners;
    juce::String settingsPath;
    juce::ValueTree defaultSettings;

    JUCE_DECLARE_NON_COPYABLE (UsbBaseDeviceManager)
};
