#pragma once

#include <juce_core/juce_core.h>

/** The pedal's preset record: exactly 25 bytes, the same in both directions.

    Byte 0 is the preset number, bytes 1…16 the name (ASCII, zero-terminated when shorter),
    bytes 18, 19, 20 Volume, Tone and Sustain, byte 21 the input gain, byte 23 the tone
    switches (bit 0 tone bypass, bit 4 Tone Lattice), byte 24 zero.
*/
struct PRESET
{
    static constexpr int size = 25;
    static constexpr int nameOffset = 1;
    static constexpr int nameLength = 16;
    static constexpr int volOffset = 18, tonOffset = 19, susOffset = 20, adcOffset = 21, switchesOffset = 23;

    juce::uint8 bytes[size] {};

    /** The name field read as at most 16 characters up to the first zero byte. */
    juce::String getName() const;

    /** Writes the first 15 characters of name, characters above code 127 as spaces, the rest
        of the field zero. */
    void setName (const juce::String& name);
};

static_assert (sizeof (PRESET) == PRESET::size, "the preset record is 25 bytes on the wire");

/** The pedal's ten presets, kept in one 256-byte block. */
struct PresetTable
{
    static constexpr int numPresets = 10;

    PRESET records[numPresets] {};
    juce::uint8 padding[256 - numPresets * PRESET::size] {};

    PRESET& operator[] (int index) noexcept               { return records[index]; }
    const PRESET& operator[] (int index) const noexcept   { return records[index]; }
    void clear() noexcept                                 { *this = PresetTable(); }
};

static_assert (sizeof (PresetTable) == 256, "the preset table is one 256-byte block");
