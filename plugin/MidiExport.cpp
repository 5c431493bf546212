#include "MidiExport.h"

juce::MidiMessageSequence MidiExport::renderSequence (const Selection& selection, const StepSource& source)
{
    juce::MidiMessageSequence sequence;
    sequence.addEvent (juce::MidiMessage::textMetaEvent (3, trackName), 0.0);

    const auto length = juce::jlimit (1, Pattern::numSteps, selection.patternLength);
    int offset = 0;

    for (int v = 0; v < Pattern::numVariations; ++v)
    {
        const auto included = selection.allEnabled ? selection.enabled[static_cast<std::size_t> (v)]
                                                   : v == selection.variation;
        if (! included)
            continue;

        for (int i = 0; i < length; ++i)
        {
            for (int voice = 0; voice < Voices::count; ++voice)
            {
                const auto m = source (voice, i, v);
                if (m.valid <= 0)
                    continue;

                const auto on = offset + ticksPerStep * i + static_cast<int> (m.swing * ticksPerStep * 0.5);
                const auto note = m.note & 0x7F;
                const auto velocity = juce::jmin (127, m.velocity & 0xFF);

                // Equal ticks keep insertion order: variation, step, voice.
                sequence.addEvent (juce::MidiMessage (0x99, note, velocity), on);
                sequence.addEvent (juce::MidiMessage (0x89, note, 0), on + noteTicks);
            }
        }

        offset += ticksPerStep * length;
    }

    return sequence;
}

juce::MemoryBlock MidiExport::fileBytes (const juce::MidiMessageSequence& track)
{
    juce::MidiFile file;
    file.setTicksPerQuarterNote (ticksPerQuarterNote);
    file.addTrack (track);

    juce::MemoryBlock bytes;
    juce::MemoryOutputStream out (bytes, false);
    file.writeTo (out, 1);
    out.flush();
    return bytes;
}

juce::MemoryBlock MidiExport::renderFile (const Selection& selection, const StepSource& source)
{
    return fileBytes (renderSequence (selection, source));
}
