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

// A failure, a stall or a pump to inject. The object is named as in the journal, each part may be
// "*": "sdk", "devices", "board:B", "lights:B", "light:B:L" (B the board's place in the scenario,
// L the light's index on it); the method "create" is the SDK object's creation. call counts the
// calls matching object, method and index from 1; 0 matches every one. index restricts get_Item
// to one index; -1 matches any. times limits the rule to the first that many matching calls, forMs
// to the first that many milliseconds of the scenario (0: no limit). A matching call blocks
// blockMs first (BlockUntilReleased: until releaseBlockedCalls()), runs its thread's pending
// events if pump is set (as a COM apartment does while it waits), then fails with result, or
// does its work when result is S_OK.
struct GLINT_SIMULATOR_EXPORT FaultRule
{
    QString object;
    QString method;
    HRESULT result = static_cast<HRESULT>(0x80004005u);
    int call = 0;
    int index = -1;
    int times = 0;
    int forMs = 0;
    int blockMs = 0;
    bool pump = false;

    static constexpr int BlockUntilReleased = -1;
};

struct GLINT_SIMULATOR_EXPORT Scenario
{
    QVector<BoardScenario> boards;
    QVector<FaultRule> faults;
    int claimedDevices = -1; // what get_Count of every device collection says (-1: the truth)

    // One board as the SDK names the motherboard, with eight lights.
    static Scenario defaultScenario();
    // Parses the JSON format described in README.md; on error returns false and says why.
    static bool fromJson(const QByteArray &json, Scenario *scenario, QString *error);
    static bool fromFile(const QString &path, Scenario *scenario, QString *error);
};
