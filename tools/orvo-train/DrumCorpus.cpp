#include "DrumCorpus.h"

#include <cmath>

std::map<int, int> DrumCorpus::defaultVoiceMap()
{
    return {
        { 35, BD }, { 36, BD },
        { 38, SD }, { 40, SD },
        { 42, CH }, { 22, CH }, { 44, CH },
        { 46, OH }, { 26, OH },
        { 41, LT }, { 43, LT }, { 58, LT },
        { 45, MT }, { 47, MT },
        { 48, HT }, { 50, HT },
        { 37, RS },
        { 39, CP },
        { 49, CB }, { 55, CB }, { 57, CB }, { 52, CB },
        { 51, CY }, { 59, CY }, { 53, CY },
    };
}

std::int64_t DrumCorpus::nearestSixteenth (double tick, double ticksPerSixteenth)
{
    return static_cast<std::int64_t> (std::floor (tick / ticksPerSixteenth + 0.5));
}

DrumCorpus::FileResult DrumCorpus::readMidi (const juce::MidiFile& file, const std::map<int, int>& voiceMap, int minVelocity)
{
    FileResult result;
    const auto division = file.getTimeFormat();
    if (division <= 0)
    {
        result.problem = "uses SMPTE time, not musical time";
        return result;
    }

    const auto ticksPerSixteenth = division / 4.0;

    // Time signatures split the file into stretches; none means 4/4 throughout.
    struct Signature { double tick; bool fourFour; };
    std::vector<Signature> signatures;
    std::vector<std::pair<double, int>> hits;   // tick, voice

    for (int t = 0; t < file.getNumTracks(); ++t)
    {
        for (const auto* event : *file.getTrack (t))
        {
            const auto& m = event->message;
            if (m.isTimeSignatureMetaEvent())
            {
                int numerator = 0, denominator = 0;
                m.getTimeSignatureInfo (numerator, denominator);
                signatures.push_back ({ m.getTimeStamp(), numerator == 4 && denominator == 4 });
            }
            else if (m.isNoteOn() && m.getVelocity() >= minVelocity)
            {
                if (const auto found = voiceMap.find (m.getNoteNumber()); found != voiceMap.end())
                    hits.emplace_back (m.getTimeStamp(), found->second);
                else
                    ++result.droppedNotes;
            }
        }
    }

    std::stable_sort (signatures.begin(), signatures.end(), [] (auto& a, auto& b) { return a.tick < b.tick; });
    if (signatures.empty() || signatures.front().tick > 0.0)
        signatures.insert (signatures.begin(), { 0.0, true });

    for (size_t s = 0; s < signatures.size(); ++s)
    {
        const auto start = signatures[s].tick;
        const auto end = s + 1 < signatures.size() ? signatures[s + 1].tick : std::numeric_limits<double>::max();
        if (end <= start)
            continue;

        std::vector<std::pair<std::int64_t, int>> stepHits;
        for (const auto& [tick, voice] : hits)
            if (tick >= start && tick < end)
                stepHits.emplace_back (nearestSixteenth (tick - start, ticksPerSixteenth), voice);

        if (stepHits.empty())
            continue;

        if (! signatures[s].fourFour)
        {
            ++result.skippedNon44Stretches;
            continue;
        }

        // Whole bars, from the bar of the first hit to the bar of the last: the
        // silence before a performance starts is not part of the groove, and a
        // long pause splits it in two (which also bounds what a file can cost).
        std::sort (stepHits.begin(), stepHits.end());
        std::size_t begin = 0;
        while (begin < stepHits.size())
        {
            auto end = begin + 1;
            while (end < stepHits.size() && stepHits[end].first / 16 - stepHits[end - 1].first / 16 - 1 <= maxSilentBars)
                ++end;

            const auto firstBar = stepHits[begin].first / 16;
            const auto length = (stepHits[end - 1].first / 16 + 1 - firstBar) * 16;
            std::vector<int> words (static_cast<size_t> (length), 0);
            for (auto h = begin; h < end; ++h)
                words[static_cast<size_t> (stepHits[h].first - firstBar * 16)] |= 1 << stepHits[h].second;

            Sequence sequence;
            sequence.tokens.reserve (words.size());
            for (size_t i = 0; i < words.size(); ++i)
                sequence.tokens.push_back (Step::contextToken (words[i], static_cast<int> (i)));
            result.sequences.push_back (std::move (sequence));
            begin = end;
        }
    }

    if (result.sequences.empty())
        result.problem = hits.empty() ? "has no drum notes" : "has no 4/4 part with drum notes";

    return result;
}

DrumCorpus::FileResult DrumCorpus::readFile (const juce::File& file, const std::map<int, int>& voiceMap, int minVelocity)
{
    juce::FileInputStream in (file);
    juce::MidiFile midi;
    if (! in.openedOk() || ! midi.readFrom (in, false))
    {
        FileResult result;
        result.problem = "is not a MIDI file";
        return result;
    }
    return readMidi (midi, voiceMap, minVelocity);
}
