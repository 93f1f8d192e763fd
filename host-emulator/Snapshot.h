// A picture of every simulated board with its lights in the colours they last latched.
#pragma once

#include <QString>

namespace Snapshot {
// Returns false and says why when the picture cannot be written.
bool write(const QString &path, int boards, QString *error);
} // namespace Snapshot
