// The terminal view of the simulated boards: one row per board, one cell per light in the colour
// its last Apply latched, and a status line (frames, how many the first board did not show, the
// frame call's latency, and a stall of the SDK while one goes on). 24-bit colour when writing to
// a terminal, redrawn in place; plain hex colours otherwise.
#pragma once

#include "RenderThread.h"

#include <QString>
#include <QStringList>

class LiveView
{
public:
    LiveView(const QStringList &boardNames, bool terminal);
    // stall: what the plug-in said of a stall going on, or empty.
    void draw(const RenderThread::Status &status, const QString &stall);

private:
    QByteArray boardRow(int board) const;

    QStringList m_boardNames;
    bool m_terminal;
    int m_linesDrawn = 0;
    int m_nameWidth = 0;
};
