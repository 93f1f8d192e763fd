#include "StallWatch.h"

#include <QMutexLocker>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<StallWatch *> g_watch { nullptr };

// The texts the plug-in's stall lines begin with.
const QString stallBegins = QStringLiteral("SDK stall: ");
const QString stallEnds = QStringLiteral("SDK stall ended");

#ifdef _WIN32
// Qt's own handler writes to the debugger when the program has no console (as under wine), so the
// plug-in's log lines would not show.
void writeToStandardError(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", context.category ? context.category : "default",
                 qUtf8Printable(text));
    std::fflush(stderr);
}
#endif

} // namespace

StallWatch::StallWatch()
{
    g_watch.store(this);
    m_previous = qInstallMessageHandler(&StallWatch::handler);
#ifdef _WIN32
    m_previous = &writeToStandardError;
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
