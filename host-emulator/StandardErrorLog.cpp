#include "StandardErrorLog.h"

#include <QString>

#include <cstdio>

void writeLogLineToStandardError(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", context.category ? context.category : "default",
                 qUtf8Printable(text));
    std::fflush(stderr);
}
