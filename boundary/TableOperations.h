// The operations of the host's table, and what they share.
#pragma once

#include "TalvernPlugin.h"

TalvernPluginDeviceInfo *TALVERN_CDECL TalvernPluginGetDeviceInfo(const char *deviceId);
TalvernPluginDeviceView *TALVERN_CDECL TalvernPluginGetDeviceView(const char *deviceId,
                                                                  int32_t viewIndex);
void TALVERN_CDECL TalvernPluginSetLedsColors(const char *deviceId, int32_t count,
                                              const TalvernPluginLedColor *colors);
void TALVERN_CDECL TalvernPluginSubscribe(void *context, TalvernPluginDeviceCallback callback);
void TALVERN_CDECL TalvernPluginUnsubscribe();
void TALVERN_CDECL TalvernPluginSetPluginMode(int32_t mode);

// Reports every connected device to the host's callback with status 1.
void notifyHostAboutCurrentConnectedDevices();
