// The threads this process has, as the operating system lists them: a plug-in that leaves a
// thread behind shows here even when its own bookkeeping says it stopped.
#pragma once

#include <QString>

int threadCount();
// One line for a failure message: each thread with where it comes from (on Windows the module
// its start address lies in, elsewhere the thread's name).
QString describeThreads();
