#include "BenchSupport.h"

#include <benchmark/benchmark.h>

using namespace bench_support;

namespace
{
    class Transport : public juce::AudioPlayHead
    {
    public:
        juce::Optional<PositionInfo> getPosition() const override
        {
            PositionInfo info;
            info.setIsPlaying (true);
            info.setTimeInSamples (time);
            info.setBpm (120.0);
            return info;
        }
        juce::int64 time = 0;
    };

    // One block at a fixed place on the timeline: with a step due at its
    // start or with none in it.
    void processBlock (benchmark::State& state, bool stepDue)
    {
        KadenzoAudioProcessor p (juce::File (ORVO_MODELS_DIR), juce::PluginHostType::UnknownHost);
        if (stepDue)
        {
            // Every voice sounds: forced hits plus full density on a busy model.
            set (p, "fourfloor", 1);
            set (p, "forcesd", 1);
            set (p, "forceoh", 1);
        }
        Transport transport;
        p.setPlayHead (&transport);
        p.setRateAndBufferSizeDetails (48000.0, 256);
        p.prepareToPlay (48000.0, 256);
        juce::AudioBuffer<float> audio (2, 256);
        juce::MidiBuffer midi;
        midi.ensureSize (4096);

        // Bar 1 so the bar counter has started; 96000 - 100 holds the bar line.
        transport.time = 0;
        p.processBlock (audio, midi);
        const juce::int64 blockStart = stepDue ? 96000 - 100 : 96000 + 1000;
        for (auto _ : state)
        {
            // The same block each time: the processor sees a relocation and
            // flushes its queue first, which is part of what is measured.
            transport.time = blockStart;
            p.processBlock (audio, midi);
            benchmark::DoNotOptimize (midi.getNumEvents());
        }
    }
}

static void ProcessBlockNoStepDue (benchmark::State& s) { processBlock (s, false); }
static void ProcessBlockStepDueAllVoices (benchmark::State& s) { processBlock (s, true); }
BENCHMARK (ProcessBlockNoStepDue)->Unit (benchmark::kNanosecond);
BENCHMARK (ProcessBlockStepDueAllVoices)->Unit (benchmark::kNanosecond);
