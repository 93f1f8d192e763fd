# The plug-in: its sources as one object library, linked into the loadable module the host uses
# and into the unit tests.
set(AURA_PLUGIN_SOURCES
    boundary/TalvernPlugin.h
    boundary/BoundaryLog.h boundary/BoundaryLog.cpp
    boundary/ColourFrameEntry.cpp
    boundary/DescriptionExport.cpp
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
    sdk/AuraSdkController.h sdk/AuraSdkController.cpp
    sdk/AuraSdkInterfaces.h
    sdk/AuraSdkLog.h sdk/AuraSdkLog.cpp
    sdk/AuraSdkWorker.h sdk/AuraSdkWorker.cpp
    sdk/LedColourApplication.h sdk/LedColourApplication.cpp
    platform/Com.h platform/ComPtr.h platform/BstrHolder.h platform/BstrString.h
)
add_library(aura_plugin_objects OBJECT ${AURA_PLUGIN_SOURCES})
target_link_libraries(aura_plugin_objects PUBLIC Qt5::Core platform Threads::Threads)
target_compile_definitions(aura_plugin_objects PUBLIC TALVERN_PLUGIN_BUILD QT_NO_CAST_FROM_ASCII)
set_target_properties(aura_plugin_objects PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

# What the host loads: exactly the four exports (hidden visibility plus a version script).
add_library(aura_mb MODULE $<TARGET_OBJECTS:aura_plugin_objects>)
target_link_libraries(aura_mb PRIVATE Qt5::Core platform Threads::Threads)
set_target_properties(aura_mb PROPERTIES PREFIX "" OUTPUT_NAME "aura_mb"
    LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/plugin-exports.map)
if(NOT WIN32)
    target_link_options(aura_mb PRIVATE
        -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/plugin-exports.map -Wl,--no-undefined)
endif() # on Windows the exports are the four dllexport declarations

# Unit tests link the same objects statically.
add_library(aura_plugin_core STATIC $<TARGET_OBJECTS:aura_plugin_objects>)
target_link_libraries(aura_plugin_core PUBLIC Qt5::Core platform Threads::Threads)
target_include_directories(aura_plugin_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(aura_plugin_core PUBLIC QT_NO_CAST_FROM_ASCII)
