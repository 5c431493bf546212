#pragma once

#include <array>
#include <cstdint>

namespace quodl
{
    // MIDI events due in later blocks, ordered by absolute sample time. Fixed
    // capacity and no allocation, so the audio thread can use it freely.
    class PendingEventQueue
    {
    public:
        static constexpr int capacity = 4096;

        struct Event
        {
            double timestamp = 0.0;
            std::array<std::uint8_t, 3> bytes {};

            bool isNoteOn() const noexcept { return (bytes[0] & 0xF0) == 0x90 && bytes[2] != 0; }
        };

        // Inserts after every event with an equal or earlier timestamp; false when full.
        bool add (double timestamp, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) noexcept;

        int size() const noexcept { return count; }
        int freeSpace() const noexcept { return capacity - count; }
        bool isEmpty() const noexcept { return count == 0; }
        const Event& operator[] (int index) const noexcept { return events[static_cast<std::size_t> (index)]; }

        void removeFront (int numToRemove) noexcept;
        void clear() noexcept { count = 0; }

        // Drops queued note-ons with their note-offs; what remains are the
        // note-offs of notes already sounding.
        void removeNoteOns() noexcept;

    private:
        std::array<Event, capacity> events {};
        int count = 0;
    };

    class MidiUtils
    {
    public:
        PendingEventQueue pendingEvents;

        // Moves every event due before blockEnd into the buffer at its offset.
        static void drainDue (PendingEventQueue& queue, juce::MidiBuffer& midi, double blockStart, int numSamples) noexcept;

        // Sends every queued note-off at offset 0 and forgets queued note-ons,
        // so a stop or a jump never leaves a note hanging.
        static void flushNoteOffs (PendingEventQueue& queue, juce::MidiBuffer& midi) noexcept;
    };
}
