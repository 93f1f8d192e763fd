// Symbol visibility of the substitute SDK's control interface, used by tests and the host emulator.
#pragma once

#if defined(_WIN32)
#if defined(GLINT_SIMULATOR_BUILD)
#define GLINT_SIMULATOR_EXPORT __declspec(dllexport)
#else
#define GLINT_SIMULATOR_EXPORT __declspec(dllimport)
#endif
#else
#define GLINT_SIMULATOR_EXPORT __attribute__((visibility("default")))
#endif
