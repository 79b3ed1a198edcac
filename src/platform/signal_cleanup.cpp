#include "platform/signal_cleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace orbelin
{

namespace
{

// One slot per temporary file alive at once: a batch converts a few files at a time, each with
// one temporary.
constexpr int kSlots = 64;

enum SlotState : int
{
    kFree = 0,
    kFilling = 1, // taken, the path not yet complete: the handler skips it
    kArmed = 2
};

// Fixed storage, filled before the file exists: a handler may only read memory and call unlink.
struct CSlot
{
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

CSlot g_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads slot states");

void RemoveTemporaries()
{
    for (CSlot& slot : g_slots)
        if (slot.state.load(std::memory_order_acquire) == kArmed)
            ::unlink(slot.path);
}

// Steps under way that must not stop half-way, and a signal that came meanwhile.
std::atomic<int> g_deferring{0};
std::atomic<int> g_pending{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler notes the signal");

void EndBySignal(int signal)
{
    RemoveTemporaries();
    // The default action ends the process as if no handler had been there, so the parent sees
    // the signal (and a shell reports 128 + its number) rather than an ordinary exit.
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
}

extern "C" void OnTerminatingSignal(int signal)
{
    const int savedErrno = errno;
    // Noted first, then the deferral looked at; the end of a deferral does the opposite, so one of
    // the two always sees the signal, and the exchange lets only one of them act on it.
    g_pending.store(signal);
    if (g_deferring.load() == 0)
    {
        const int pending = g_pending.exchange(0);
        if (pending != 0)
            EndBySignal(pending);
    }
    errno = savedErrno;
}

void Install()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        struct sigaction old = {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = OnTerminatingSignal;
        // A signal noted during a deferred step returns to it: its system calls go on, not fail.
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        // While one of them is handled the others wait: the files are removed once, then the
        // process ends.
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        sigaddset(&action.sa_mask, SIGHUP);
        ::sigaction(signal, &action, nullptr);
    }
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

} // namespace

void InstallSignalCleanup()
{
    static std::once_flag installed;
    std::call_once(installed, Install);
}

int RegisterTemporary(const char* path)
{
    if (path == nullptr || std::strlen(path) >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i)
    {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire))
            continue;
        std::strcpy(g_slots[i].path, path);
        g_slots[i].state.store(kArmed, std::memory_order_release);
        return i;
    }
    return -1;
}

CSignalsDeferred::CSignalsDeferred()
{
    g_deferring.fetch_add(1);
}

CSignalsDeferred::~CSignalsDeferred()
{
    if (g_deferring.fetch_sub(1) == 1)
    {
        const int pending = g_pending.exchange(0);
        if (pending != 0)
            EndBySignal(pending);
    }
}

void UnregisterTemporary(int slot)
{
    if (slot < 0 || slot >= kSlots)
        return;
    g_slots[slot].state.store(kFree, std::memory_order_release);
}

} // namespace orbelin
