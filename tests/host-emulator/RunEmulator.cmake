# Runs the emulator once and checks its exit code and the summary's key lines.
# -DEMULATOR (may be empty) -DPROGRAM -DARGUMENTS (a list) -DDEVICES -DLEDS -DFRAMES -DWINDOWS
# -DSTUCK: the scenario hangs an SDK call past the end of the run, so the SDK's objects are left
# by it at exit (and said to be), after one stall.
if(ARGUMENTS MATCHES "--snapshot;([^;]+)")
    set(snapshot "${CMAKE_MATCH_1}")
    file(REMOVE "${snapshot}")
endif()
# On Windows a plug-in that waits for its thread under the loader lock hangs the unload for good:
# end such a run with a clear message rather than at ctest's timeout.
set(bound)
if(WINDOWS)
    set(bound TIMEOUT 60)
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGUMENTS} ${bound}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}")
if(result MATCHES "timeout")
    message(FATAL_ERROR "the run did not end within 60 s: a hang (at the plug-in's unload?)\n"
                        "${errors}")
elseif(NOT result EQUAL 0)
    message(FATAL_ERROR "exit code ${result}\n${errors}")
endif()
# Windows does not count COM initialisations: there the emulator says so instead of a number.
set(apartments "COM initializations outstanding: 0")
if(WINDOWS)
    set(apartments "COM initializations outstanding: not counted on Windows")
endif()
set(lines "devices: ${DEVICES}" "leds: ${LEDS}" "frames sent: ${FRAMES}"
    "SDK calls from a foreign thread: 0" "health checks: passed")
if(STUCK)
    list(APPEND lines "SDK stalls: 1" "SDK live objects after unload: [1-9][0-9]* \\(left by a stuck SDK at exit")
else()
    list(APPEND lines "SDK live objects after unload: 0" "SDK outstanding references after unload: 0"
        "${apartments}")
endif()
foreach(line ${lines})
    if(NOT output MATCHES "\n${line}")
        message(FATAL_ERROR "missing summary line \"${line}\"\n${errors}")
    endif()
endforeach()
if(ARGUMENTS MATCHES "sdk-not-registered" AND NOT errors MATCHES "Failed call to create instance")
    message(FATAL_ERROR "the SDK's creation failure was not logged\n${errors}")
endif()
if(snapshot)
    if(NOT EXISTS "${snapshot}")
        message(FATAL_ERROR "no snapshot written")
    endif()
    file(READ "${snapshot}" header LIMIT 8 HEX)
    if(NOT header STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "the snapshot is not a PNG picture")
    endif()
endif()
