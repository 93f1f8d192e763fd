// The boundary's logging category, "vesk.plugin.glint_mb_dll", debug and above enabled.
#pragma once

#include <QLoggingCategory>

const QLoggingCategory &boundaryLog();
