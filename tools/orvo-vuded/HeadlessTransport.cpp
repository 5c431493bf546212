#include "HeadlessTransport.h"
#include "MidiExport.h"

namespace
{
    class RunningTransport : public juce::AudioPlayHead
    {
    public:
        explicit RunningTransport (double bpmToReport) : bpm (bpmToReport) {}

        juce::Optional<PositionInfo> getPosition() const override
        {
            PositionInfo info;
            info.setIsPlaying (playing);
            info.setTimeInSamples (time);
            info.setBpm (bpm);
            return info;
        }

        double bpm;
        juce::int64 time = 0;
        bool playing = true;
    };
}

juce::MemoryBlock HeadlessTransport::render (KadenzoAudioProcessor& processor, double tempo, double sampleRate, int blockSize, int bars)
{
    RunningTransport transport (tempo);
    processor.setPlayHead (&transport);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    const auto samplesPerBeat = sampleRate * 60.0 / tempo;
    const auto total = static_cast<juce::int64> (std::ceil (samplesPerBeat * 4 * bars));
    const auto ticksPerSample = MidiExport::ticksPerQuarterNote / samplesPerBeat;

    juce::MidiMessageSequence sequence;
    sequence.addEvent (juce::MidiMessage::textMetaEvent (3, MidiExport::trackName), 0.0);
    sequence.addEvent (juce::MidiMessage::tempoMetaEvent (juce::roundToInt (60.0e6 / tempo)), 0.0);

    juce::AudioBuffer<float> audio (2, blockSize);
    juce::MidiBuffer midi;
    midi.ensureSize (4096);

    auto collect = [&] (juce::int64 blockStart)
    {
        for (const auto m : midi)
            sequence.addEvent (juce::MidiMessage (m.data, m.numBytes), std::round ((blockStart + m.samplePosition) * ticksPerSample));
    };

    // The last sample is left out: a block ending on a bar line plays the next
    // bar's first step there, which belongs past the end.
    const auto end = total - 1;
    for (juce::int64 t = 0; t < end; t += blockSize)
    {
        const auto n = static_cast<int> (std::min<juce::int64> (blockSize, end - t));
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), n);
        transport.time = t;
        processor.processBlock (block, midi);
        collect (t);
        processor.flushPlaybackParameterChanges();   // a host's message thread would
    }

    transport.playing = false;   // the stop sends the note-offs still owed
    processor.processBlock (audio, midi);
    collect (total);
    processor.setPlayHead (nullptr);

    return MidiExport::fileBytes (sequence);
}
