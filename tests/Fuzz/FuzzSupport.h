#pragma once

#include <juce_core/juce_core.h>

/** Silences the framework's logging for a fuzzer: JUCE's own parsers assert (in debug builds) on
    inputs they handle anyway, such as an empty JSON key, and those reports are noise here. The
    logger is never destroyed, since the process ends with it still installed. */
inline void silenceJuceLogging()
{
    struct QuietLogger : juce::Logger
    {
        void logMessage (const juce::String&) override {}
    };

    static auto* logger = new QuietLogger();
    juce::Logger::setCurrentLogger (logger);
}
