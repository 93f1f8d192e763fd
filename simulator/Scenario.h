// What the substitute SDK simulates: its boards and lights, the failures it injects and how slow
// its Apply is. Plain values, settable from C++ or read from a JSON document.
#pragma once

#include "SimulatorExport.h"
#include "platform/Com.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct GLINT_SIMULATOR_EXPORT BoardScenario
{
    QString name;
    int type = 0x10000; // the Enumerate type code that reports this board
    QStringList lightNames; // one per light, in index order
    int applyDelayMs = 0; // how long each Apply of this board blocks
    int claimedLights = -1; // what get_Count of its lights says, when it lies (-1: the truth)

    // A board of count lights named "LED 1" to "LED count".
    static BoardScenario withLights(const QString &name, int count, int type = 0x10000);
};

// A failure to inject. The object is named as in the journal, each part may be "*":
// "sdk", "devices", "board:B", "lights:B", "light:B:L" (B the board's place in the scenario, L the
// light's index on it). call counts the calls matching object, method and index from 1; 0 fails
// every one. index restricts get_Item to one index; -1 matches any.
struct GLINT_SIMULATOR_EXPORT FaultRule
{
    QString object;
    QString method;
    HRESULT result = static_cast<HRESULT>(0x80004005u);
    int call = 0;
    int index = -1;
};

struct GLINT_SIMULATOR_EXPORT Scenario
{
    QVector<BoardScenario> boards;
    QVector<FaultRule> faults;
    int claimedDevices = -1; // what get_Count of every device collection says (-1: the truth)

    // One board as the SDK names the motherboard, with eight lights.
    static Scenario defaultScenario();
    // Parses the JSON format described in docs/SCENARIOS.md; on error returns false and says why.
    static bool fromJson(const QByteArray &json, Scenario *scenario, QString *error);
    static bool fromFile(const QString &path, Scenario *scenario, QString *error);
};
