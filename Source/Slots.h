#pragma once

#include "PresetFormat.h"

enum class SlotState
{
    empty  = 0,
    stored = 1,
    active = 2
};

/** One comparison slot: a stored sound and the program it came from. */
struct Slot
{
    PresetFormat values { juce::var(), {} };
    SlotState state = SlotState::empty;
    juce::String programName;
    bool modified = false;
    int programNumber = 0;
};

/** The two comparison slots A and B, and the backup of the live sound taken before a
    comparison (its state is 0 until a backup was taken, then 1). */
struct Slots
{
    Slots()
    {
        slots.add (new Slot());
        slots.add (new Slot());
    }

    juce::OwnedArray<Slot> slots;
    Slot backup;
};
