// The host's published layout of gauge declarations: headers, drawing
// elements, mouse areas and the module record, packed to 4 bytes. The
// module fills in its values; every other byte belongs to the host.
#pragma once

#include "host/abi.h"

struct GaugeHeader;
struct TextElement;

struct PixelPoint {
    int32_t x;
    int32_t y;
};

using GaugeCallback = void (*)(GaugeHeader* gauge, int32_t service, uint64_t extra);
using TextCallback = double (*)(TextElement* element);
using MouseHandler = int32_t (*)(const PixelPoint* point, uint32_t flags);
using GaugeRoutine = uint64_t (*)();
using GaugeInstallRoutine = uint64_t (*)(uint64_t resource);
using GaugeGenerateRoutine = uint64_t (*)(uint32_t phase);
using ModuleRoutine = void (*)();

// Service codes a host sends to a gauge callback.
enum GaugeService : int32_t {
    kPreQuery = 0,
    kPostQuery = 1,
    kPreInstall = 2,
    kPostInstall = 3,
    kPreInitialise = 4,
    kPostInitialise = 5,
    kPreUpdate = 6,
    kPostUpdate = 7,
    kPreGenerate = 8,
    kPostGenerate = 9,
    kPreDraw = 10,
    kPostDraw = 11,
    kPreKill = 12,
    kPostKill = 13,
    kConnectWindow = 14,
    kDisconnect = 15,
    kPanelOpen = 16,
    kPanelClose = 17,
};

enum ElementKind : uint32_t { kElementImage = 0, kElementText = 2 };
enum MouseAreaKind : uint32_t { kMouseEnd = 0, kMouseBegin = 1, kMouseChild = 2, kMouseParentEnd = 3, kMouseTooltip = 4 };

constexpr uint32_t kNoResource = 0xFFFFFFFF;
constexpr uint32_t kImageTransparent = 0x01, kImageErase = 0x02, kImageBilinear = 0x80;
constexpr uint32_t kMouseLeftPressed = 0x20000000, kMouseRepeat = 0x00200000;
constexpr int32_t kCursorNone = -1, kCursorUpArrow = 1, kCursorDownArrow = 2;
constexpr uint32_t kGaugeHeaderVersion = 0x320;
constexpr uint32_t kLinkageId = 0x13;
constexpr uint32_t kLinkageVersion = 0x900;

#pragma pack(push, 4)

struct ElementBase {
    uint32_t kind;
    uint32_t resourceId;
    int32_t x, y;
    uint8_t hostState[16];
    GaugeHeader* gauge;
    void* hostLink;
    ElementBase** next;
    void* failures;
    uint32_t imageFlags;
    uint32_t hostFlags[2];
};

struct ImageElement {
    ElementBase base;
    uint8_t hostImage[76];
};

struct TextElement {
    ElementBase base;
    uint8_t hostPad0[0xE4 - 0x4C];
    char* text;
    uint8_t hostPad1[0xF4 - 0xEC];
    uint32_t boxWidth, boxHeight;
    uint8_t hostPad2[0x10C - 0xFC];
    uint32_t colour;
    uint8_t hostPad3[0x150 - 0x110];
    char face[32];
    uint32_t weight;
    uint32_t charset;
    uint32_t hostPad4;
    uint32_t maxLength;
    uint8_t hostPad5[0x194 - 0x180];
    TextCallback update;
    uint8_t hostPad6[0x1A4 - 0x19C];
};

// A mouse record points either at its handler or, for a tooltip, at text.
union MouseTarget {
    MouseHandler handler;
    const char* tooltip;
    constexpr MouseTarget() : handler(nullptr) {}
    constexpr MouseTarget(MouseHandler h) : handler(h) {}
    constexpr MouseTarget(const char* t) : tooltip(t) {}
};

struct MouseArea {
    uint32_t kind;
    int32_t x, y, width, height;
    int32_t cursor;
    uint32_t helpId;
    uint32_t eventMask;
    uint32_t keyEventId;
    MouseTarget target;
    void* arguments;
};

struct GaugeHeader {
    uint32_t version;
    const char* name;
    ElementBase** elementList;
    GaugeRoutine query;
    GaugeInstallRoutine install;
    GaugeRoutine initialise;
    GaugeRoutine update;
    GaugeGenerateRoutine generate;
    GaugeRoutine draw;
    GaugeRoutine kill;
    void* reserved;
    uint32_t sizeMm;
    uint8_t hostPad0[0x84 - 0x58];
    MouseArea* mouseAreas;
    GaugeCallback callback;
    uint8_t hostPad1[0x9C - 0x94];
    const char* parameters;
    uint8_t hostPad2[352 - 0xA4];
};

struct LinkageRecord {
    uint32_t id;
    ModuleRoutine init;
    ModuleRoutine deinit;
    uint32_t reserved[2];
    uint32_t version;
    GaugeHeader* gauges[3];
};

#pragma pack(pop)

TP_PIN_SIZE(ElementBase, 76);
TP_PIN_OFFSET(ElementBase, resourceId, 0x04);
TP_PIN_OFFSET(ElementBase, x, 0x08);
TP_PIN_OFFSET(ElementBase, y, 0x0C);
TP_PIN_OFFSET(ElementBase, gauge, 0x20);
TP_PIN_OFFSET(ElementBase, hostLink, 0x28);
TP_PIN_OFFSET(ElementBase, next, 0x30);
TP_PIN_OFFSET(ElementBase, failures, 0x38);
TP_PIN_OFFSET(ElementBase, imageFlags, 0x40);
TP_PIN_OFFSET(ElementBase, hostFlags, 0x44);

TP_PIN_SIZE(ImageElement, 152);

TP_PIN_SIZE(TextElement, 420);
TP_PIN_OFFSET(TextElement, text, 0x0E4);
TP_PIN_OFFSET(TextElement, boxWidth, 0x0F4);
TP_PIN_OFFSET(TextElement, boxHeight, 0x0F8);
TP_PIN_OFFSET(TextElement, colour, 0x10C);
TP_PIN_OFFSET(TextElement, face, 0x150);
TP_PIN_OFFSET(TextElement, weight, 0x170);
TP_PIN_OFFSET(TextElement, charset, 0x174);
TP_PIN_OFFSET(TextElement, maxLength, 0x17C);
TP_PIN_OFFSET(TextElement, update, 0x194);

TP_PIN_SIZE(MouseTarget, 8);
TP_PIN_SIZE(MouseArea, 52);
TP_PIN_OFFSET(MouseArea, x, 0x04);
TP_PIN_OFFSET(MouseArea, cursor, 0x14);
TP_PIN_OFFSET(MouseArea, helpId, 0x18);
TP_PIN_OFFSET(MouseArea, eventMask, 0x1C);
TP_PIN_OFFSET(MouseArea, keyEventId, 0x20);
TP_PIN_OFFSET(MouseArea, target, 0x24);
TP_PIN_OFFSET(MouseArea, arguments, 0x2C);

TP_PIN_SIZE(GaugeHeader, 352);
TP_PIN_OFFSET(GaugeHeader, name, 0x004);
TP_PIN_OFFSET(GaugeHeader, elementList, 0x00C);
TP_PIN_OFFSET(GaugeHeader, query, 0x014);
TP_PIN_OFFSET(GaugeHeader, install, 0x01C);
TP_PIN_OFFSET(GaugeHeader, kill, 0x044);
TP_PIN_OFFSET(GaugeHeader, reserved, 0x04C);
TP_PIN_OFFSET(GaugeHeader, sizeMm, 0x054);
TP_PIN_OFFSET(GaugeHeader, mouseAreas, 0x084);
TP_PIN_OFFSET(GaugeHeader, callback, 0x08C);
TP_PIN_OFFSET(GaugeHeader, parameters, 0x09C);

TP_PIN_SIZE(LinkageRecord, 56);
TP_PIN_OFFSET(LinkageRecord, init, 4);
TP_PIN_OFFSET(LinkageRecord, deinit, 12);
TP_PIN_OFFSET(LinkageRecord, reserved, 20);
TP_PIN_OFFSET(LinkageRecord, version, 28);
TP_PIN_OFFSET(LinkageRecord, gauges, 32);
