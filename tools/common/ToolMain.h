#pragma once

#include <juce_events/juce_events.h>

#include <functional>
#include <iostream>

// What the command-line tools share: one way to fail with a one-line message
// and a non-zero exit, and a main that sets up the framework around a run.
namespace ToolMain
{
    struct Failure
    {
        juce::String message;
    };

    [[noreturn]] inline void fail (const juce::String& message) { throw Failure { message }; }

    inline int run (const char* toolName, int argc, char** argv, const std::function<int (const juce::StringArray&)>& body)
    {
        juce::ScopedJuceInitialiser_GUI juce;
        juce::StringArray args;
        for (int i = 1; i < argc; ++i)
            args.add (juce::String::fromUTF8 (argv[i]));

        try
        {
            return body (args);
        }
        catch (const Failure& f)
        {
            std::cerr << toolName << ": " << f.message << "\n";
            return 1;
        }
    }
}
