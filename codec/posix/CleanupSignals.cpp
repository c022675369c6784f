// The clean-up of named temporary files on SIGINT, SIGTERM, SIGHUP and SIGQUIT: the names in
// flight, the handler that removes them and ends the process, and the ways a thread keeps the
// handler waiting while it changes names.
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>

#include "codec/FileTransform.h"
#include "codec/OsFile.h"
#include "codec/posix/Posix.h"

namespace corvane {

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t CleanupSignals()
{
    sigset_t signals;
    ::sigemptyset(&signals);
    for (const int signalNumber : kCleanupSignals) ::sigaddset(&signals, signalNumber);
    return signals;
}

// The named temporary files in flight, for the signal handler: a folder descriptor and a name
// in it for each. A name is written before its folder is published and only read after it.
// Enough for every file of a batch's group (TransformFiles) and single transforms besides.
struct InFlight {
    std::atomic<bool> claimed{false};
    std::atomic<int> folder{-1};
    char name[48];
};
InFlight gInFlight[detail::kInFlightSlots];

// What the handler shares with the threads that make and remove names. A thread changing names
// counts itself in `gChanging` with the signals held back on itself; the handler, on whatever
// thread takes the signal, first says the process is ending, then waits for changes under way
// to finish, so that it never sees a name half made or half gone. A change that starts after
// that never happens: its thread waits for the end.
std::atomic<bool> gEnding{false};
std::atomic<int> gChanging{0};
std::atomic<void (*)()> gFirst{nullptr};
// How many NamesChanging live on this thread: only the outermost counts itself in gChanging, so
// that a change nested in another never waits on a handler that waits on the outer one.
thread_local int tChangingDepth = 0;

// The thread that installed the clean-up, the one meant to take the signals.
std::atomic<bool> gCleanupInstalled{false};
pthread_t gCleanupThread;

// The handler may only use what is lock-free.
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<void (*)()>::is_always_lock_free);

extern "C" void RemoveInFlightAndEnd(int signalNumber)
{
    gEnding.store(true);
    while (gChanging.load() != 0) ::sched_yield();
    // The files go first: the program's own first step may block (a write to a stopped
    // terminal), and nothing may be left when it does.
    for (InFlight& slot : gInFlight) {
        const int folder = slot.folder.load();
        if (folder >= 0) ::unlinkat(folder, slot.name, 0);
    }
    if (void (*first)() = gFirst.load()) first();
    // Ending through the signal itself lets the parent see it (a shell reports 128+signal).
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(signalNumber, &fallback, nullptr);
    ::raise(signalNumber);
}

}  // namespace

void InstallTemporaryFileCleanup(void (*first)())
{
    gFirst.store(first);
    gCleanupThread = ::pthread_self();
    gCleanupInstalled.store(true);
    struct sigaction action {};
    action.sa_handler = RemoveInFlightAndEnd;
    action.sa_mask = CleanupSignals();
    for (const int signalNumber : kCleanupSignals) {
        struct sigaction earlier {};
        ::sigaction(signalNumber, nullptr, &earlier);
        // A signal the process was started to ignore (nohup) stays ignored.
        if (earlier.sa_handler != SIG_IGN) ::sigaction(signalNumber, &action, nullptr);
    }
}

void RemoveTemporaryFilesInFlight()
{
    gEnding.store(true);
    while (gChanging.load() != 0) ::sched_yield();
    for (InFlight& slot : gInFlight) {
        const int folder = slot.folder.load();
        if (folder >= 0) ::unlinkat(folder, slot.name, 0);
    }
}

namespace {
// How many CleanupSignalsHeld live on this thread: only the outermost changes the mask, so that
// a batch that holds the signals for its whole run pays no system call for each name it makes.
thread_local int tHeldDepth = 0;
}  // namespace

CleanupSignalsHeld::CleanupSignalsHeld()
{
    static_assert(sizeof(sigset_t) <= sizeof earlier_ && alignof(sigset_t) <= 8);
    if (tHeldDepth++ > 0) return;
    const sigset_t held = CleanupSignals();
    ::pthread_sigmask(SIG_BLOCK, &held, reinterpret_cast<sigset_t*>(earlier_));
}

CleanupSignalsHeld::~CleanupSignalsHeld()
{
    if (--tHeldDepth > 0) return;
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(earlier_), nullptr);
}

namespace detail {

bool OnCleanupThread() { return !gCleanupInstalled.load() || ::pthread_equal(::pthread_self(), gCleanupThread); }

bool CleanupStarted() { return gEnding.load(); }

NamesChanging::NamesChanging()
{
    if (tChangingDepth++ > 0) return;
    gChanging.fetch_add(1);
    if (gEnding.load()) {
        // The handler runs on another thread and ends the process; this thread changes nothing
        // more until then.
        gChanging.fetch_sub(1);
        for (;;) ::pause();
    }
}

NamesChanging::~NamesChanging()
{
    if (--tChangingDepth == 0) gChanging.fetch_sub(1);
}

namespace {
// Where the search for a free slot starts: a batch takes slots and gives them back mostly in
// order, so the next free one is nearly always there, and a group of a thousand files does not
// search a thousand slots for each.
std::atomic<std::size_t> gNextFree{0};
}  // namespace

int RegisterInFlight(int folder, const std::string& name)
{
    if (name.size() >= sizeof InFlight::name) return -1;
    const std::size_t start = gNextFree.load(std::memory_order_relaxed);
    for (std::size_t k = 0; k < kInFlightSlots; ++k) {
        const std::size_t i = (start + k) % kInFlightSlots;
        InFlight& slot = gInFlight[i];
        if (slot.claimed.load(std::memory_order_relaxed) || slot.claimed.exchange(true)) continue;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.folder.store(folder);
        gNextFree.store((i + 1) % kInFlightSlots, std::memory_order_relaxed);
        return static_cast<int>(i);
    }
    return -1;
}

void UnregisterInFlight(int slot)
{
    if (slot < 0) return;
    gInFlight[slot].folder.store(-1);
    gInFlight[slot].claimed.store(false);
}

void PrepareProcess()
{
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace detail
}  // namespace corvane
