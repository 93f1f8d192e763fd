// Qt's log lines on standard error, one per line with its category. Qt's own handler writes to
// the debugger when a Windows program has no console (as under wine), where nobody sees them.
#pragma once

#include <QtGlobal>

void writeLogLineToStandardError(QtMsgType type, const QMessageLogContext &context,
                                 const QString &text);
