# Runs the emulator once and checks its exit code and the summary's key lines.
# -DEMULATOR (may be empty) -DPROGRAM -DARGUMENTS (a list) -DDEVICES -DLEDS -DFRAMES
if(ARGUMENTS MATCHES "--snapshot;([^;]+)")
    set(snapshot "${CMAKE_MATCH_1}")
    file(REMOVE "${snapshot}")
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGUMENTS}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "exit code ${result}\n${errors}")
endif()
foreach(line "devices: ${DEVICES}" "leds: ${LEDS}" "frames sent: ${FRAMES}"
        "SDK live objects after unload: 0" "SDK outstanding references after unload: 0"
        "SDK calls from a foreign thread: 0" "COM initializations outstanding: 0"
        "health checks: passed")
    if(NOT output MATCHES "\n${line}\n")
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
