#include "TemporaryHome.h"
#include <cstdlib>

TemporaryHome::TemporaryHome()
{
    if (const char* home = std::getenv ("HOME"))
    {
        hadHome = true;
        previousHome = juce::String::fromUTF8 (home);
    }

    char pattern[] = "/tmp/thornvale-home-XXXXXX";
    const char* made = mkdtemp (pattern);
    jassert (made != nullptr);
    folder = juce::File (juce::String::fromUTF8 (made != nullptr ? made : "/tmp"));
    setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
}

TemporaryHome::~TemporaryHome()
{
    if (hadHome)
        setenv ("HOME", previousHome.toRawUTF8(), 1);
    else
        unsetenv ("HOME");

    folder.deleteRecursively();
}

juce::File TemporaryHome::getSettingsFolder() const
{
    return folder.getChildFile (".config/Audio/Presets/Marrowfield/Thornvale");
}
