#pragma once

#include "StepRenderer.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <functional>

// Renders the pattern as a Standard MIDI File: format 1, one track, 480 ticks
// per quarter note, a sixteenth per step and a thirty-second per note.
namespace MidiExport
{
    static constexpr int ticksPerQuarterNote = 480;
    static constexpr int ticksPerStep = 120;
    static constexpr int noteTicks = 60;
    static constexpr const char* trackName = "Orvo Vuded Pattern";
    static constexpr const char* exportFileName = "orvo_drums_export.mid";

    struct Selection
    {
        int patternLength = 16;
        bool allEnabled = false;   // "lfo" on: every enabled variation in turn
        int variation = 0;
        std::array<bool, Pattern::numVariations> enabled {};
    };

    using StepSource = std::function<MidiStep (int voice, int step, int variation)>;

    juce::MidiMessageSequence renderSequence (const Selection& selection, const StepSource& source);

    // A format 1 file of one track at 480 ticks per quarter note.
    juce::MemoryBlock fileBytes (const juce::MidiMessageSequence& track);

    // The complete file bytes.
    juce::MemoryBlock renderFile (const Selection& selection, const StepSource& source);
}
