#include "PluginProcessor.h"

// The plug-in formats' entry point: the processor reads models from its bundle.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new KadenzoAudioProcessor();
}
