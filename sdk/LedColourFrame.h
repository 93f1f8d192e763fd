// A colour frame as the plug-in holds it: the host's entries copied into one implicitly shared
// block, handed to the worker thread without a further copy. An entry has the layout of the
// host's colour record (TalvernPluginLedColor, which the boundary checks), so that the host's
// array is copied as it stands.
#pragma once

#include <QVector>

#include <cstdint>

struct LedColour
{
    std::int32_t ledId;
    std::int32_t r;
    std::int32_t g;
    std::int32_t b;
};

// Plain 16-byte records that QVector may move with memcpy. Declared once, here, so that every
// user of the vector instantiates it the same way.
Q_DECLARE_TYPEINFO(LedColour, Q_PRIMITIVE_TYPE);

using LedColourFrame = QVector<LedColour>;
