// Conversion of a BSTR to QString over its full length (embedded NULs kept, no byte-order-mark
// handling: the characters are copied as they are).
#pragma once

#include "BstrHolder.h"

#include <QString>

inline QString toQString(const BstrHolder &text)
{
    static_assert(sizeof(OLECHAR) == sizeof(QChar), "BSTR characters are UTF-16 code units");
    if (!text.get())
        return QString();
    return QString(reinterpret_cast<const QChar *>(text.get()), int(text.length()));
}
