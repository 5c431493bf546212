#pragma once

#include "StepToken.h"

#include <juce_audio_processors/juce_audio_processors.h>

// The 180 parameters, declared once in host order.
namespace ParameterLayout
{
    static constexpr int numParameters = 180;

    // The per-voice families, in the order they appear for each voice.
    static constexpr std::array<const char*, 13> voiceFamilyIds {
        "velocity", "pitch", "density", "enabled", "shift", "lockVelocity", "lockDensity",
        "lock", "generate", "velocitymin", "velocitymax", "densitymin", "densitymax"
    };

    juce::String voiceParameterId (const char* family, int voice);

    // Choices of "model" for a catalogue; padded so the parameter always has
    // the two choices it needs to be usable.
    juce::StringArray modelChoices (const juce::Array<juce::File>& catalogue);

    juce::AudioProcessorValueTreeState::ParameterLayout create (const juce::StringArray& modelNames);
}

// Reading convention shared by every part of the processor: plain values, integers
// and choice indices rounded, booleans on at 0.5 or more. All lock-free.
namespace ParameterValue
{
    inline float plain (const juce::RangedAudioParameter& p) noexcept { return p.convertFrom0to1 (p.getValue()); }
    inline int integer (const juce::RangedAudioParameter& p) noexcept { return juce::roundToInt (plain (p)); }
    inline bool isOn (const juce::RangedAudioParameter& p) noexcept { return plain (p) >= 0.5f; }

    // Outside the host: set by normalised value, then tell listeners and host.
    inline void setNotifying (juce::RangedAudioParameter& p, float normalised)
    {
        p.setValue (normalised);
        p.sendValueChangedMessageToListeners (normalised);
    }
}
