#include <algorithm>
#include <cmath>

namespace quodl
{
    bool PendingEventQueue::add (double timestamp, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) noexcept
    {
        if (count >= capacity)
            return false;

        auto index = count;
        while (index > 0 && events[static_cast<std::size_t> (index - 1)].timestamp > timestamp)
        {
            events[static_cast<std::size_t> (index)] = events[static_cast<std::size_t> (index - 1)];
            --index;
        }

        events[static_cast<std::size_t> (index)] = { timestamp, { status, data1, data2 } };
        ++count;
        return true;
    }

    void PendingEventQueue::removeFront (int numToRemove) noexcept
    {
        numToRemove = std::clamp (numToRemove, 0, count);
        std::copy (events.begin() + numToRemove, events.begin() + count, events.begin());
        count -= numToRemove;
    }

    void PendingEventQueue::removeNoteOns() noexcept
    {
        // A note-on that will never be sent takes its own note-off with it.
        std::array<bool, capacity> drop {};

        for (int i = 0; i < count; ++i)
        {
            if (drop[static_cast<std::size_t> (i)] || ! events[static_cast<std::size_t> (i)].isNoteOn())
                continue;

            drop[static_cast<std::size_t> (i)] = true;
            const auto& on = events[static_cast<std::size_t> (i)];

            for (int j = i + 1; j < count; ++j)
            {
                const auto& e = events[static_cast<std::size_t> (j)];
                if (! drop[static_cast<std::size_t> (j)] && ! e.isNoteOn() && (e.bytes[0] & 0x0F) == (on.bytes[0] & 0x0F)
                    && e.bytes[1] == on.bytes[1])
                {
                    drop[static_cast<std::size_t> (j)] = true;
                    break;
                }
            }
        }

        int kept = 0;
        for (int i = 0; i < count; ++i)
            if (! drop[static_cast<std::size_t> (i)])
                events[static_cast<std::size_t> (kept++)] = events[static_cast<std::size_t> (i)];
        count = kept;
    }

    void MidiUtils::drainDue (PendingEventQueue& queue, juce::MidiBuffer& midi, double blockStart, int numSamples) noexcept
    {
        const auto blockEnd = blockStart + numSamples;
        int due = 0;

        while (due < queue.size() && queue[due].timestamp < blockEnd)
        {
            const auto& event = queue[due];
            const auto offset = std::clamp (static_cast<int> (std::round (event.timestamp - blockStart)), 0, std::max (0, numSamples - 1));
            midi.addEvent (event.bytes.data(), 3, offset);
            ++due;
        }

        queue.removeFront (due);
    }

    void MidiUtils::flushNoteOffs (PendingEventQueue& queue, juce::MidiBuffer& midi) noexcept
    {
        queue.removeNoteOns();

        for (int i = 0; i < queue.size(); ++i)
            midi.addEvent (queue[i].bytes.data(), 3, 0);

        queue.clear();
    }
}
