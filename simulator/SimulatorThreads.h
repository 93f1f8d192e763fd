// The calling thread's identity and a plain sleep. The identity is the value
// QThread::currentThreadId() gives for the same thread, so the journal compares equal to it.
#pragma once

#include <cstdint>

namespace simulator {

using ThreadId = std::uintptr_t;

ThreadId currentThreadId();
void sleepMilliseconds(int milliseconds);
// Runs what is queued for the calling thread, as a single-threaded COM apartment does while one
// of its outgoing calls waits: on Windows the thread's messages, which carry Qt's posted events;
// elsewhere Qt's posted events directly.
void pumpThreadEvents();

} // namespace simulator
