// Walks the substitute SDK as the plug-in does (start call, Enumerate of the motherboard type,
// devices, names, lights, colours, Apply per board, stop call, releases) and prints one result
// line per check. Built twice: against the project's COM layer and the Linux simulator library,
// and for 64-bit Windows against ole32/oleaut32 and the Qt-free server DLL, run under wine. Both
// runs must print the same lines, and every check must hold. No Qt and no test framework, so that
// it builds where neither exists.
#include "SimulatorLibrary.h"

#include "platform/BstrHolder.h"
#include "platform/ComPtr.h"
#include "sdk/GlintSdkInterfaces.h"
#include "simulator/SimulatorCApi.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Prints each check's value; a value other than the expected one is marked and counted.
class Report
{
public:
    void result(const std::string &check, HRESULT hr, HRESULT expected)
    {
        std::printf("%s: 0x%08X", check.c_str(), static_cast<unsigned>(hr));
        if (hr != expected)
            std::printf("  FAILED, expected 0x%08X", static_cast<unsigned>(expected));
        finish(hr == expected);
    }
    void count(const std::string &check, long long value, long long expected)
    {
        std::printf("%s: %lld", check.c_str(), value);
        if (value != expected)
            std::printf("  FAILED, expected %lld", expected);
        finish(value == expected);
    }
    void text(const std::string &check, const std::string &value, const std::string &expected)
    {
        std::printf("%s: %s", check.c_str(), value.c_str());
        if (value != expected)
            std::printf("  FAILED, expected %s", expected.c_str());
        finish(value == expected);
    }
    int failures() const { return m_failures; }

private:
    void finish(bool passed)
    {
        std::printf("\n");
        m_failures += passed ? 0 : 1;
    }

    int m_failures = 0;
};

// What the walk needs of the simulator's C interface.
struct Simulator
{
    GlintSimulatorSetRegisteredFunction setRegistered = nullptr;
    GlintSimulatorClearScenarioFunction clearScenario = nullptr;
    GlintSimulatorAddBoardFunction addBoard = nullptr;
    GlintSimulatorBoardLightFunction latchedColour = nullptr;
    GlintSimulatorBoardFunction applyCount = nullptr;
    GlintSimulatorCountFunction startCalls = nullptr;
    GlintSimulatorCountFunction stopCalls = nullptr;
    GlintSimulatorCountFunction liveObjects = nullptr;
    GlintSimulatorCountFunction outstandingReferences = nullptr;
    GlintSimulatorCountFunction foreignThreadCalls = nullptr;
    HRESULT(STDAPICALLTYPE *canUnloadNow)() = nullptr;

    explicit Simulator(const SimulatorLibrary &library)
        : setRegistered(library.resolve<decltype(setRegistered)>("GlintSimulatorSetRegistered"))
        , clearScenario(library.resolve<decltype(clearScenario)>("GlintSimulatorClearScenario"))
        , addBoard(library.resolve<decltype(addBoard)>("GlintSimulatorAddBoard"))
        , latchedColour(library.resolve<decltype(latchedColour)>("GlintSimulatorLatchedColour"))
        , applyCount(library.resolve<decltype(applyCount)>("GlintSimulatorApplyCount"))
        , startCalls(library.resolve<decltype(startCalls)>("GlintSimulatorStartCalls"))
        , stopCalls(library.resolve<decltype(stopCalls)>("GlintSimulatorStopCalls"))
        , liveObjects(library.resolve<decltype(liveObjects)>("GlintSimulatorLiveObjects"))
        , outstandingReferences(library.resolve<decltype(outstandingReferences)>(
              "GlintSimulatorOutstandingReferences"))
        , foreignThreadCalls(
              library.resolve<decltype(foreignThreadCalls)>("GlintSimulatorForeignThreadCalls"))
        , canUnloadNow(library.resolve<decltype(canUnloadNow)>("DllCanUnloadNow"))
    { }
    bool complete() const
    {
        return setRegistered && clearScenario && addBoard && latchedColour && applyCount
            && startCalls && stopCalls && liveObjects && outstandingReferences && foreignThreadCalls
            && canUnloadNow;
    }
};

// The scenario: two motherboards and, between them, a board of another type that Enumerate of
// the motherboard type must leave out.
const char16_t *const g_headerLights[] = { u"Top", u"Middle", u"Bottom" };

struct PlannedBoard
{
    const char16_t *name;
    int type;
    const char16_t *const *lightNames; // null: numbered by the SDK
    int lightCount;
};

const PlannedBoard g_plannedBoards[] = {
    { u"Mainboard_Master", GlintMotherboardType, nullptr, 8 },
    { u"Keyboard", 0x80000, nullptr, 4 },
    { u"Aux_Header", GlintMotherboardType, g_headerLights, 3 },
};

// What Enumerate of the motherboard type must report, in order.
struct ExpectedDevice
{
    int place; // in the scenario
    const char *name;
    int lightCount;
    const char *lightNames;
};

const ExpectedDevice g_expectedDevices[] = {
    { 0, "Mainboard_Master", 8, "LED 1, LED 2, LED 3, LED 4, LED 5, LED 6, LED 7, LED 8" },
    { 2, "Aux_Header", 3, "Top, Middle, Bottom" },
};
constexpr int g_expectedDeviceCount = 2;
constexpr int g_otherTypePlace = 1;

std::string narrow(const BstrHolder &text)
{
    std::string result;
    for (unsigned i = 0; i < text.length(); ++i) {
        const unsigned character = static_cast<unsigned>(text.get()[i]);
        if (character >= 0x20 && character < 0x7F) {
            result += char(character);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", character);
            result += escaped;
        }
    }
    return result;
}

// The colour the walk puts on a light: distinct per device and light in every component.
struct Colour
{
    BYTE red, green, blue;
    int packed() const { return red << 16 | green << 8 | blue; }
};

Colour colourFor(int device, int light)
{
    return { BYTE(0x10 * (device + 1) + light), BYTE(0xF0 - 0x11 * light),
             BYTE(0x41 + 0x20 * device + 2 * light) };
}

std::string deviceCheck(int device, const char *what)
{
    return "device " + std::to_string(device) + " " + what;
}

struct HeldDevice
{
    ComPtr<IGlintSyncDevice> device;
    ComPtr<IGlintRgbLightCollection> lights;
    std::vector<ComPtr<IGlintRgbLight>> leds;
};

// Enumerates, names and keeps one device as the plug-in's device build does.
HeldDevice buildDevice(Report &report, IGlintSyncDeviceCollection *devices, int index)
{
    const ExpectedDevice &expected = g_expectedDevices[index];
    HeldDevice held;
    report.result(deviceCheck(index, "get_Item"), devices->get_Item(index, held.device.receive()),
                  S_OK);
    if (!held.device)
        return {};
    BstrHolder name;
    report.result(deviceCheck(index, "get_Name"), held.device->get_Name(name.receive()), S_OK);
    report.text(deviceCheck(index, "name"), narrow(name), expected.name);
    report.result(deviceCheck(index, "get_Lights"), held.device->get_Lights(held.lights.receive()),
                  S_OK);
    if (!held.lights)
        return {};
    int count = -1;
    report.result(deviceCheck(index, "lights get_Count"), held.lights->get_Count(&count), S_OK);
    report.count(deviceCheck(index, "light count"), count, expected.lightCount);
    if (count != expected.lightCount)
        return {};

    // First the zone names, then the lights kept for the colours: the same index must give the
    // same object both times.
    std::vector<ComPtr<IGlintRgbLight>> named(static_cast<std::size_t>(count));
    std::string names;
    int itemsFailed = 0;
    for (int i = 0; i < count; ++i) {
        ComPtr<IGlintRgbLight> &light = named[std::size_t(i)];
        BstrHolder lightName;
        if (FAILED(held.lights->get_Item(i, light.receive())) || !light
            || FAILED(light->get_Name(lightName.receive()))) {
            ++itemsFailed;
            continue;
        }
        names += (names.empty() ? "" : ", ") + narrow(lightName);
    }
    report.count(deviceCheck(index, "lights that failed get_Item or get_Name"), itemsFailed, 0);
    report.text(deviceCheck(index, "light names"), names, expected.lightNames);
    int same = 0;
    for (int i = 0; i < count; ++i) {
        ComPtr<IGlintRgbLight> light;
        held.lights->get_Item(i, light.receive());
        same += light && light == named[std::size_t(i)] ? 1 : 0;
        held.leds.push_back(light);
    }
    report.count(deviceCheck(index, "lights given again as the same objects"), same, count);
    return held;
}

// Puts each light's colour and applies the board, as one colour frame of the plug-in does.
void showColours(Report &report, const Simulator &simulator, const HeldDevice &held, int index)
{
    const ExpectedDevice &expected = g_expectedDevices[index];
    const int count = int(held.leds.size());
    int succeeded = 0;
    for (int i = 0; i < count; ++i) {
        IGlintRgbLight *light = held.leds[std::size_t(i)].get();
        if (!light)
            continue;
        const Colour colour = colourFor(index, i);
        succeeded += SUCCEEDED(light->put_Red(colour.red)) ? 1 : 0;
        succeeded += SUCCEEDED(light->put_Green(colour.green)) ? 1 : 0;
        succeeded += SUCCEEDED(light->put_Blue(colour.blue)) ? 1 : 0;
    }
    report.count(deviceCheck(index, "put calls that succeeded"), succeeded, 3 * count);
    int dark = 0;
    for (int i = 0; i < count; ++i)
        dark += simulator.latchedColour(expected.place, i) == 0 ? 1 : 0;
    report.count(deviceCheck(index, "lights still dark before Apply"), dark, count);
    report.result(deviceCheck(index, "Apply"), held.device->Apply(), S_OK);
    int asPut = 0;
    for (int i = 0; i < count; ++i)
        asPut += simulator.latchedColour(expected.place, i) == colourFor(index, i).packed() ? 1 : 0;
    report.count(deviceCheck(index, "latched colours equal to what was put"), asPut, count);
    report.count(deviceCheck(index, "applies the SDK saw"), simulator.applyCount(expected.place),
                 1);
}

// Everything from the creation to the stop call; every reference is released on return.
void walk(Report &report, const Simulator &simulator)
{
    ComPtr<IGlintSdk2> sdk;
    report.result("CoCreateInstance of the SDK",
                  CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                                   sdk.receiveVoid()),
                  S_OK);
    if (!sdk)
        return;
    report.result("StartControl", sdk->StartControl(), S_OK);
    report.count("start calls the SDK saw", simulator.startCalls(), 1);

    ComPtr<IGlintSyncDeviceCollection> devices;
    report.result("Enumerate of the motherboard type",
                  sdk->Enumerate(GlintMotherboardType, devices.receive()), S_OK);
    if (!devices)
        return;
    int count = -1;
    report.result("devices get_Count", devices->get_Count(&count), S_OK);
    report.count("motherboards", count, g_expectedDeviceCount);
    if (count != g_expectedDeviceCount)
        return;
    std::vector<HeldDevice> held;
    int expectedObjects = 2; // the SDK and the device collection
    for (int i = 0; i < count; ++i) {
        held.push_back(buildDevice(report, devices.get(), i));
        expectedObjects += 2 + g_expectedDevices[i].lightCount;
    }
    report.count("live SDK objects while the walk holds them", simulator.liveObjects(),
                 expectedObjects);
    report.result("DllCanUnloadNow while the walk holds them", simulator.canUnloadNow(), S_FALSE);

    for (int i = 0; i < count; ++i) {
        if (held[std::size_t(i)].device)
            showColours(report, simulator, held[std::size_t(i)], i);
    }
    report.count("applies on the board of another type", simulator.applyCount(g_otherTypePlace), 0);
    report.result("StopControl(0)", sdk->StopControl(0), S_OK);
    report.count("stop calls the SDK saw", simulator.stopCalls(), 1);
}

} // namespace

int main()
{
    Report report;
    SimulatorLibrary library;
    report.count("simulator library loaded", library.loaded() ? 1 : 0, 1);
    const Simulator simulator(library);
    report.count("simulator exports found", simulator.complete() ? 1 : 0, 1);
    if (!simulator.complete())
        return 1;

    simulator.clearScenario();
    int place = 0;
    for (const PlannedBoard &board : g_plannedBoards) {
        report.count("scenario place of board " + std::to_string(place),
                     simulator.addBoard(board.name, board.type, board.lightNames, board.lightCount),
                     place);
        ++place;
    }

    report.result("server registered for the user", simulator.setRegistered(true), S_OK);
    report.result("CoInitializeEx apartment-threaded",
                  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_OK);
    walk(report, simulator);
    report.count("outstanding SDK references after the releases", simulator.outstandingReferences(),
                 0);
    report.count("live SDK objects after the releases", simulator.liveObjects(), 0);
    report.count("SDK calls from a foreign thread", simulator.foreignThreadCalls(), 0);
    report.result("DllCanUnloadNow after the releases", simulator.canUnloadNow(), S_OK);
    CoUninitialize();

    report.result("server unregistered", simulator.setRegistered(false), S_OK);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ComPtr<IGlintSdk2> absent;
    report.result("CoCreateInstance after unregistering",
                  CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                                   absent.receiveVoid()),
                  REGDB_E_CLASSNOTREG);
    report.count("  no object returned", absent ? 0 : 1, 1);
    absent.reset();
    CoUninitialize();

    std::printf("failed checks: %d\n", report.failures());
    return report.failures() == 0 ? 0 : 1;
}
