// A thread's end as the plug-in sees it on Linux, where its worker threads are detached: the
// kernel gives an ended thread's id to a later thread, and that one must not pass for the first.
#include "platform/ModuleLifetime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

long currentThreadId()
{
    return static_cast<long>(syscall(SYS_gettid));
}

// Makes the kernel's next thread id `id` (needs the right to write ns_last_pid); false when it
// cannot.
bool nextThreadIdIs(long id)
{
    std::ofstream lastId("/proc/sys/kernel/ns_last_pid");
    lastId << id - 1;
    lastId.flush();
    return bool(lastId);
}

} // namespace

TEST(SystemThread, AThreadGivenAnEndedThreadsIdIsNotTakenForIt)
{
    ModuleLifetime::SystemThread first;
    long firstId = 0;
    std::thread([&] {
        first.captureCurrent();
        firstId = currentThreadId();
    }).join();
    ASSERT_TRUE(first.waitForExit(0));
    // The kernel tells threads apart by their start time, in clock ticks: a thread that gets an
    // ended one's id does so only after every other id was handed out, never within its tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000 / sysconf(_SC_CLK_TCK)));
    if (!nextThreadIdIs(firstId))
        GTEST_SKIP() << "the kernel's next thread id cannot be set here (ns_last_pid needs root)";
    // Another process may take the id first: try a few times.
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::promise<long> taken;
        std::promise<void> done;
        std::thread later([&] {
            taken.set_value(currentThreadId());
            done.get_future().wait();
        });
        const bool sameId = taken.get_future().get() == firstId;
        const bool firstEnded = first.waitForExit(0);
        done.set_value();
        later.join();
        if (sameId) {
            EXPECT_TRUE(firstEnded);
            return;
        }
        nextThreadIdIs(firstId);
    }
    FAIL() << "no later thread got the id " << firstId;
}
