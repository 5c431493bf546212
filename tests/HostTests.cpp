// Loads the built VST3 the way a host does, through the framework's own
// VST3 hosting, and checks what a host sees and hears.
#include "TestSupport.h"

#include <set>

using namespace testing_support;

namespace
{
    std::unique_ptr<juce::AudioPluginInstance> loadPlugin()
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, ORVO_VST3_PATH);
        if (types.isEmpty())
            return nullptr;

        juce::String error;
        auto instance = format.createInstanceFromDescription (*types[0], 48000.0, 512, error);
        EXPECT_TRUE (error.isEmpty()) << error;
        return instance;
    }

    juce::AudioProcessorParameter* byName (juce::AudioPluginInstance& plugin, const juce::String& name)
    {
        for (auto* p : plugin.getParameters())
            if (p->getName (100) == name)
                return p;
        return nullptr;
    }

    std::vector<TimedEvent> playBars (juce::AudioPluginInstance& plugin, TestPlayHead& head, int bars)
    {
        plugin.setPlayHead (&head);
        plugin.prepareToPlay (48000.0, 512);
        juce::AudioBuffer<float> audio (std::max (2, plugin.getTotalNumOutputChannels()), 512);
        std::vector<TimedEvent> events;
        for (juce::int64 t = 0; t < 96000 * bars; t += 512)
        {
            head.timeInSamples = t;
            juce::MidiBuffer midi;
            audio.clear();
            plugin.processBlock (audio, midi);
            for (const auto m : midi)
                events.push_back ({ t + m.samplePosition, m.data[0], m.data[1], m.data[2] });
            for (int c = 0; c < audio.getNumChannels(); ++c)
                EXPECT_EQ (audio.getMagnitude (c, 0, 512), 0.0f);
        }
        // Stopping sends the note-offs still owed.
        head.playing = false;
        juce::MidiBuffer midi;
        plugin.processBlock (audio, midi);
        for (const auto m : midi)
            events.push_back ({ 96000 * bars + m.samplePosition, m.data[0], m.data[1], m.data[2] });
        head.playing = true;
        plugin.releaseResources();
        return events;
    }
}

TEST (Vst3Host, ShowsTheNameMidiParametersAndOneProgram)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr) << "no VST3 at " << ORVO_VST3_PATH;

    const auto description = plugin->getPluginDescription();
    EXPECT_EQ (description.name, "Orvo Vuded");
    EXPECT_TRUE (description.isInstrument);
    EXPECT_TRUE (plugin->acceptsMidi());
    EXPECT_TRUE (plugin->producesMidi());
    // One program: the VST3 wrapper publishes a program list only for two or more.
    EXPECT_LE (plugin->getNumPrograms(), 1);
    EXPECT_EQ (plugin->getProgramName (0), juce::String());

    // The 180 parameters in order, then the wrapper's bypass.
    TempFolder folder;
    auto reference = makeProcessor (folder.get());
    const auto& hosted = plugin->getParameters();
    ASSERT_EQ (hosted.size(), 181);
    for (int i = 0; i < 180; ++i)
        EXPECT_EQ (hosted[i]->getName (100), reference->getParameters()[i]->getName (100)) << i;
}

TEST (Vst3Host, PlaysNotesOnChannelTenAndRestoresState)
{
    auto plugin = loadPlugin();
    ASSERT_NE (plugin, nullptr);

    auto* fourFloor = byName (*plugin, "Force 4OTF");
    ASSERT_NE (fourFloor, nullptr);
    fourFloor->setValueNotifyingHost (1.0f);

    TestPlayHead head;
    const auto events = playBars (*plugin, head, 2);

    // Every note-on on the sixteenth grid (6000 samples at 120 BPM and 48 kHz);
    // a step on a block's first sample sounds at the previous block's last.
    auto onGrid = [] (juce::int64 t) { return t % 6000 == 0 || ((t + 1) % 6000 == 0 && (t + 1) % 512 == 0); };
    std::set<juce::int64> kicks;
    for (const auto& e : events)
    {
        EXPECT_TRUE (e.status == 0x99 || e.status == 0x89) << e.status;
        if (e.status == 0x99)
            EXPECT_TRUE (onGrid (e.time)) << e.time;
        if (e.status == 0x99 && e.note == 36)
            kicks.insert (e.time % 512 == 511 ? e.time + 1 : e.time);
    }
    for (juce::int64 beat = 0; beat < 8; ++beat)
        EXPECT_TRUE (kicks.count (beat * 24000)) << "no kick on beat " << beat;
    int ons = 0, offs = 0;
    for (const auto& e : events)
        (e.status == 0x99 ? ons : offs)++;
    EXPECT_EQ (ons, offs);

    juce::MemoryBlock state;
    plugin->getStateInformation (state);
    auto other = loadPlugin();
    ASSERT_NE (other, nullptr);
    other->setStateInformation (state.getData(), (int) state.getSize());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    TestPlayHead otherHead;
    EXPECT_EQ (playBars (*other, otherHead, 2), playBars (*plugin, head, 2));
}
