#pragma once

#include <juce_core/juce_core.h>
#include "Devices/PresetRecord.h"

/** One preset of the pedal: a name and the eleven values that make up a sound.

    The values live in one reference-counted juce::DynamicObject, shared (not copied) when the
    preset is wrapped in a juce::var. Its properties are always the twelve keys of keys(), in
    that order.
*/
class PresetFormat
{
public:
    struct Key
    {
        const char* name;
        int defaultValue;
    };

    /** The eleven value keys in file order, with their defaults ("name" comes first, before them). */
    static const std::array<Key, 11>& valueKeys();

    /** From JSON data: name is the given one when not empty, else the JSON's "name", else "None";
        every other key is the JSON's value when present (as it is), else its default. */
    PresetFormat (const juce::var& json, const juce::String& name);

    /** From a pedal record: the values the record carries; the DAC gains 63 and both links on. */
    PresetFormat (const PRESET& record, const juce::String& name);

    ~PresetFormat();

    /** The record sent to the pedal, with byte 0 = number. */
    PRESET toPreset (int number) const;

    /** Overwrites each of this preset's keys that source (a dynamic object) holds. */
    void setProperties (const juce::var& source);

    /** The ".mfp" text: one JSON object with the twelve keys in order, two-space indent, CR LF
        line breaks, characters outside printable ASCII as \u escapes, no line break after "}". */
    juce::String toFileText() const;

    /** Writes toFileText() to file without ever leaving a half-written file in its place: the text
        goes to a temporary file beside it, which then replaces the target. False on failure, in
        which case the target is untouched. */
    bool writeToFile (const juce::File& file) const;

    /** A file name (without extension) made from a preset name that cannot leave the folder it is
        used in: no path separators, no control or reserved characters, no leading dot or space,
        not empty, at most 100 characters. */
    static juce::String toSafeFileName (const juce::String& presetName);

    /** Parses preset JSON as the framework does, but reads characters written as surrogate pairs
        correctly. Text that does not parse gives a void var. */
    static juce::var parseJson (const juce::String& text);

    /** A JSON string literal of text, with \u escapes for everything outside printable ASCII. */
    static juce::String toJsonString (const juce::String& text);

    juce::String getName() const;
    juce::var getValue (const juce::Identifier& key) const;
    int getIntValue (const juce::Identifier& key) const;

    /** The preset as a var sharing this preset's object. */
    juce::var toVar() const   { return juce::var (object.get()); }
    juce::DynamicObject& getObject() const noexcept   { return *object; }

private:
    juce::DynamicObject::Ptr object;

    JUCE_LEAK_DETECTOR (PresetFormat)
};

/** Orders presets by name, case-insensitively, code point by code point. */
struct PresetFormatElementComparator
{
    static int compareElements (const PresetFormat* a, const PresetFormat* b);
};
