#include "PresetRecord.h"

juce::String PRESET::getName() const
{
    juce::String name;

    for (int i = 0; i < nameLength && bytes[nameOffset + i] != 0; ++i)
        name += (juce::juce_wchar) bytes[nameOffset + i];

    return name;
}

void PRESET::setName (const juce::String& name)
{
    for (int i = 0; i < nameLength; ++i)
        bytes[nameOffset + i] = 0;

    auto text = name.getCharPointer();

    for (int i = 0; i < nameLength - 1 && ! text.isEmpty(); ++i)
    {
        const auto c = text.getAndAdvance();
        bytes[nameOffset + i] = (juce::uint8) (c > 127 ? ' ' : c);
    }
}
