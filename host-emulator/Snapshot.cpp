#include "Snapshot.h"

#include "simulator/SimulatorControl.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int Cell = 36; // one light
constexpr int Gap = 12;
constexpr int Margin = 16;

} // namespace

bool Snapshot::write(const QString &path, int boards, QString *error)
{
    QVector<QVector<SimulatedColour>> rows;
    int widest = 1;
    for (int board = 0; board < boards; ++board) {
        rows.append(SimulatorControl::instance().latchedColours(board));
        widest = std::max(widest, rows.last().size());
    }
    const int rowHeight = Cell + 2 * Gap;
    const int width = 2 * Margin + widest * (Cell + Gap) + Gap;
    const int height = 2 * Margin + std::max(1, boards) * (rowHeight + Gap) - Gap;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(24, 24, 28));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int board = 0; board < rows.size(); ++board) {
        const int top = Margin + board * (rowHeight + Gap);
        const int boardWidth = rows[board].size() * (Cell + Gap) + Gap;
        // The board itself, then its lights in a row.
        painter.setPen(QPen(QColor(70, 90, 70), 2));
        painter.setBrush(QColor(20, 50, 30));
        painter.drawRoundedRect(QRectF(Margin, top, std::max(boardWidth, Cell), rowHeight), 8, 8);
        for (int light = 0; light < rows[board].size(); ++light) {
            const SimulatedColour &c = rows[board][light];
            painter.setPen(QPen(QColor(10, 10, 10), 1));
            painter.setBrush(QColor(c.red, c.green, c.blue));
            painter.drawRoundedRect(
                QRectF(Margin + Gap + light * (Cell + Gap), top + Gap, Cell, Cell), 6, 6);
        }
    }
    painter.end();
    if (!image.save(path, "PNG")) {
        *error = QStringLiteral("cannot write the snapshot ") + path;
        return false;
    }
    return true;
}
