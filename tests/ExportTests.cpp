#include "TestSupport.h"
#include "MidiExport.h"

#include <csignal>
#include <sys/resource.h>

using namespace testing_support;

namespace
{
    using Bytes = std::vector<int>;

    Bytes bytesOf (const juce::MemoryBlock& block)
    {
        Bytes out;
        for (size_t i = 0; i < block.getSize(); ++i)
            out.push_back (static_cast<const juce::uint8*> (block.getData())[i]);
        return out;
    }

    Bytes header() { return { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 0x01, 0xE0 }; }

    Bytes trackName()
    {
        Bytes b { 0x00, 0xFF, 0x03, 0x12 };
        for (auto c : juce::String ("Orvo Vuded Pattern"))
            b.push_back (c);
        return b;
    }

    Bytes file (Bytes events)
    {
        auto track = trackName();
        track.insert (track.end(), events.begin(), events.end());
        track.insert (track.end(), { 0x00, 0xFF, 0x2F, 0x00 });
        auto out = header();
        out.insert (out.end(), { 'M', 'T', 'r', 'k', 0, 0, 0, (int) track.size() });
        out.insert (out.end(), track.begin(), track.end());
        return out;
    }

    // A step source from a table of (variation, step, voice) -> note.
    struct Notes
    {
        std::map<std::tuple<int, int, int>, MidiStep> table;
        MidiExport::StepSource source() const
        {
            return [this] (int voice, int step, int variation)
            {
                const auto found = table.find ({ variation, step, voice });
                return found == table.end() ? MidiStep {} : found->second;
            };
        }
    };

    struct Note { juce::int64 tick; int status, note, velocity; bool operator== (const Note&) const = default; };

    std::vector<Note> notesIn (const juce::MemoryBlock& bytes)
    {
        juce::MemoryInputStream in (bytes, false);
        juce::MidiFile midi;
        EXPECT_TRUE (midi.readFrom (in));
        std::vector<Note> out;
        for (const auto* e : *midi.getTrack (0))
            if (e->message.isNoteOnOrOff())
                out.push_back ({ (juce::int64) e->message.getTimeStamp(), e->message.getRawData()[0], e->message.getNoteNumber(), e->message.getVelocity() });
        return out;
    }
}

TEST (Export, WritesTheExactBytesOfSmallCases)
{
    MidiExport::Selection one;
    one.variation = 0;

    Notes none;
    EXPECT_EQ (bytesOf (MidiExport::renderFile (one, none.source())), file ({}));

    Notes kick;
    kick.table[{ 0, 0, BD }] = { 36, 100, 1, 0.0 };
    EXPECT_EQ (bytesOf (MidiExport::renderFile (one, kick.source())),
               file ({ 0x00, 0x99, 36, 100, 0x3C, 0x89, 36, 0 }));

    // Two voices on one step: running status for the second of each kind;
    // a swung odd step ends exactly where the next step's notes begin.
    Notes pair;
    pair.table[{ 0, 0, BD }] = { 36, 100, 1, 0.0 };
    pair.table[{ 0, 0, SD }] = { 38, 127, 1, 0.0 };
    pair.table[{ 0, 1, CH }] = { 42, 64, 1, 1.0 };
    pair.table[{ 0, 2, CH }] = { 42, 64, 1, 0.0 };
    EXPECT_EQ (bytesOf (MidiExport::renderFile (one, pair.source())),
               file ({ 0x00, 0x99, 36, 100, 0x00, 38, 127,
                       0x3C, 0x89, 36, 0, 0x00, 38, 0,
                       0x78, 0x99, 42, 64,          // tick 180
                       0x3C, 0x89, 42, 0,           // tick 240, before the next note-on
                       0x00, 0x99, 42, 64,
                       0x3C, 0x89, 42, 0 }));
}

TEST (Export, SelectsVariationsAndPlacesStepsOnTheGrid)
{
    Notes everyStep;   // a hat on every step of every variation, pitch = 40 + variation
    for (int v = 0; v < 8; ++v)
        for (int s = 0; s < 32; ++s)
            everyStep.table[{ v, s, CH }] = { 40 + v, 100, 1, 0.0 };

    struct Case { bool lfo; int variation; std::vector<int> enabled; int length; std::vector<std::pair<int, juce::int64>> firstTickOf; size_t notes; };
    const Case cases[] {
        { false, 3, { 0, 1 }, 16, { { 43, 0 } }, 16 },
        { true, 0, { 0, 2, 5 }, 12, { { 40, 0 }, { 42, 1440 }, { 45, 2880 } }, 36 },
        { true, 0, {}, 16, {}, 0 },
    };
    for (const auto& c : cases)
    {
        MidiExport::Selection selection;
        selection.allEnabled = c.lfo;
        selection.variation = c.variation;
        selection.patternLength = c.length;
        for (auto v : c.enabled)
            selection.enabled[(size_t) v] = true;

        const auto notes = notesIn (MidiExport::renderFile (selection, everyStep.source()));
        std::vector<Note> ons;
        for (const auto& n : notes)
            if (n.status == 0x99)
                ons.push_back (n);
        ASSERT_EQ (ons.size(), c.notes);
        for (const auto& [pitch, tick] : c.firstTickOf)
        {
            const auto wanted = pitch;
            auto first = std::find_if (ons.begin(), ons.end(), [wanted] (const Note& n) { return n.note == wanted; });
            ASSERT_NE (first, ons.end());
            EXPECT_EQ (first->tick, tick);
            EXPECT_EQ ((first + c.length - 1)->tick, tick + 120 * (c.length - 1));
        }
        for (const auto& n : notes)
            EXPECT_TRUE (n.status == 0x99 || n.status == 0x89);
    }
}

TEST (Export, RendersWhatThePluginWouldPlay)
{
    TempFolder folder;
    writeModel (folder.file ("0.bin"), rockModel());
    auto p = makeProcessor (folder.get());
    set (*p, "swing", 60);
    set (*p, "pitchCH", 0);
    set (*p, "velocityMain", 100);
    const auto target = folder.file ("out.mid");

    ASSERT_TRUE (p->exportMidiFileTo (target));
    juce::MemoryBlock first;
    target.loadFileAsData (first);
    ASSERT_TRUE (p->exportMidiFileTo (target));
    juce::MemoryBlock second;
    target.loadFileAsData (second);
    EXPECT_EQ (first, second);

    bool sawHat = false;
    for (const auto& n : notesIn (first))
    {
        EXPECT_LE (n.velocity, 127);
        const auto step = n.tick / 120;
        if (n.status == 0x99)
        {
            EXPECT_EQ (n.tick % 120, step % 2 == 1 ? 24 : 0);   // swing 60: 24 ticks late
            const auto m = p->getMidiStep (n.note == 0 ? CH : n.note == 36 ? BD : n.note == 38 ? SD : OH, (int) step, 0);
            EXPECT_EQ (m.valid, 1);
            sawHat |= n.note == 0;
        }
    }
    EXPECT_TRUE (sawHat);

    ASSERT_TRUE (p->exportMidiFile());
    EXPECT_TRUE (KadenzoAudioProcessor::getExportFile().existsAsFile());
    EXPECT_EQ (KadenzoAudioProcessor::getExportFile().getFileName(), "orvo_drums_export.mid");
}

TEST (Export, AFailedWriteLeavesNoPartialFile)
{
    TempFolder folder;
    writeModel (folder.file ("0.bin"), rockModel());
    auto p = makeProcessor (folder.get());

    // Not a folder at all: nothing can be created.
    folder.file ("plain").replaceWithText ("x");
    EXPECT_FALSE (p->exportMidiFileTo (folder.file ("plain").getChildFile ("out.mid")));

    // The disk fills up half-way: the file size limit makes writes fail.
    const auto target = folder.file ("exports").getChildFile ("out.mid");
    folder.file ("exports").createDirectory();
    target.replaceWithText ("an older export");
    rlimit saved {};
    getrlimit (RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit small { 64, saved.rlim_max };
    setrlimit (RLIMIT_FSIZE, &small);
    const auto written = p->exportMidiFileTo (target);
    setrlimit (RLIMIT_FSIZE, &saved);
    std::signal (SIGXFSZ, previousHandler);

    EXPECT_FALSE (written);
    EXPECT_EQ (target.loadFileAsString(), "an older export");   // untouched
    EXPECT_EQ (folder.file ("exports").getNumberOfChildFiles (juce::File::findFiles, "*"), 1);
}
