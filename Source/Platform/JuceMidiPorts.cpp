#include "JuceMidiPorts.h"
#include "Platform.h"

namespace
{
    struct JuceInput : MidiInputPort
    {
        explicit JuceInput (std::unique_ptr<juce::MidiInput> in) : input (std::move (in)) {}
        void start() override   { input->start(); }
        void stop() override    { input->stop(); }
        std::unique_ptr<juce::MidiInput> input;
    };

    struct JuceOutput : MidiOutputPort
    {
        explicit JuceOutput (std::unique_ptr<juce::MidiOutput> out) : output (std::move (out)) {}
        void sendMessageNow (const juce::MidiMessage& m) override   { output->sendMessageNow (m); }
        void clearAllPendingMessages() override                     { output->clearAllPendingMessages(); }
        std::unique_ptr<juce::MidiOutput> output;
    };
}

namespace
{
    /** Without the ALSA sequencer device there are no MIDI ports to list, and asking ALSA anyway
        prints an error on every scan. */
    bool systemHasMidi()
    {
       #if JUCE_LINUX || JUCE_BSD
        return juce::File ("/dev/snd/seq").exists();
       #else
        return true;
       #endif
    }
}

juce::Array<juce::MidiDeviceInfo> JuceMidiPorts::getInputs()
{
    return systemHasMidi() ? juce::MidiInput::getAvailableDevices() : juce::Array<juce::MidiDeviceInfo>();
}

juce::Array<juce::MidiDeviceInfo> JuceMidiPorts::getOutputs()
{
    return systemHasMidi() ? juce::MidiOutput::getAvailableDevices() : juce::Array<juce::MidiDeviceInfo>();
}

std::unique_ptr<MidiInputPort> JuceMidiPorts::openInput (const juce::String& identifier, juce::MidiInputCallback* callback)
{
    if (auto input = juce::MidiInput::openDevice (identifier, callback))
        return std::make_unique<JuceInput> (std::move (input));

    return nullptr;
}

std::unique_ptr<MidiOutputPort> JuceMidiPorts::openOutput (const juce::String& identifier)
{
    if (auto output = juce::MidiOutput::openDevice (identifier))
        return std::make_unique<JuceOutput> (std::move (output));

    return nullptr;
}

std::unique_ptr<juce::AudioIODeviceType> JuceMidiPorts::createAudioDeviceType()
{
   #if JUCE_MAC
    return std::unique_ptr<juce::AudioIODeviceType> (juce::AudioIODeviceType::createAudioIODeviceType_CoreAudio());
   #elif JUCE_LINUX || JUCE_BSD
    return std::unique_ptr<juce::AudioIODeviceType> (juce::AudioIODeviceType::createAudioIODeviceType_ALSA());
   #elif JUCE_WINDOWS
    return std::unique_ptr<juce::AudioIODeviceType> (juce::AudioIODeviceType::createAudioIODeviceType_WASAPI (juce::WASAPIDeviceMode::shared));
   #else
    return nullptr;
   #endif
}

bool JuceMidiPorts::ownsIdentifier (const juce::String& identifier) const
{
    return ! identifier.startsWith (Platform::simulatedPrefix);
}
