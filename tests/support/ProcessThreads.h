// The number of threads this process has, as the operating system lists them: a plug-in that
// leaves a thread behind shows here even when its own bookkeeping says it stopped.
#pragma once

int threadCount();
