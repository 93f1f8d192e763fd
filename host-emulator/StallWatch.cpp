#include "StallWatch.h"

#include "StandardErrorLog.h"

#include <QMutexLocker>

#include <atomic>

namespace {

std::atomic<StallWatch *> g_watch { nullptr };

// The texts the plug-in's stall lines begin with.
const QString stallBegins = QStringLiteral("SDK stall: ");
const QString stallEnds = QStringLiteral("SDK stall ended");

} // namespace

StallWatch::StallWatch()
{
    g_watch.store(this);
    m_previous = qInstallMessageHandler(&StallWatch::handler);
#ifdef _WIN32
    m_previous = &writeLogLineToStandardError;
#endif
}

StallWatch::~StallWatch()
{
    qInstallMessageHandler(m_previous);
    g_watch.store(nullptr);
}

QString StallWatch::currentStall() const
{
    QMutexLocker lock(&m_mutex);
    return m_stall;
}

int StallWatch::stallsSeen() const
{
    QMutexLocker lock(&m_mutex);
    return m_stalls;
}

void StallWatch::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    StallWatch *watch = g_watch.load();
    if (!watch)
        return;
    watch->note(text);
    if (watch->m_previous)
        watch->m_previous(type, context, text);
}

void StallWatch::note(const QString &text)
{
    QMutexLocker lock(&m_mutex);
    if (text.startsWith(stallBegins)) {
        m_stall = text.mid(stallBegins.size());
        ++m_stalls;
    } else if (text.startsWith(stallEnds)) {
        m_stall.clear();
    }
}
