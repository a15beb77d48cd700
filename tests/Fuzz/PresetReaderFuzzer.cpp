// Feeds arbitrary file contents to the user-preset reader: whatever a preset file holds, reading
// it gives a preset, which then writes and converts without fault.

#include "PresetFormat.h"

namespace
{
    /** JUCE's own parser asserts (in debug builds) on inputs it handles anyway, such as an empty
        JSON key; those reports are noise here. */
    struct QuietLogger : juce::Logger
    {
        void logMessage (const juce::String&) override {}
    };
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // Never destroyed: the process ends with it still installed.
    static auto* logger = new QuietLogger();
    juce::Logger::setCurrentLogger (logger);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    juce::MemoryInputStream file (data, size, false);
    const auto json = PresetFormat::parseJson (file.readEntireStreamAsString());

    const PresetFormat preset (json, {});
    const auto text = preset.toFileText();
    (void) preset.toPreset (3);
    (void) PresetFormat::toSafeFileName (preset.getName());

    // What we write must read back as the same name.
    const PresetFormat back (PresetFormat::parseJson (text), {});
    if (back.getName() != preset.getName())
        __builtin_trap();

    return 0;
}
