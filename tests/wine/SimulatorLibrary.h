// The substitute SDK's library, loaded by the walk itself as well as by COM, so that the walk can
// set it up before the SDK is created and observe it afterwards. COM loading the same file gives
// the same module, so both see one simulated state. On Windows the DLL next to the program (the
// search for a bare name starts there); elsewhere the library this build made.
#pragma once

class SimulatorLibrary
{
public:
    SimulatorLibrary();
    ~SimulatorLibrary();
    bool loaded() const { return m_handle != nullptr; }

    // Null when the library does not export the name.
    template<class Function>
    Function resolve(const char *name) const
    {
        return reinterpret_cast<Function>(symbol(name));
    }

    SimulatorLibrary(const SimulatorLibrary &) = delete;
    SimulatorLibrary &operator=(const SimulatorLibrary &) = delete;

private:
    void (*symbol(const char *name) const)();

    void *m_handle = nullptr;
};
