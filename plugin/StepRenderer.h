#pragma once

#include "PatternStore.h"

#include <array>

// What one voice plays on one step: all fields zero when it does not sound.
struct MidiStep
{
    int note = 0;
    int velocity = 0;
    int valid = 0;
    double swing = 0.0;   // fraction of a thirty-second note

    bool operator== (const MidiStep&) const = default;
};

// The performance controls that shape a stored step, read once by the caller.
struct RenderSettings
{
    struct Voice
    {
        int pitch = 36;
        int velocity = 100;
        int density = 100;
        int shift = 0;
        bool enabled = true;
    };

    int patternLength = 16;
    int densityMain = 100;
    int velocityMain = 100;
    bool fourFloor = false;
    bool forceSnare = false;
    bool forceOpenHat = false;
    int swing = 50;
    std::array<Voice, Voices::count> voices {};
};

namespace StepRenderer
{
    // Constant time, no allocation, no locks: safe on the audio thread.
    MidiStep render (const RenderSettings& settings, const PatternSnapshot& pattern, int voice, int step, int variation) noexcept;
}
