# What ships on Windows: the plug-in DLL, checked as the host's loader sees it, and a ZIP with the
# DLL and a README (cmake --install, cpack).
set(GLINT_PE_MACHINE i386)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(GLINT_PE_MACHINE x86-64)
endif()
if(CMAKE_OBJDUMP)
    add_test(NAME windows_dll_check
        COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-windows-dll ${CMAKE_OBJDUMP}
            $<TARGET_FILE:glint_mb> ${GLINT_PE_MACHINE})
endif()

install(TARGETS glint_mb LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME glint_mb)
set(CPACK_PACKAGE_VENDOR "Vesk plug-ins")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Norvane motherboard lighting plug-in for the Vesk host")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_PACKAGE_FILE_NAME "glint_mb-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
