// Diagnostics shared by everything behind the controller: one logging category and the text form
// of a COM result code.
#pragma once

#include "platform/Com.h"

#include <QLoggingCategory>
#include <QString>

// "vesk.plugin.glint_sdk_controller", debug and above enabled unless the host's rules say otherwise.
const QLoggingCategory &glintSdkControllerLog();

// "0x" and the code in upper-case hexadecimal as Qt 5 writes a signed int: a negative code gives
// sixteen digits (FFFFFFFF and the code's own eight).
QString hresultText(HRESULT code);
