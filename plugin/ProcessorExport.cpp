// MIDI export: the pattern as the plug-in would play it, written to a file.
#include "PluginProcessor.h"
#include "AtomicFile.h"
#include "MidiExport.h"
#include "ParameterLayout.h"

juce::File KadenzoAudioProcessor::getExportFile()
{
    return juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile (MidiExport::exportFileName);
}

bool KadenzoAudioProcessor::exportMidiFile()
{
    return exportMidiFileTo (getExportFile());
}

bool KadenzoAudioProcessor::exportMidiFileTo (const juce::File& target)
{
    MidiExport::Selection selection;
    selection.patternLength = ParameterValue::integer (*patternlength);
    selection.allEnabled = ParameterValue::isOn (*lfo);
    selection.variation = ParameterValue::integer (*variation);

    for (int v = 0; v < Pattern::numVariations; ++v)
        selection.enabled[static_cast<std::size_t> (v)] = ParameterValue::isOn (*enabledVariations[static_cast<std::size_t> (v)]);

    // One pattern and one set of controls for the whole file.
    const auto reader = patternStore.read();
    const auto settings = readRenderSettings();
    const auto bytes = MidiExport::renderFile (selection, [&] (int voice, int step, int v)
    {
        return StepRenderer::render (settings, reader.pattern(), voice, step, v);
    });

    return AtomicFile::write (bytes, target);
}
