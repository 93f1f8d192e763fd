// The calling thread's identity and a plain sleep, without Qt. The identity is the value
// QThread::currentThreadId() gives for the same thread, so the Qt facade's journal compares equal
// to it.
#pragma once

#include <cstdint>

namespace simulator {

using ThreadId = std::uintptr_t;

ThreadId currentThreadId();
void sleepMilliseconds(int milliseconds);
// Runs what is queued for the calling thread, as a single-threaded COM apartment does while one
// of its outgoing calls waits: on Windows the thread's messages; elsewhere the function set here
// (the Qt facade sets one that delivers the thread's posted Qt events).
void pumpThreadEvents();
void setThreadEventPump(void (*pump)());

} // namespace simulator
