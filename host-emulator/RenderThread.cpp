#include "RenderThread.h"

#include "PluginHost.h"

#include <QMutexLocker>

#include <chrono>

using Clock = std::chrono::steady_clock;

RenderThread::RenderThread(const PluginHost &host, const LightingEffect &effect,
                           const Settings &settings)
    : m_host(host)
    , m_effect(effect)
    , m_settings(settings)
{ }

RenderThread::~RenderThread()
{
    requestStop();
    wait();
}

void RenderThread::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void RenderThread::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

RenderThread::Status RenderThread::status() const
{
    QMutexLocker lock(&m_mutex);
    Status status;
    status.elapsedSeconds = m_elapsed;
    status.frames = m_frames;
    status.calls = m_latency.count();
    status.p50 = m_latency.percentile(50);
    status.p99 = m_latency.percentile(99);
    status.max = m_latency.maximum();
    return status;
}

void RenderThread::run()
{
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / m_settings.fps));
    const Clock::time_point started = Clock::now();
    Clock::time_point first;
    Clock::time_point next;
    bool sending = false;
    while (!m_stopRequested) {
        const QVector<HostDevice> devices = m_host.devices();
        const Clock::time_point now = Clock::now();
        if (devices.isEmpty() && !sending) {
            if (now - started > std::chrono::duration<double>(m_settings.noDeviceSeconds))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (!sending) {
            sending = true;
            first = now;
            next = now;
        }
        const double seconds = std::chrono::duration<double>(now - first).count();
        if (m_settings.frames == 0 && seconds >= m_settings.seconds)
            break;
        for (const HostDevice &device : devices) {
            const QVector<TalvernPluginLedColor> colours = m_effect.frame(device.leds, seconds);
            const Clock::time_point before = Clock::now();
            m_host.sendFrame(device.id, colours);
            const auto took =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - before);
            QMutexLocker lock(&m_mutex);
            m_latency.add(took.count());
        }
        {
            QMutexLocker lock(&m_mutex);
            ++m_frames;
            m_elapsed = std::chrono::duration<double>(Clock::now() - first).count();
            if (m_settings.frames > 0 && m_frames >= m_settings.frames)
                break;
        }
        next += period;
        // A slow frame call is not made up for with a burst of frames.
        if (next < Clock::now())
            next = Clock::now();
        std::this_thread::sleep_until(next);
    }
    m_finished = true;
}
