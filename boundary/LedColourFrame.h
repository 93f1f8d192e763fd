// A colour frame as the plug-in holds it: the host's entries copied into one implicitly shared
// block, handed to the worker thread without a further copy.
#pragma once

#include "TalvernPlugin.h"

#include <QVector>

// Plain 16-byte records that QVector may move with memcpy. Declared once, here, so that every
// user of the vector instantiates it the same way.
Q_DECLARE_TYPEINFO(TalvernPluginLedColor, Q_PRIMITIVE_TYPE);

using LedColourFrame = QVector<TalvernPluginLedColor>;
