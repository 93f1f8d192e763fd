# The plug-in: its sources as one object library, linked into the loadable module the host uses
# and into the unit tests.
set(AURA_PLUGIN_SOURCES
    boundary/TalvernPlugin.h
    boundary/HostMemory.h boundary/HostMemory.cpp
    boundary/HostRecordRelease.h boundary/HostRecordRelease.cpp
)
add_library(aura_plugin_objects OBJECT ${AURA_PLUGIN_SOURCES})
target_link_libraries(aura_plugin_objects PUBLIC Qt5::Core platform)
target_compile_definitions(aura_plugin_objects PUBLIC TALVERN_PLUGIN_BUILD QT_NO_CAST_FROM_ASCII)
set_target_properties(aura_plugin_objects PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
