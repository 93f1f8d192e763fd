// Collects Qt's log messages while it lives, from any thread, for tests of log lines.
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

struct CapturedMessage
{
    QtMsgType type;
    QString category;
    QString text;
};

class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QList<CapturedMessage> messages() const;
    // The texts of one category's messages of one level, in order.
    QStringList texts(const char *category, QtMsgType type) const;
    bool contains(const QString &text) const;
    void clear();

    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);
    mutable QMutex m_mutex;
    QList<CapturedMessage> m_messages;
    QtMessageHandler m_previous;
};
