#include "LiveView.h"

#include "simulator/SimulatorControl.h"

#include <cstdio>

LiveView::LiveView(const QStringList &boardNames, bool terminal)
    : m_boardNames(boardNames)
    , m_terminal(terminal)
{
    for (const QString &name : boardNames)
        m_nameWidth = qMax(m_nameWidth, name.size());
}

QByteArray LiveView::boardRow(int board) const
{
    QByteArray row = m_boardNames.at(board).leftJustified(m_nameWidth).toUtf8() + "  ";
    const QVector<SimulatedColour> colours = SimulatorControl::instance().latchedColours(board);
    for (const SimulatedColour &c : colours) {
        if (m_terminal)
            row += QByteArray("\x1b[48;2;") + QByteArray::number(c.red) + ';'
                + QByteArray::number(c.green) + ';' + QByteArray::number(c.blue) + "m   \x1b[0m ";
        else
            row += QStringLiteral("#%1%2%3 ")
                       .arg(c.red, 2, 16, QLatin1Char('0'))
                       .arg(c.green, 2, 16, QLatin1Char('0'))
                       .arg(c.blue, 2, 16, QLatin1Char('0'))
                       .toLatin1();
    }
    if (colours.isEmpty())
        row += "(no lights)";
    return row;
}

void LiveView::draw(const RenderThread::Status &status, const QString &stall)
{
    QByteArray text;
    // Back to the top of the previous drawing, so the view stays in place.
    if (m_terminal && m_linesDrawn > 0)
        text += "\x1b[" + QByteArray::number(m_linesDrawn) + "F";
    for (int board = 0; board < m_boardNames.size(); ++board)
        text += (m_terminal ? "\x1b[2K" : "") + boardRow(board) + '\n';
    const int notShown = qMax(0, status.calls - SimulatorControl::instance().applyCount(0));
    const QString clear = QLatin1String(m_terminal ? "\x1b[2K" : "");
    text += QStringLiteral("%1%2 s  frames %3  %4 fps  not shown %5  latency p50 %6 us  p99 %7 us  "
                           "max %8 us\n")
                .arg(clear)
                .arg(status.elapsedSeconds, 0, 'f', 1)
                .arg(status.frames)
                .arg(status.achievedFps(), 0, 'f', 1)
                .arg(notShown)
                .arg(status.p50)
                .arg(status.p99)
                .arg(status.max)
                .toUtf8();
    QString sdk = QStringLiteral("SDK: answering");
    if (!stall.isEmpty())
        sdk = QStringLiteral("SDK STALLED: ") + stall;
    else if (status.frames == 0)
        sdk = QStringLiteral("SDK: no device reported yet");
    text += (clear + sdk).toUtf8() + '\n';
    std::fputs(text.constData(), stdout);
    std::fflush(stdout);
    m_linesDrawn = m_boardNames.size() + 2;
}
