// Termination signals: SIGINT, SIGTERM and SIGHUP end the process in order.
//
// The handler only records the signal and wakes a watcher thread through a
// pipe. The watcher starts a deadline (the process ends with 128 + signal when
// it is still alive then: a frozen server may never answer a cancel), cancels
// the running database work as the options say, and calls the program's own
// reaction (a Qt program posts its orderly exit to its main thread).
#include "db/Backends.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <csignal>
#include <pthread.h>
#include <fcntl.h>
#include <unistd.h>

namespace vl::db {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
std::atomic<bool> g_installed{false};
std::atomic<bool> g_stopWork{false};
int g_pipe[2] = {-1, -1};
// Kept for the life of the process: the watcher may use it while exiting.
SignalOptions* g_options = nullptr;

void onSignal(int signo)
{
    int none = 0;
    if (!g_signal.compare_exchange_strong(none, signo))
        ::_exit(128 + none); // asked again: end at once
    const char c = char(signo);
    const ssize_t n = ::write(g_pipe[1], &c, 1);
    (void)n;
}

void installHandlers()
{
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        sigaddset(&sa.sa_mask, s);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

sigset_t terminationSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals)
        sigaddset(&set, s);
    return set;
}

void unblockInChild()
{
    const sigset_t set = terminationSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void watch()
{
    // The one thread that takes the signals.
    const sigset_t set = terminationSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    char c = 0;
    while (::read(g_pipe[0], &c, 1) != 1) {
    }
    const int signo = g_signal.load();
    const SignalOptions& o = *g_options;
    std::thread([ms = o.exitAfterMs, signo] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        static const char text[] = "A program nem állt le időben a leállítási jelzésre, most kilép.\n";
        const ssize_t n = ::write(2, text, sizeof text - 1);
        (void)n;
        ::_exit(128 + signo);
    }).detach();
    if (o.stopDatabaseWork) {
        g_stopWork = true;
        detail::cancelFirebirdOperations(false);
    }
    if (o.onSignal)
        o.onSignal(signo);
    if (!o.stopDatabaseWork && o.cancelAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(o.cancelAfterMs));
        detail::cancelFirebirdOperations(true);
    }
}

} // namespace

void handleTerminationSignals(const SignalOptions& options)
{
    if (!g_installed.exchange(true)) {
        g_options = new SignalOptions(options);
        if (::pipe2(g_pipe, O_CLOEXEC) != 0)
            return;
        // Every thread started from here on (the engine's, the client
        // library's, Qt's) keeps the signals blocked; only the watcher takes
        // them. An engine thread whose wait a signal interrupted leaves the
        // engine spinning at the next detach. A child made by fork() gets the
        // signals back.
        const sigset_t set = terminationSet();
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        ::pthread_atfork(nullptr, nullptr, unblockInChild);
        std::thread(watch).detach();
    }
    installHandlers();
}

int terminationSignal() { return g_signal.load(); }

void cancelRunningOperations() { detail::cancelFirebirdOperations(false); }

namespace detail {

static_assert(sizeof(sigset_t) <= sizeof(unsigned long long[16]));

TerminationSignalsBlocked::TerminationSignalsBlocked()
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals)
        sigaddset(&set, s);
    ::pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(old_));
}

TerminationSignalsBlocked::~TerminationSignalsBlocked()
{
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(old_), nullptr);
}

bool databaseWorkStopped() { return g_stopWork.load(); }

void reinstallSignalHandlers()
{
    if (g_installed.load() && g_pipe[1] >= 0)
        installHandlers();
}

} // namespace detail

} // namespace vl::db
