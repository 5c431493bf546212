#include "TestSupport.h"

using namespace testing_support;

namespace
{
    constexpr int noteOn = 0x99, noteOff = 0x89;

    // Hats on every sixteenth in every variation: each step played is audible.
    struct Playback
    {
        explicit Playback (double rate = 48000.0, int block = 512)
        {
            writeModel (folder.file ("0.bin"), twoChoiceModel (1 << CH, 1 << CH, 1.0f, 1.0f));
            processor = makeProcessor (folder.get());
            for (int v = 0; v < Voices::count; ++v)
                set (*processor, ParameterLayout::voiceParameterId ("enabled", v), v == CH ? 1.0f : 0.0f);
            preparePlayback (*processor, head, rate, block);
        }

        std::vector<TimedEvent> run (juce::int64 start, int block, juce::int64 length)
        {
            return runBlocks (*processor, head, start, block, length);
        }

        TempFolder folder;
        std::unique_ptr<KadenzoAudioProcessor> processor;
        TestPlayHead head;
    };

    std::vector<juce::int64> timesOf (const std::vector<TimedEvent>& events, int status)
    {
        std::vector<juce::int64> out;
        for (const auto& e : events)
            if (e.status == status)
                out.push_back (e.time);
        return out;
    }
}

TEST (Playback, StartsOnTheGridAndCountsBars)
{
    Playback pb;
    juce::MidiBuffer midi;
    std::vector<juce::int64> onsets;
    int barOneBlock = -1;
    for (int block = 0; block < 200; ++block)
    {
        pb.head.timeInSamples = block * 512;
        pb.processor->process (midi, 512);
        for (const auto m : midi)
            if (m.data[0] == noteOn)
                onsets.push_back (block * 512 + m.samplePosition);
        if (barOneBlock < 0 && pb.processor->getBarCounter() == 1)
            barOneBlock = block;
    }

    ASSERT_GE (onsets.size(), 2u);
    EXPECT_EQ (onsets[0], 0);
    EXPECT_EQ (onsets[1], 6000);          // block 11, offset 368
    EXPECT_EQ (6000 / 512, 11);
    EXPECT_EQ (barOneBlock, 96000 / 512);  // the block holding sample 96000
}

TEST (Playback, TempoSwingAndNoteLengths)
{
    struct Case { double bpm; int swing; juce::int64 secondOn, firstOff, secondOff; };
    const Case cases[] {
        { 120, 50, 6000, 2995, 8995 },
        { 0, 50, 6000, 2995, 8995 },          // no tempo from the host: 120 BPM
        { 120, 75, 9000, 2995, 11995 },       // odd step on 3000 late, off 5995 after the step
        { 60, 50, 12000, 5995, 17995 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.bpm);
        Playback pb;
        pb.head.bpm = c.bpm;
        set (*pb.processor, "swing", (float) c.swing);
        const auto events = pb.run (0, 512, 40000);
        const auto on = timesOf (events, noteOn);
        const auto off = timesOf (events, noteOff);
        ASSERT_GE (on.size(), 2u);
        ASSERT_GE (off.size(), 2u);
        EXPECT_EQ (on[0], 0);
        EXPECT_EQ (on[1], c.secondOn);
        EXPECT_EQ (off[0], c.firstOff);
        EXPECT_EQ (off[1], c.secondOff);
    }
}

TEST (Playback, LargeBlocksPlayEveryStepAtItsOwnOffset)
{
    Playback pb (44100.0, 8192);
    pb.head.bpm = 200.0;
    const auto on = timesOf (pb.run (0, 8192, 8192 * 20), noteOn);
    const double sixteenth = 44100.0 / (200.0 / 60.0) / 4.0;   // 3307.5 samples

    const auto expectedSteps = (juce::int64) (8192 * 20 / sixteenth) + 1;
    ASSERT_EQ ((juce::int64) on.size(), expectedSteps);
    for (size_t k = 0; k < on.size(); ++k)
        EXPECT_LE (std::abs ((double) on[k] - (double) k * sixteenth), 0.5 + 1e-6) << k;   // nearest sample
}

TEST (Playback, BarFilterPlaysEveryNthBar)
{
    struct Case { int every, shift; std::vector<int> bars; };
    const Case cases[] {
        { 1, 0, { 0, 1, 2, 3, 4, 5, 6, 7, 8 } },
        { 2, 1, { 1, 3, 5, 7 } },
        { 8, 8, { 0, 8 } },
        { 3, 5, { 2, 5, 8 } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.every);
        Playback pb;
        set (*pb.processor, "playeverybar", (float) c.every);
        set (*pb.processor, "shiftbar", (float) c.shift);
        std::set<int> bars;
        // A bar line on a block's first sample is played at the previous block's last.
        for (auto t : timesOf (pb.run (0, 512, 96000 * 9), noteOn))
            if ((t + 1) / 96000 < 9)
                bars.insert ((int) ((t + 1) / 96000));
        EXPECT_EQ (std::vector<int> (bars.begin(), bars.end()), c.bars);
    }
}

TEST (Playback, StartingMidBarWaitsForTheNextBarLine)
{
    Playback pb;
    const auto on = timesOf (pb.run (50000, 512, 96000), noteOn);
    ASSERT_FALSE (on.empty());
    EXPECT_EQ (on.front(), 96000);
}

TEST (Playback, CyclingStepsThroughEnabledVariations)
{
    struct Case { std::vector<int> enabled; std::vector<int> expected; };
    const Case cases[] {
        { { 0, 1 }, { 0, 1, 0, 1, 0 } },
        { { 2, 5, 6 }, { 2, 5, 6, 2, 5 } },
        { {}, { 0, 0, 0, 0, 0 } },
    };
    for (const auto& c : cases)
    {
        Playback pb;
        set (*pb.processor, "lfo", 1);
        set (*pb.processor, "speed", 2);   // "1/4": a switch every beat
        for (int v = 0; v < 8; ++v)
            set (*pb.processor, "enabledVariation" + juce::String (v),
                 std::find (c.enabled.begin(), c.enabled.end(), v) != c.enabled.end() ? 1.0f : 0.0f);
        pb.processor->prepareToPlay (48000.0, 512);
        EXPECT_EQ (get (*pb.processor, "variation"), 7.0f);

        std::vector<int> seen;
        juce::MidiBuffer midi;
        for (juce::int64 t = 0; t < 24000 * 5; t += 480)
        {
            pb.head.timeInSamples = t;
            pb.processor->process (midi, 480);
            if (t % 24000 == 0)
                seen.push_back (pb.processor->getPlaybackVariation());
        }
        EXPECT_EQ (seen, c.expected);

        const auto playing = pb.processor->getPlaybackVariation();
        pb.processor->flushPlaybackParameterChanges();   // the host hears of it on the message thread
        EXPECT_EQ ((int) get (*pb.processor, "variation"), playing);
        EXPECT_EQ (pb.processor->getPlaybackVariation(), playing);
    }
}

TEST (Playback, StopsAndJumpsNeverLeaveNotesHanging)
{
    Playback pb;
    set (*pb.processor, "swing", 75);
    juce::MidiBuffer midi;

    pb.head.timeInSamples = 0;
    pb.processor->process (midi, 512);   // step 0 sounds, its note-off is queued

    pb.head.playing = false;
    pb.processor->process (midi, 512);
    ASSERT_EQ (midi.getNumEvents(), 1);
    EXPECT_EQ ((*midi.begin()).data[0], noteOff);
    EXPECT_EQ ((*midi.begin()).samplePosition, 0);
    pb.processor->process (midi, 512);
    EXPECT_TRUE (midi.isEmpty());

    // A swung note-on still queued at a loop jump is dropped, its note-off sent.
    pb.head.playing = true;
    std::vector<TimedEvent> all;
    juce::Random random (5);
    juce::int64 t = 0;
    for (int block = 0; block < 3000; ++block)
    {
        if (random.nextInt (40) == 0)
            t = random.nextInt (400000);       // relocation
        pb.head.playing = random.nextInt (200) != 0;
        pb.head.timeInSamples = t;
        pb.processor->process (midi, 512);
        for (const auto m : midi)
            all.push_back ({ t + m.samplePosition, m.data[0], m.data[1], m.data[2] });
        t += 512;
    }
    pb.head.playing = false;
    pb.processor->process (midi, 512);
    for (const auto m : midi)
        all.push_back ({ t + m.samplePosition, m.data[0], m.data[1], m.data[2] });

    int sounding = 0, maxSounding = 0, ons = 0;
    for (const auto& e : all)
    {
        sounding += e.status == noteOn ? 1 : -1;
        ons += e.status == noteOn ? 1 : 0;
        EXPECT_GE (sounding, 0);
        maxSounding = std::max (maxSounding, sounding);
    }
    EXPECT_GT (ons, 100);
    EXPECT_EQ (sounding, 0);
    EXPECT_LE (maxSounding, 1);
}

TEST (Playback, HostsWithoutSamplePositionsUseMusicalTime)
{
    Playback pb;
    pb.head.withSamples = false;
    pb.head.ppq = 0.0;
    auto events = pb.run (0, 512, 512);
    EXPECT_EQ (timesOf (events, noteOn), std::vector<juce::int64> { 0 });

    pb.head.ppq = 0.25 - 512.0 / 24000.0 * 0.5;   // the block before step 1, at 120 BPM
    const auto blockStart = (juce::int64) std::round (*pb.head.ppq * 24000.0);
    juce::MidiBuffer midi;
    pb.processor->process (midi, 512);
    int count = 0;
    for (const auto m : midi)
        if (m.data[0] == noteOn)
        {
            EXPECT_EQ (blockStart + m.samplePosition, 6000);
            ++count;
        }
    EXPECT_EQ (count, 1);

    pb.head.ppq.reset();   // playing, but no position at all: stopped
    pb.processor->process (midi, 512);
    for (const auto m : midi)
        EXPECT_NE (m.data[0], noteOn);
}

TEST (Playback, LV2PositionsThatComeOnlyOnChangeKeepTimeRunning)
{
    struct Case { juce::AudioProcessor::WrapperType wrapper; bool keepsPlaying; };
    for (auto c : { Case { juce::AudioProcessor::wrapperType_LV2, true }, Case { juce::AudioProcessor::wrapperType_VST3, false } })
    {
        SCOPED_TRACE ((int) c.wrapper);
        TempFolder folder;
        writeModel (folder.file ("0.bin"), twoChoiceModel (1 << CH, 1 << CH, 1.0f, 1.0f));
        juce::AudioProcessor::setTypeOfNextNewPlugin (c.wrapper);
        auto p = makeProcessor (folder.get());
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
        TestPlayHead head;
        preparePlayback (*p, head, 48000.0, 512);

        // The host tells the position once, at the start; then nothing until it stops.
        std::vector<juce::int64> onsets;
        juce::MidiBuffer midi;
        for (juce::int64 t = 0; t < 48000; t += 512)
        {
            head.present = t == 0;
            head.timeInSamples = t;
            p->process (midi, 512);
            for (const auto m : midi)
                if (m.data[0] == noteOn)
                    onsets.push_back (t + m.samplePosition);
        }
        EXPECT_EQ (onsets.size(), c.keepsPlaying ? 9u : 1u);   // steps 0 to 48000
        if (c.keepsPlaying)
            EXPECT_EQ (onsets[1], 6000);

        head.present = true;   // a stop is a change: the host says so
        head.playing = false;
        p->process (midi, 512);
        head.present = false;
        p->process (midi, 512);
        for (const auto m : midi)
            EXPECT_NE (m.data[0], noteOn);
    }
}
