// The in-process server the activation tests load: one class whose objects implement IUnknown
// only, with a count of the factories and objects still alive.
#pragma once

#include "platform/Com.h"

// {3F2504E0-4F89-11D3-9A0C-0305E82C3301}
constexpr CLSID CLSID_TestServer = {
    0x3F2504E0, 0x4F89, 0x11D3, { 0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01 }
};

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv);
// Factories and objects not yet released for the last time.
STDAPI_(int) TestServerLiveObjects();
