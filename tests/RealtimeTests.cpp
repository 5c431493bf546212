// Proves that playback never allocates or locks: every heap allocation and
// every mutex lock made by the test thread while the probe is armed is counted.
#include "TestSupport.h"

#include <dlfcn.h>
#include <pthread.h>

namespace
{
    thread_local bool armed = false;
    std::atomic<int> allocations { 0 };
    std::atomic<int> locks { 0 };

    void* allocate (std::size_t size)
    {
        if (armed)
            ++allocations;
        if (auto* p = std::malloc (size == 0 ? 1 : size))
            return p;
        throw std::bad_alloc();
    }

    struct Probe
    {
        Probe() { allocations = 0; locks = 0; armed = true; }
        ~Probe() { armed = false; }
    };
}

void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept { try { return allocate (size); } catch (...) { return nullptr; } }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept { try { return allocate (size); } catch (...) { return nullptr; } }
void operator delete (void* p) noexcept { std::free (p); }
void operator delete[] (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept { std::free (p); }

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    using Lock = int (*) (pthread_mutex_t*);
    static const auto real = reinterpret_cast<Lock> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
    if (armed)
        ++locks;
    return real (mutex);
}

using namespace testing_support;

TEST (Realtime, PlaybackNeitherAllocatesNorLocks)
{
    TempFolder folder;
    writeModel (folder.file ("0.bin"), rockModel());
    auto processor = makeProcessor (folder.get());
    set (*processor, "lfo", 1);
    set (*processor, "speed", 4);
    set (*processor, "swing", 70);
    set (*processor, "fourfloor", 1);
    set (*processor, "forceoh", 1);
    for (int v = 0; v < 8; ++v)
        set (*processor, "enabledVariation" + juce::String (v), 1);

    TestPlayHead head;
    preparePlayback (*processor, head, 44100.0, 256);

    juce::AudioBuffer<float> audio (2, 256);
    juce::MidiBuffer midi;
    midi.ensureSize (16384);   // the host's buffer, sized before playback

    head.timeInSamples = 0;
    processor->processBlock (audio, midi);   // the first block may set things up

    int events = 0;
    {
        Probe probe;
        juce::int64 t = 256;
        for (int block = 0; block < 20000; ++block)
        {
            if (block == 5000)
                head.playing = false;           // stop
            if (block == 5010)
                head.playing = true;            // and start again
            if (block == 9000)
                t = 12345;                      // loop back
            head.timeInSamples = t;
            processor->processBlock (audio, midi);
            events += midi.getNumEvents();
            t += 256;
        }
        EXPECT_EQ (allocations.load(), 0);
        EXPECT_EQ (locks.load(), 0);
    }
    EXPECT_GT (events, 1000);

    // The probe does see what it is meant to see.
    {
        Probe probe;
        auto* leak = new int (3);
        juce::CriticalSection section;
        { const juce::ScopedLock sl (section); }
        delete leak;
        EXPECT_EQ (allocations.load(), 1);
        EXPECT_GE (locks.load(), 1);
    }
}
