// Feeds arbitrary file contents to the user-preset reader: whatever a preset file holds, reading
// it gives a preset, which then writes and converts without fault.

#include "PresetFormat.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    silenceJuceLogging();
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
