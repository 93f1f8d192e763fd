/* The binary interface between the Vesk host and this plug-in: the four exports, the operation
 * table and the records that cross it. Plain C so that a host program can include it. The layout
 * is the one of 32-bit x86 Windows: 4-byte pointers, doubles 8-byte aligned, cdecl everywhere. */
#ifndef TALVERN_PLUGIN_H
#define TALVERN_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#if defined(_MSC_VER)
#define TALVERN_CDECL __cdecl
#elif defined(__i386__)
#define TALVERN_CDECL __attribute__((__cdecl__)) /* windef.h defines cdecl away */
#else
#define TALVERN_CDECL
#endif

/* i386 System V aligns a double member to 4 bytes; Windows aligns it to 8. Say it explicitly. */
#if defined(__GNUC__)
#define TALVERN_ALIGN8 __attribute__((aligned(8)))
#else
#define TALVERN_ALIGN8
#endif

#if defined(_WIN32)
#if defined(TALVERN_PLUGIN_BUILD)
#define TALVERN_EXPORT __declspec(dllexport)
#else
#define TALVERN_EXPORT __declspec(dllimport)
#endif
#else
#define TALVERN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TalvernPluginImage
{
    char *fileName; /* null when the device has none */
    char *checksum; /* 64 lower-case hex characters, or null when unknown */
} TalvernPluginImage;

typedef struct TalvernPluginLedPosition
{
    int32_t ledId;
    double x TALVERN_ALIGN8;
    double y TALVERN_ALIGN8;
    int32_t positionKind;
} TALVERN_ALIGN8 TalvernPluginLedPosition;

typedef struct TalvernPluginLedPositions
{
    int32_t count;
    TalvernPluginLedPosition *positions;
} TalvernPluginLedPositions;

typedef struct TalvernPluginDeviceInfo
{
    char *deviceName;
    int32_t deviceKind;
    TalvernPluginLedPositions *ledPositions;
    TalvernPluginImage *thumbnail;
    char *deviceId;
    int32_t viewCount;
    TalvernPluginImage *promo;
} TalvernPluginDeviceInfo;

typedef struct TalvernPluginLedZone
{
    int32_t ledId;
    char *label;
    int32_t zoneKind;
    char *zoneName;
} TalvernPluginLedZone;

typedef struct TalvernPluginLedZones
{
    int32_t count;
    TalvernPluginLedZone *zones;
} TalvernPluginLedZones;

typedef struct TalvernPluginDeviceView
{
    TalvernPluginImage *deviceViewImage;
    TalvernPluginImage *hullLayoutMaskImage;
    TalvernPluginLedZones *ledZones;
    int32_t reserved;
} TalvernPluginDeviceView;

typedef struct TalvernPluginLedColor
{
    int32_t ledId;
    int32_t r; /* only the low 8 bits reach the LED */
    int32_t g;
    int32_t b;
} TalvernPluginLedColor;

/* The device id is valid only during the call. */
typedef void(TALVERN_CDECL *TalvernPluginDeviceCallback)(void *context, const char *deviceId,
                                                         int32_t status);

typedef TalvernPluginDeviceInfo *(TALVERN_CDECL *TalvernPluginGetDeviceInfoFn)(
    const char *deviceId);
typedef void(TALVERN_CDECL *TalvernPluginSetLedsColorsFn)(const char *deviceId, int32_t count,
                                                          const TalvernPluginLedColor *colors);
typedef void(TALVERN_CDECL *TalvernPluginSubscribeFn)(void *context,
                                                      TalvernPluginDeviceCallback callback);
typedef void(TALVERN_CDECL *TalvernPluginUnsubscribeFn)(void);
typedef TalvernPluginDeviceView *(TALVERN_CDECL *TalvernPluginGetDeviceViewFn)(const char *deviceId,
                                                                               int32_t viewIndex);
typedef void(TALVERN_CDECL *TalvernPluginFreeDeviceInfoFn)(TalvernPluginDeviceInfo *info);
typedef void(TALVERN_CDECL *TalvernPluginFreeDeviceViewFn)(TalvernPluginDeviceView *view);
typedef void(TALVERN_CDECL *TalvernPluginSetPluginModeFn)(int32_t mode);
typedef void(TALVERN_CDECL *TalvernPluginUnusedFn)(void);

/* The operation table: 11 slots in this fixed order; slots 7 to 9 hold null. */
typedef struct TalvernPluginInstance
{
    TalvernPluginGetDeviceInfoFn getDeviceInfo; /* 0 */
    TalvernPluginSetLedsColorsFn setLedsColors; /* 1 */
    TalvernPluginSubscribeFn subscribe; /* 2 */
    TalvernPluginUnsubscribeFn unsubscribe; /* 3 */
    TalvernPluginGetDeviceViewFn getDeviceView; /* 4 */
    TalvernPluginFreeDeviceInfoFn freeDeviceInfo; /* 5 */
    TalvernPluginFreeDeviceViewFn freeDeviceView; /* 6 */
    TalvernPluginUnusedFn unused7; /* 7 */
    TalvernPluginUnusedFn unused8; /* 8 */
    TalvernPluginUnusedFn unused9; /* 9 */
    TalvernPluginSetPluginModeFn setPluginMode; /* 10 */
} TalvernPluginInstance;

TALVERN_EXPORT int32_t TALVERN_CDECL TalvernPluginGetAPIVersion(void);
TALVERN_EXPORT int32_t TALVERN_CDECL TalvernPluginGetFeatures(void);
TALVERN_EXPORT TalvernPluginInstance *TALVERN_CDECL TalvernPluginGetInstance(void);
TALVERN_EXPORT void TALVERN_CDECL TalvernPluginFreeInstance(TalvernPluginInstance *instance);

/* The export names, for hosts that resolve them at run time. */
#define TALVERN_PLUGIN_GET_API_VERSION "TalvernPluginGetAPIVersion"
#define TALVERN_PLUGIN_GET_FEATURES "TalvernPluginGetFeatures"
#define TALVERN_PLUGIN_GET_INSTANCE "TalvernPluginGetInstance"
#define TALVERN_PLUGIN_FREE_INSTANCE "TalvernPluginFreeInstance"

#ifdef __cplusplus
} /* extern "C" */

/* The table's slots in the host's order, whatever the pointer size. */
static_assert(offsetof(TalvernPluginInstance, getDeviceInfo) == 0 * sizeof(void *), "slot 0");
static_assert(offsetof(TalvernPluginInstance, setLedsColors) == 1 * sizeof(void *), "slot 1");
static_assert(offsetof(TalvernPluginInstance, subscribe) == 2 * sizeof(void *), "slot 2");
static_assert(offsetof(TalvernPluginInstance, unsubscribe) == 3 * sizeof(void *), "slot 3");
static_assert(offsetof(TalvernPluginInstance, getDeviceView) == 4 * sizeof(void *), "slot 4");
static_assert(offsetof(TalvernPluginInstance, freeDeviceInfo) == 5 * sizeof(void *), "slot 5");
static_assert(offsetof(TalvernPluginInstance, freeDeviceView) == 6 * sizeof(void *), "slot 6");
static_assert(offsetof(TalvernPluginInstance, unused7) == 7 * sizeof(void *), "slot 7");
static_assert(offsetof(TalvernPluginInstance, unused8) == 8 * sizeof(void *), "slot 8");
static_assert(offsetof(TalvernPluginInstance, unused9) == 9 * sizeof(void *), "slot 9");
static_assert(offsetof(TalvernPluginInstance, setPluginMode) == 10 * sizeof(void *), "slot 10");

#if UINTPTR_MAX == 0xFFFFFFFFu
/* The host's layout, checked wherever pointers are 4 bytes. */
static_assert(sizeof(TalvernPluginInstance) == 44, "operation table");
static_assert(sizeof(TalvernPluginDeviceInfo) == 28, "device info");
static_assert(offsetof(TalvernPluginDeviceInfo, deviceKind) == 4, "device info");
static_assert(offsetof(TalvernPluginDeviceInfo, ledPositions) == 8, "device info");
static_assert(offsetof(TalvernPluginDeviceInfo, thumbnail) == 12, "device info");
static_assert(offsetof(TalvernPluginDeviceInfo, deviceId) == 16, "device info");
static_assert(offsetof(TalvernPluginDeviceInfo, viewCount) == 20, "device info");
static_assert(offsetof(TalvernPluginDeviceInfo, promo) == 24, "device info");
static_assert(sizeof(TalvernPluginLedPositions) == 8, "led positions");
static_assert(offsetof(TalvernPluginLedPositions, positions) == 4, "led positions");
static_assert(sizeof(TalvernPluginLedPosition) == 32, "led position");
static_assert(alignof(TalvernPluginLedPosition) == 8, "led position");
static_assert(offsetof(TalvernPluginLedPosition, x) == 8, "led position");
static_assert(offsetof(TalvernPluginLedPosition, y) == 16, "led position");
static_assert(offsetof(TalvernPluginLedPosition, positionKind) == 24, "led position");
static_assert(sizeof(TalvernPluginImage) == 8, "image");
static_assert(offsetof(TalvernPluginImage, checksum) == 4, "image");
static_assert(sizeof(TalvernPluginDeviceView) == 16, "device view");
static_assert(offsetof(TalvernPluginDeviceView, hullLayoutMaskImage) == 4, "device view");
static_assert(offsetof(TalvernPluginDeviceView, ledZones) == 8, "device view");
static_assert(offsetof(TalvernPluginDeviceView, reserved) == 12, "device view");
static_assert(sizeof(TalvernPluginLedZones) == 8, "led zones");
static_assert(offsetof(TalvernPluginLedZones, zones) == 4, "led zones");
static_assert(sizeof(TalvernPluginLedZone) == 16, "led zone");
static_assert(offsetof(TalvernPluginLedZone, label) == 4, "led zone");
static_assert(offsetof(TalvernPluginLedZone, zoneKind) == 8, "led zone");
static_assert(offsetof(TalvernPluginLedZone, zoneName) == 12, "led zone");
static_assert(sizeof(TalvernPluginLedColor) == 16, "led color");
static_assert(offsetof(TalvernPluginLedColor, r) == 4, "led color");
static_assert(offsetof(TalvernPluginLedColor, g) == 8, "led color");
static_assert(offsetof(TalvernPluginLedColor, b) == 12, "led color");
#endif
#endif /* __cplusplus */

#endif /* TALVERN_PLUGIN_H */
