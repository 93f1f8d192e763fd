// The table's release operations (slots 5 and 6): they free every block of a tree the plug-in
// made. A null record does nothing; null pointers inside a tree are skipped.
#pragma once

#include "TalvernPlugin.h"

void TALVERN_CDECL TalvernPluginFreeDeviceInfo(TalvernPluginDeviceInfo *info);
void TALVERN_CDECL TalvernPluginFreeDeviceView(TalvernPluginDeviceView *view);

// Frees an image record and its two strings; null does nothing.
void freeHostImage(TalvernPluginImage *image);
