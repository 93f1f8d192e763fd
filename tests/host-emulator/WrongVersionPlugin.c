/* A library with the plug-in's four exports but an older API version: the emulator must refuse
 * it with a clear message before it asks for a table. */
#include "boundary/TalvernPlugin.h"

#include <stdlib.h>

int32_t TALVERN_CDECL TalvernPluginGetAPIVersion(void)
{
    return 101;
}

int32_t TALVERN_CDECL TalvernPluginGetFeatures(void)
{
    return 4;
}

TalvernPluginInstance *TALVERN_CDECL TalvernPluginGetInstance(void)
{
    abort(); /* never reached: the version check comes first */
}

void TALVERN_CDECL TalvernPluginFreeInstance(TalvernPluginInstance *instance)
{
    (void)instance;
    abort();
}
