// Playback: the step clock that follows the host transport and schedules MIDI.
#include "PluginProcessor.h"
#include "ParameterLayout.h"

namespace
{
    constexpr std::uint8_t noteOnStatus = 0x99;    // channel 10
    constexpr std::uint8_t noteOffStatus = 0x89;

    struct TransportFrame
    {
        bool playing = false;
        double samplePosition = 0.0;
        double beatsPerSecond = 2.0;
    };

    // Nothing when the host gives no position at all. Hosts that report playing
    // without a sample position still give musical time.
    std::optional<TransportFrame> readTransport (juce::AudioPlayHead* playHead, double sampleRate) noexcept
    {
        if (playHead == nullptr || ! (sampleRate > 0.0))
            return std::nullopt;

        const auto position = playHead->getPosition();
        if (! position.hasValue())
            return std::nullopt;

        if (! position->getIsPlaying())
            return TransportFrame {};

        const auto bpm = position->getBpm();
        const auto beatsPerSecond = bpm.hasValue() && *bpm > 0.0 ? *bpm / 60.0 : 2.0;

        if (const auto samples = position->getTimeInSamples())
            return TransportFrame { true, static_cast<double> (*samples), beatsPerSecond };

        if (const auto ppq = position->getPpqPosition())
            return TransportFrame { true, std::round (*ppq * sampleRate / beatsPerSecond), beatsPerSecond };

        return TransportFrame {};
    }
}

void KadenzoAudioProcessor::prepareToPlay (double, int)
{
    playbackReset (false);
}

void KadenzoAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    buffer.clear();
    process (midi, buffer.getNumSamples());
}

void KadenzoAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer& midi)
{
    buffer.clear();
    process (midi, buffer.getNumSamples());
}

void KadenzoAudioProcessor::playbackReset (bool onAudioThread)
{
    pendingEvents.clear();
    barCounter = -1;

    if (! ParameterValue::isOn (*lfo))
        return;

    // Variation 7, so that the first switch lands on the lowest enabled variation.
    if (onAudioThread)
    {
        pendingVariation.store (Pattern::numVariations - 1);
    }
    else
    {
        pendingVariation.store (-1);
        ParameterValue::setNotifying (*variation, 1.0f);
    }
}

int KadenzoAudioProcessor::getPlaybackVariation() const noexcept
{
    const auto pending = pendingVariation.load();
    return pending >= 0 ? pending : juce::jlimit (0, Pattern::numVariations - 1, ParameterValue::integer (*variation));
}

void KadenzoAudioProcessor::flushPlaybackParameterChanges()
{
    auto pending = pendingVariation.load();
    if (pending < 0)
        return;

    ParameterValue::setNotifying (*variation, variation->convertTo0to1 (static_cast<float> (pending)));

    // Playback keeps using its own value until the parameter holds it.
    pendingVariation.compare_exchange_strong (pending, -1);
}

void KadenzoAudioProcessor::advanceVariation() noexcept
{
    const auto current = getPlaybackVariation();
    auto next = 0;

    for (int i = 1; i <= Pattern::numVariations; ++i)
    {
        const auto candidate = (current + i) % Pattern::numVariations;
        if (ParameterValue::isOn (*enabledVariations[static_cast<std::size_t> (candidate)]))
        {
            next = candidate;
            break;
        }
    }

    // The parameter itself is written on the message thread: notifying the host
    // from here would take the framework's listener lock.
    pendingVariation.store (next);
}

void KadenzoAudioProcessor::playStep (const PatternSnapshot& pattern, const RenderSettings& settings, std::int64_t step,
                                      double stepTime, int offset, double samplesPerBeat, juce::MidiBuffer& midi) noexcept
{
    const auto variationIndex = getPlaybackVariation();
    const auto thirtySecond = samplesPerBeat * 0.125;

    for (int voice = 0; voice < Voices::count; ++voice)
    {
        const auto m = StepRenderer::render (settings, pattern, voice, static_cast<int> (step), variationIndex);
        if (m.valid <= 0)
            continue;

        const auto note = static_cast<std::uint8_t> (m.note & 0x7F);
        const auto velocity = static_cast<std::uint8_t> (juce::jlimit (0, 127, m.velocity));
        const auto noteOffTime = stepTime + (m.swing + 1.0) * thirtySecond - 5.0;

        // A note-on goes out only when its note-off is sure to follow.
        if (m.swing == 0.0)
        {
            if (pendingEvents.freeSpace() < 1)
                continue;

            const std::uint8_t bytes[] { noteOnStatus, note, velocity };
            midi.addEvent (bytes, 3, offset);
        }
        else
        {
            if (pendingEvents.freeSpace() < 2)
                continue;

            pendingEvents.add (stepTime + thirtySecond * m.swing, noteOnStatus, note, velocity);
        }

        pendingEvents.add (noteOffTime, noteOffStatus, note, 0);
    }
}

void KadenzoAudioProcessor::process (juce::MidiBuffer& midi, int numSamples)
{
    midi.clear();   // incoming MIDI is not used

    auto transport = readTransport (getPlayHead(), getSampleRate());

    // LV2 hosts send the position only when it changes, and the framework's LV2
    // wrapper passes it on only in those blocks: in between, time runs on.
    if (! transport.has_value() && wrapperType == wrapperType_LV2 && wasPlaying && getPlayHead() != nullptr)
        transport = TransportFrame { true, expectedBlockStart, lastBeatsPerSecond };

    if (! transport.has_value() || ! transport->playing)
    {
        if (wasPlaying)
            flushNoteOffs (pendingEvents, midi);

        wasPlaying = false;
        return;
    }

    const auto t = transport->samplePosition;

    if (! wasPlaying)
    {
        wasPlaying = true;
        playbackReset (true);
    }
    else if (std::abs (t - expectedBlockStart) > 1.0)
    {
        flushNoteOffs (pendingEvents, midi);   // loop back or relocation
    }

    expectedBlockStart = t + numSamples;
    lastBeatsPerSecond = transport->beatsPerSecond;

    const auto samplesPerBeat = getSampleRate() / transport->beatsPerSecond;
    const auto sixteenth = samplesPerBeat * 0.25;

    StepClock::Boundaries boundaries;
    const auto numBoundaries = StepClock::findBoundaries (t, numSamples, sixteenth, boundaries);

    if (numBoundaries > 0)
    {
        const auto cycling = ParameterValue::isOn (*lfo);
        const auto cycleSteps = StepClock::cycleSteps (ParameterValue::integer (*speed));
        const auto everyBar = juce::jmax (1, ParameterValue::integer (*playeverybar));
        const auto playedBar = StepClock::floorMod (ParameterValue::integer (*shiftbar), everyBar);
        const auto settings = readRenderSettings();
        const auto reader = patternStore.read();

        for (int b = 0; b < numBoundaries; ++b)
        {
            const auto& boundary = boundaries[static_cast<std::size_t> (b)];

            if (cycling && StepClock::floorMod (boundary.index, cycleSteps) == 0)
                advanceVariation();

            const auto position = StepClock::floorMod (boundary.index, Pattern::barPositions);
            if (position == 0)
                ++barCounter;

            if (barCounter >= 0 && barCounter % everyBar == playedBar)
                playStep (reader.pattern(), settings, static_cast<std::int64_t> (barCounter) * Pattern::barPositions + position,
                          t + boundary.offset, boundary.offset, samplesPerBeat, midi);
        }
    }

    drainDue (pendingEvents, midi, t, numSamples);
}
