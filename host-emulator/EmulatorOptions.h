// What the user asked the emulator to do, read from the command line.
#pragma once

#include "RgbColour.h"

#include <QString>
#include <QStringList>

struct EmulatorOptions
{
    QString scenarioFile; // empty: the built-in two-board scenario
    QString pluginPath;
    QString effect = QStringLiteral("rainbow");
    RgbColour staticColour { 255, 255, 255 };
    double fps = 30.0;
    double seconds = 5.0;
    int frames = 0; // 0: run for the duration
    QString snapshotFile;
    bool quiet = false;
    QString logRules;

    // Parses the application's arguments; on error returns false and says why.
    static bool parse(const QStringList &arguments, EmulatorOptions *options, QString *error);
};
