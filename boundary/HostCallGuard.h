// Every export and table operation runs its body through guardHostCall, so that nothing thrown
// (in practice std::bad_alloc from Qt or the standard library) unwinds into the host's frames:
// the operation ends in its refusal instead (null, a dropped frame, a request not made) and one
// critical line of "vesk.plugin.glint_mb_dll" says which operation gave up and why.
#pragma once

#include <exception>
#include <utility>

// Writes the critical line; never throws, even when the line cannot be built.
void logRefusedHostCall(const char *operation, const std::exception *error) noexcept;

template<class Result, class Body>
Result guardHostCall(const char *operation, Result refused, Body &&body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception &error) {
        logRefusedHostCall(operation, &error);
    } catch (...) {
        logRefusedHostCall(operation, nullptr);
    }
    return refused;
}

template<class Body>
void guardHostCall(const char *operation, Body &&body) noexcept
{
    guardHostCall(operation, 0, [&] {
        std::forward<Body>(body)();
        return 0;
    });
}
