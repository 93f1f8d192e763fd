// The boundary's logging category, "vesk.plugin.aura_mb_dll", debug and above enabled.
#pragma once

#include <QLoggingCategory>

const QLoggingCategory &boundaryLog();
