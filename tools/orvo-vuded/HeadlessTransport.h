#pragma once

#include "PluginProcessor.h"

// Plays the processor over a running transport, block by block as a host
// does, and returns the MIDI it emits as a Standard MIDI File.
namespace HeadlessTransport
{
    juce::MemoryBlock render (KadenzoAudioProcessor& processor, double tempo, double sampleRate, int blockSize, int bars);
}
