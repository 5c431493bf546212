#pragma once

#include "StepToken.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <map>
#include <optional>
#include <vector>

// MIDI drum performances turned into step sequences as the generator sees
// them: one token per sixteenth, hit bits plus the position class.
namespace DrumCorpus
{
    // General MIDI drum pitches to the voice whose default pitch plays them.
    std::map<int, int> defaultVoiceMap();

    struct Sequence
    {
        std::vector<StepToken> tokens;   // without the start marker
    };

    struct FileResult
    {
        std::vector<Sequence> sequences;       // 4/4 stretches with hits, split at long pauses
        int skippedNon44Stretches = 0;
        int droppedNotes = 0;                  // pitches with no voice
        juce::String problem;                  // why nothing usable came out
    };

    // More whole bars of silence than this end one sequence and start the next.
    static constexpr std::int64_t maxSilentBars = 4;

    // Note-ons quantised to the nearest sixteenth of the file's own time (tick
    // 0 a bar line); only 4/4 stretches; several hits of a voice on a step are one.
    // Notes softer than minVelocity (ghost notes) are left out.
    FileResult readMidi (const juce::MidiFile& file, const std::map<int, int>& voiceMap, int minVelocity = 1);
    FileResult readFile (const juce::File& file, const std::map<int, int>& voiceMap, int minVelocity = 1);

    // Sixteenth index of a tick, rounding to the nearest (halves go later).
    std::int64_t nearestSixteenth (double tick, double ticksPerSixteenth);
}
