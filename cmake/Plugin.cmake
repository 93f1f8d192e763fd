# The plug-in: its sources as one object library, linked into the loadable module the host uses
# and into the unit tests.
set(GLINT_PLUGIN_SOURCES
    boundary/TalvernPlugin.h
    boundary/BoundaryLog.h boundary/BoundaryLog.cpp
    boundary/ColourFrameEntry.cpp
    boundary/ControllerLifecycle.h boundary/ControllerLifecycle.cpp
    boundary/DescriptionExport.cpp
    boundary/HostCallGuard.h
    boundary/HostMemory.h boundary/HostMemory.cpp
    boundary/HostNotification.cpp
    boundary/HostRecordRelease.h boundary/HostRecordRelease.cpp
    boundary/PluginEntry.cpp
    boundary/PluginState.h boundary/PluginState.cpp
    boundary/Subscription.cpp
    boundary/TableOperations.h
    devices/DeviceBuilder.h devices/DeviceBuilder.cpp
    devices/DeviceData.h
    devices/DeviceEnumeration.h devices/DeviceEnumeration.cpp
    devices/DeviceImages.h devices/DeviceImages.cpp
    devices/DeviceStore.h devices/DeviceStore.cpp
    devices/DeviceTypes.h devices/DeviceTypes.cpp
    devices/MotherboardMerge.h devices/MotherboardMerge.cpp
    sdk/ControllerState.h sdk/ControllerState.cpp
    sdk/FrameRequest.h sdk/FrameRequest.cpp
    sdk/GlintSdkController.h sdk/GlintSdkController.cpp
    sdk/GlintSdkWorker.h sdk/GlintSdkWorker.cpp
    sdk/LedColourApplication.h sdk/LedColourApplication.cpp
    sdk/LedColourFrame.h
    sdk/RequestQueue.h sdk/RequestQueue.cpp
    sdk/SdkConnectionGate.h sdk/SdkConnectionGate.cpp
    sdk/StallMonitor.h sdk/StallMonitor.cpp
    platform/Com.h platform/ComPtr.h platform/BstrHolder.h platform/BstrString.h
    platform/ModuleLifetime.h platform/ModuleLifetime.cpp
    glint/GlintSdkInterfaces.h
    glint/GlintSdkLog.h glint/GlintSdkLog.cpp
    glint/LogLine.h glint/LogLine.cpp
)
add_library(glint_plugin_objects OBJECT ${GLINT_PLUGIN_SOURCES})
target_link_libraries(glint_plugin_objects PUBLIC Qt5::Core platform Threads::Threads ${CMAKE_DL_LIBS})
target_compile_definitions(glint_plugin_objects PUBLIC TALVERN_PLUGIN_BUILD QT_NO_CAST_FROM_ASCII)
set_target_properties(glint_plugin_objects PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

# What the host loads: exactly the four exports (hidden visibility plus a version script).
add_library(glint_mb MODULE $<TARGET_OBJECTS:glint_plugin_objects>)
target_link_libraries(glint_mb PRIVATE Qt5::Core platform Threads::Threads ${CMAKE_DL_LIBS})
set_target_properties(glint_mb PROPERTIES PREFIX "" OUTPUT_NAME "glint_mb"
    LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/plugin-exports.map)
if(NOT WIN32)
    target_link_options(glint_mb PRIVATE
        -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/plugin-exports.map -Wl,--no-undefined)
endif() # on Windows the exports are the four dllexport declarations

# Unit tests link the same objects statically.
add_library(glint_plugin_core STATIC $<TARGET_OBJECTS:glint_plugin_objects>)
target_link_libraries(glint_plugin_core PUBLIC Qt5::Core platform Threads::Threads)
target_include_directories(glint_plugin_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(glint_plugin_core PUBLIC QT_NO_CAST_FROM_ASCII)
