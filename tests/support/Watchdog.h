// Turns a hang into a failure with a message: unless it is destroyed within the bound, a thread
// of its own prints what did not finish and ends the process at once with exit code 3.
//
// On Windows it ends the process with TerminateProcess. A hang inside the loader lock (a DLL's
// detach waiting for a thread that must enter the loader to end) stops ExitProcess as well, so
// nothing that runs detach code may be used. The constructor returns once the watchdog's thread
// runs, so it must come before the risky call: a thread needs the loader lock to start.
#pragma once

#include <memory>
#include <string>

class Watchdog
{
public:
    Watchdog(std::string what, int milliseconds);
    ~Watchdog();

    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    struct Guard;
    std::unique_ptr<Guard> m_guard;
};
