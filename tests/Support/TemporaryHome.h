#pragma once

#include <juce_core/juce_core.h>

/** Points HOME (and so the user application-data folder) at a fresh temporary folder for its
    lifetime, then restores HOME and deletes the folder. */
class TemporaryHome
{
public:
    TemporaryHome();
    ~TemporaryHome();

    juce::File getFolder() const   { return folder; }
    /** The plug-in's settings folder inside this home. */
    juce::File getSettingsFolder() const;

private:
    juce::File folder;
    juce::String previousHome;
    bool hadHome = false;

    JUCE_DECLARE_NON_COPYABLE (TemporaryHome)
};
