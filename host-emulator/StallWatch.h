// What a host learns of a stalled vendor SDK from the plug-in's log: the warning when a stall
// begins and the line when it ends. Installed as the process's Qt message handler; every line
// still goes on to the handler before it (on Windows, to standard error).
#pragma once

#include <QMutex>
#include <QString>

class StallWatch
{
public:
    StallWatch();
    ~StallWatch();

    // Empty when no stall is going on; otherwise what the plug-in's warning said of it.
    QString currentStall() const;
    int stallsSeen() const;

    StallWatch(const StallWatch &) = delete;
    StallWatch &operator=(const StallWatch &) = delete;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);
    void note(const QString &text);

    mutable QMutex m_mutex;
    QString m_stall;
    int m_stalls = 0;
    QtMessageHandler m_previous = nullptr;
};
