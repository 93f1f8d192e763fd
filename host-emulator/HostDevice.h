// What the emulator keeps of one device the plug-in reported: enough to build its colour frames.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

struct HostLed
{
    int id = 0;
    double x = 0;
    double y = 0;
};

struct HostDevice
{
    QByteArray id;
    QString name;
    QVector<HostLed> leds;
};
