// Diagnostics shared by everything behind the controller: one logging category, the text form of
// a COM result code and the one shape of a failed call's line.
#pragma once

#include "platform/Com.h"

#include <QLoggingCategory>
#include <QString>

// "vesk.plugin.glint_sdk_controller", debug and above enabled unless the host's rules say
// otherwise.
const QLoggingCategory &glintSdkControllerLog();

// "0x" and the code in upper-case hexadecimal as Qt 5 writes a signed int: a negative code gives
// sixteen digits (FFFFFFFF and the code's own eight).
QString hresultText(HRESULT code);

// A failed COM or SDK call at critical level: the opening text, the code text in quotes and, unless
// null, the closing text, as items of one spaced line. Every failed SDK call is reported here, so
// it also notes, for the calling thread, a code that says the vendor's service went away.
void logFailedCall(const char *opening, HRESULT code, const char *closing = ")");

// The codes with which every object of the SDK answers once its service is gone (restarted,
// updated, crashed): RPC_E_DISCONNECTED, RPC_S_SERVER_UNAVAILABLE, CO_E_OBJNOTCONNECTED.
bool isDisconnection(HRESULT code);
// Whether a failed call on this thread answered so since the last take; clears the note.
bool takeDisconnectionNote();
