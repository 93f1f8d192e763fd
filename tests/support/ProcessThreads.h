// The threads this process has, as the operating system lists them: a plug-in that leaves a
// thread behind shows here even when its own bookkeeping says it stopped.
#pragma once

#include <QString>

// Called first in main(): ThreadSanitizer starts a thread of its own with the process's second
// thread, so it starts now, and the thread counts see only the plug-in's threads come and go.
void startSanitizerThread();
int threadCount();
// One line for a failure message: each thread with where it comes from (on Windows the module
// its start address lies in, elsewhere the thread's name).
QString describeThreads();
