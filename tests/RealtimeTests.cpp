// Proves that playback never allocates, locks or enters the kernel: every
// heap allocation and every mutex lock made by the test thread while the
// probe is armed is counted, and a seccomp filter traps any system call.
#include "TestSupport.h"

#include <dlfcn.h>
#include <pthread.h>
#include <csignal>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace
{
    // A playing processor set up so that steps are due, cycling and swing are
    // on, and forced hits sound.
    struct BusyPlayback
    {
        explicit BusyPlayback (const juce::File& folder)
        {
            writeModel (folder.getChildFile ("0.bin"), rockModel());
            processor = makeProcessor (folder);
            set (*processor, "lfo", 1);
            set (*processor, "speed", 4);
            set (*processor, "swing", 70);
            set (*processor, "fourfloor", 1);
            set (*processor, "forceoh", 1);
            for (int v = 0; v < 8; ++v)
                set (*processor, "enabledVariation" + juce::String (v), 1);

            preparePlayback (*processor, head, 44100.0, blockSize);
            midi.ensureSize (16384);   // the host's buffer, sized before playback

            head.timeInSamples = 0;
            processor->processBlock (audio, midi);   // the first block may set things up
        }

        // Many blocks with a stop, a restart and a loop jump; returns the
        // number of MIDI events played.
        int playMany()
        {
            int events = 0;
            juce::int64 t = blockSize;
            for (int block = 0; block < 20000; ++block)
            {
                if (block == 5000)
                    head.playing = false;
                if (block == 5010)
                    head.playing = true;
                if (block == 9000)
                    t = 12345;
                head.timeInSamples = t;
                processor->processBlock (audio, midi);
                events += midi.getNumEvents();
                t += blockSize;
            }
            return events;
        }

        static constexpr int blockSize = 256;
        std::unique_ptr<KadenzoAudioProcessor> processor;
        TestPlayHead head;
        juce::AudioBuffer<float> audio { 2, blockSize };
        juce::MidiBuffer midi;
    };

   #if defined (__x86_64__)
    constexpr std::uint32_t nativeAuditArch = AUDIT_ARCH_X86_64;
   #elif defined (__aarch64__)
    constexpr std::uint32_t nativeAuditArch = AUDIT_ARCH_AARCH64;
   #endif

    int reportFd = -1;

    // The trapped call never ran; tell the parent which one it was and end.
    void onTrappedSystemCall (int, siginfo_t* info, void*)
    {
        const int call = info->si_syscall;
        syscall (SYS_write, reportFd, &call, sizeof (call));
        syscall (SYS_exit, 3);
    }

    // From here on this thread may only end itself, return from a signal
    // handler and write to the report pipe; anything else raises SIGSYS.
    bool forbidSystemCalls()
    {
        struct sigaction action {};
        action.sa_sigaction = onTrappedSystemCall;
        action.sa_flags = SA_SIGINFO;
        if (sigaction (SIGSYS, &action, nullptr) != 0)
            return false;

        sock_filter filter[] = {
            BPF_STMT (BPF_LD | BPF_W | BPF_ABS, offsetof (seccomp_data, arch)),
            BPF_JUMP (BPF_JMP | BPF_JEQ | BPF_K, nativeAuditArch, 1, 0),
            BPF_STMT (BPF_RET | BPF_K, SECCOMP_RET_TRAP),
            BPF_STMT (BPF_LD | BPF_W | BPF_ABS, offsetof (seccomp_data, nr)),
            BPF_JUMP (BPF_JMP | BPF_JEQ | BPF_K, SYS_exit, 4, 0),
            BPF_JUMP (BPF_JMP | BPF_JEQ | BPF_K, SYS_rt_sigreturn, 3, 0),
            BPF_JUMP (BPF_JMP | BPF_JEQ | BPF_K, SYS_write, 0, 3),
            BPF_STMT (BPF_LD | BPF_W | BPF_ABS, offsetof (seccomp_data, args[0])),
            BPF_JUMP (BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t> (reportFd), 0, 1),
            BPF_STMT (BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT (BPF_RET | BPF_K, SECCOMP_RET_TRAP),
        };
        sock_fprog program { static_cast<unsigned short> (std::size (filter)), filter };
        return prctl (PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
            && prctl (PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
    }

    struct ForkedRun
    {
        int exitCode = -1;
        std::vector<int> reported;   // events played, or the trapped call
    };

    // Runs work in a child process (a seccomp filter cannot be lifted again)
    // under the filter. The child reports through a pipe and ends with
    // SYS_exit, the one way out the filter leaves.
    template <typename Work>
    ForkedRun runWithoutSystemCalls (Work&& work)
    {
        int fds[2];
        if (pipe (fds) != 0)
            return {};

        const pid_t child = fork();
        if (child == 0)
        {
            close (fds[0]);
            reportFd = fds[1];
            if (! forbidSystemCalls())
                _exit (2);
            const int result = work();
            syscall (SYS_write, reportFd, &result, sizeof (result));
            syscall (SYS_exit, 0);
            _exit (4);
        }

        close (fds[1]);
        ForkedRun run;
        int value = 0;
        while (read (fds[0], &value, sizeof (value)) == static_cast<ssize_t> (sizeof (value)))
            run.reported.push_back (value);
        close (fds[0]);

        int status = 0;
        waitpid (child, &status, 0);
        run.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
        return run;
    }
}

TEST (Realtime, PlaybackNeitherAllocatesNorLocks)
{
    TempFolder folder;
    BusyPlayback playback (folder.get());

    int events = 0;
    {
        Probe probe;
        events = playback.playMany();
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

TEST (Realtime, PlaybackMakesNoSystemCall)
{
    TempFolder folder;
    BusyPlayback playback (folder.get());

    const auto run = runWithoutSystemCalls ([&] { return playback.playMany(); });
    ASSERT_EQ (run.reported.size(), 1u);
    EXPECT_EQ (run.exitCode, 0) << "system call " << run.reported.front() << " made during playback";
    EXPECT_GT (run.reported.front(), 1000);

    // The filter does trap what it is meant to trap.
    const auto trapped = runWithoutSystemCalls ([] { return static_cast<int> (getppid()); });
    EXPECT_EQ (trapped.exitCode, 3);
    ASSERT_EQ (trapped.reported.size(), 1u);
    EXPECT_EQ (trapped.reported.front(), SYS_getppid);
}
