// The host's render thread: sends a frame of the effect to every reported device at the target
// rate, timing each frame call, until the duration or the frame count is reached.
#pragma once

#include "LatencyStats.h"
#include "LightingEffect.h"

#include <QMutex>

#include <atomic>
#include <thread>

class PluginHost;

class RenderThread
{
public:
    struct Settings
    {
        double fps = 30;
        double seconds = 5;
        int frames = 0; // 0: run for the duration
        double noDeviceSeconds = 5; // give up when nothing is reported for this long
    };
    struct Status
    {
        double elapsedSeconds = 0; // since the first frame
        int frames = 0;
        int calls = 0;
        std::int64_t p50 = 0;
        std::int64_t p99 = 0;
        std::int64_t max = 0;
        // Frames over the time between the first frame's start and the last one's end.
        double achievedFps() const
        {
            return elapsedSeconds > 0 && frames > 1 ? (frames - 1) / elapsedSeconds : 0;
        }
    };

    RenderThread(const PluginHost &host, const LightingEffect &effect, const Settings &settings);
    ~RenderThread();
    void start();
    void requestStop() { m_stopRequested = true; }
    void wait();
    bool finished() const { return m_finished.load(); }
    Status status() const;

    RenderThread(const RenderThread &) = delete;
    RenderThread &operator=(const RenderThread &) = delete;

private:
    void run();

    const PluginHost &m_host;
    LightingEffect m_effect;
    Settings m_settings;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested { false };
    std::atomic<bool> m_finished { false };
    mutable QMutex m_mutex;
    LatencyStats m_latency;
    double m_elapsed = 0;
    int m_frames = 0;
};
