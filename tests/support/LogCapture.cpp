#include "LogCapture.h"

#include <atomic>

namespace {
std::atomic<LogCapture *> g_capture { nullptr };
}

LogCapture::LogCapture()
{
    g_capture = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_capture = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    LogCapture *capture = g_capture.load();
    if (!capture)
        return;
    QMutexLocker locker(&capture->m_mutex);
    capture->m_messages.append(
        { type, QString::fromLatin1(context.category ? context.category : ""), text });
}

QList<CapturedMessage> LogCapture::messages() const
{
    QMutexLocker locker(&m_mutex);
    return m_messages;
}

QStringList LogCapture::texts(const char *category, QtMsgType type) const
{
    QStringList result;
    for (const CapturedMessage &message : messages()) {
        if (message.type == type && message.category == QLatin1String(category))
            result.append(message.text);
    }
    return result;
}

bool LogCapture::contains(const QString &text) const
{
    for (const CapturedMessage &message : messages()) {
        if (message.text == text)
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    QMutexLocker locker(&m_mutex);
    m_messages.clear();
}
