// One log line that cannot end the process. A QDebug (what qCWarning and its kin give) writes its
// line from its destructor, and a block that the message handler cannot have there ends the
// process (std::terminate). Here the line is built into a string and written by a call that throws
// normally; a line that cannot be built or written for want of memory is dropped. Nothing is built
// unless the category has the level on.
//   writeLogLine(category(), QtWarningMsg, [&](QDebug &line) { line << "text" << value; });
#pragma once

#include <QDebug>
#include <QLoggingCategory>
#include <QString>

// Writes an already built line under the category, at the level; may throw std::bad_alloc.
void writeBuiltLogLine(const QLoggingCategory &category, QtMsgType type, const QString &text);

template<class Build>
void writeLogLine(const QLoggingCategory &category, QtMsgType type, Build &&build) noexcept
{
    if (!category.isEnabled(type))
        return;
    try {
        QString text;
        bool spaced = true;
        {
            QDebug line(&text);
            build(line);
            spaced = line.autoInsertSpaces();
        }
        // A line written to a string keeps the space after its last item.
        if (spaced && text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        writeBuiltLogLine(category, type, text);
    } catch (...) { }
}
