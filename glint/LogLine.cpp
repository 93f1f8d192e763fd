#include "LogLine.h"

void writeBuiltLogLine(const QLoggingCategory &category, QtMsgType type, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const QMessageLogger logger(nullptr, 0, nullptr, category.categoryName());
    switch (type) {
    case QtDebugMsg:
        logger.debug("%s", utf8.constData());
        break;
    case QtInfoMsg:
        logger.info("%s", utf8.constData());
        break;
    case QtWarningMsg:
        logger.warning("%s", utf8.constData());
        break;
    default:
        logger.critical("%s", utf8.constData());
        break;
    }
}
