// The calling thread's identity and a plain sleep, without Qt. The identity is the value
// QThread::currentThreadId() gives for the same thread, so the Qt facade's journal compares equal
// to it.
#pragma once

#include <cstdint>

namespace simulator {

using ThreadId = std::uintptr_t;

ThreadId currentThreadId();
void sleepMilliseconds(int milliseconds);

} // namespace simulator
