// Gauges: the declaration records as a host reads them through Linkage, the
// forwarding routines, the bitmaps, clicks and tooltips, stepping through
// the points and the display's three texts.
#include "test_support.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>

namespace {

using tp_test::ModuleTest;

template <typename T>
T read_at(const void* record, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}
const void* pointer_at(const void* record, size_t offset) { return read_at<const void*>(record, offset); }

// Reports the first byte that differs, and how many do.
void expect_bytes(const void* record, const std::vector<uint8_t>& expected, const std::string& what) {
    const auto* actual = static_cast<const uint8_t*>(record);
    size_t first = expected.size(), differing = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        if (actual[i] != expected[i] && differing++ == 0) first = i;
    if (differing)
        ADD_FAILURE() << what << ": " << differing << " byte(s) differ, the first at offset " << first << " is "
                      << int(actual[first]) << ", expected " << int(expected[first]);
}

// A record's expected bytes: the tabled values, zero everywhere else. A
// pointer field must not be null; its bytes are taken from the record and
// the caller checks where it points.
class Image {
public:
    explicit Image(size_t size) : bytes_(size) {}
    Image& u32(size_t at, uint32_t value) {
        std::memcpy(&bytes_[at], &value, sizeof value);
        return *this;
    }
    Image& text(size_t at, const char* s) {
        std::memcpy(&bytes_[at], s, std::strlen(s));
        return *this;
    }
    Image& pointer(size_t at) {
        pointers_.push_back(at);
        return *this;
    }
    void expect_matches(const void* record, const std::string& what) const {
        std::vector<uint8_t> expected = bytes_;
        for (size_t at : pointers_) {
            EXPECT_NE(pointer_at(record, at), nullptr) << what << ", pointer at offset " << at;
            std::memcpy(&expected[at], static_cast<const char*>(record) + at, sizeof(void*));
        }
        expect_bytes(record, expected, what);
    }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> pointers_;
};

constexpr uint32_t kNone = 0xFFFFFFFF;

struct ElementRow {
    uint32_t kind, resource;
    int32_t x, y;
    uint32_t width = 0, maxLength = 0;
};

struct AreaRow {
    uint32_t kind;  // 0 end of list, 1 begin, 2 clickable child, 3 end, 4 tooltip
    int32_t x = 0, y = 0, width = 0, height = 0, cursor = -1;
    uint32_t mask = 0;
    const char* tooltip = nullptr;
    bool handler = false;
};

struct GaugeRow {
    const char* name;
    uint32_t sizeMm;
    std::vector<ElementRow> elements;
    std::vector<AreaRow> areas;
};

const GaugeRow kGauges[] = {
    {"vorn", 10, {{0, 256, 0, 0}}, {{1}, {3}, {0}}},
    {"display",
     200,
     {{0, 512, 0, 0}, {2, kNone, 5, 5, 50, 15}, {2, kNone, 55, 5, 235, 130}, {2, kNone, 5, 32, 290, 100}},
     {{1},
      {1, 1, 1, 149, 73},
      {4, 0, 0, 0, 0, -1, 0, "Previous"},
      {3},
      {1, 150, 1, 149, 73},
      {4, 0, 0, 0, 0, -1, 0, "Next"},
      {3},
      {2, 1, 1, 149, 48, 2, 0x20200000, nullptr, true},
      {2, 150, 1, 149, 48, 1, 0x20200000, nullptr, true},
      {3},
      {0}}},
};

Image element_image(const ElementRow& row, bool last) {
    Image image(row.kind == 0 ? 152 : 420);
    image.u32(0x00, row.kind).u32(0x04, row.resource).u32(0x08, uint32_t(row.x)).u32(0x0C, uint32_t(row.y));
    image.pointer(0x20).u32(0x40, 0x83);
    if (!last) image.pointer(0x30);
    if (row.kind == 2)
        image.u32(0xF4, row.width).u32(0xF8, 18).u32(0x10C, 0x00FFFFFF).text(0x150, "Arial").u32(0x170, 500)
            .u32(0x174, 1).u32(0x17C, row.maxLength).pointer(0x194);
    return image;
}

Image area_image(const AreaRow& row) {
    Image image(52);
    image.u32(0x00, row.kind).u32(0x04, uint32_t(row.x)).u32(0x08, uint32_t(row.y)).u32(0x0C, uint32_t(row.width));
    image.u32(0x10, uint32_t(row.height)).u32(0x14, uint32_t(row.cursor)).u32(0x1C, row.mask);
    if (row.tooltip || row.handler) image.pointer(0x24);
    return image;
}

void expect_gauge(const void* header, const GaugeRow& gauge) {
    const std::string what = std::string(gauge.name) + " ";
    Image image(352);
    image.u32(0x000, 0x320).pointer(0x004).pointer(0x00C).u32(0x054, gauge.sizeMm).pointer(0x084).pointer(0x08C);
    for (size_t routine = 0; routine < 7; ++routine) image.pointer(0x014 + 8 * routine);
    image.expect_matches(header, what + "header");
    EXPECT_STREQ(static_cast<const char*>(pointer_at(header, 0x004)), gauge.name);

    const void* element = pointer_at(pointer_at(header, 0x00C), 0);
    for (size_t i = 0; i < gauge.elements.size(); ++i) {
        const std::string label = what + "element " + std::to_string(i);
        ASSERT_NE(element, nullptr) << label;
        bool last = i + 1 == gauge.elements.size();
        element_image(gauge.elements[i], last).expect_matches(element, label);
        EXPECT_EQ(pointer_at(element, 0x20), header) << label;
        if (last) break;
        const void* next = pointer_at(element, 0x30);
        EXPECT_EQ(pointer_at(next, 8), nullptr) << label << ": one follower only";
        element = pointer_at(next, 0);
    }

    const char* areas = static_cast<const char*>(pointer_at(header, 0x084));
    for (size_t i = 0; i < gauge.areas.size(); ++i) {
        const char* area = areas + 52 * i;
        area_image(gauge.areas[i]).expect_matches(area, what + "mouse area " + std::to_string(i + 1));
        if (gauge.areas[i].tooltip) {
            EXPECT_STREQ(static_cast<const char*>(pointer_at(area, 0x24)), gauge.areas[i].tooltip);
        }
    }
}

// A host that has loaded the module and not yet called init.
class Records : public ModuleTest {};

TEST_F(Records, LinkageListsVornThenDisplay) {
    const void* linkage = &module->linkage();
    Image(56).u32(0, 0x13).pointer(4).pointer(12).u32(28, 0x900).pointer(32).pointer(40).expect_matches(linkage,
                                                                                                         "Linkage");
    EXPECT_STREQ(static_cast<const char*>(pointer_at(pointer_at(linkage, 32), 4)), "vorn");
    EXPECT_STREQ(static_cast<const char*>(pointer_at(pointer_at(linkage, 40), 4)), "display");
}

TEST_F(Records, GaugesAreDeclaredAsTabledAndZeroElsewhere) {
    const void* linkage = &module->linkage();
    for (size_t g = 0; g < 2; ++g) expect_gauge(pointer_at(linkage, 32 + 8 * g), kGauges[g]);
    // Both headers name the same seven routines; each has its own callback.
    const char* vorn = static_cast<const char*>(pointer_at(linkage, 32));
    const char* display = static_cast<const char*>(pointer_at(linkage, 40));
    EXPECT_EQ(std::memcmp(vorn + 0x14, display + 0x14, 56), 0);
    EXPECT_NE(pointer_at(vorn, 0x8C), pointer_at(display, 0x8C));
}

TEST_F(Records, BitmapsAreTheDeclaredImages) {
    struct Row {
        uint32_t id;
        int32_t width, height;
        uint16_t bits;
        size_t size, pixelsAt;
    };
    for (const Row& row : {Row{256, 10, 10, 8, 1184, 40 + 1024}, Row{512, 300, 75, 24, 67540, 40}}) {
        const std::string label = "bitmap " + std::to_string(row.id);
        std::string dib = module->bitmap(row.id);
        ASSERT_EQ(dib.size(), row.size) << label;
        EXPECT_EQ(read_at<uint32_t>(dib.data(), 0), 40u) << label;
        EXPECT_EQ(read_at<int32_t>(dib.data(), 4), row.width) << label;
        EXPECT_EQ(read_at<int32_t>(dib.data(), 8), row.height) << label;
        EXPECT_EQ(read_at<uint16_t>(dib.data(), 12), 1) << label;
        EXPECT_EQ(read_at<uint16_t>(dib.data(), 14), row.bits) << label;
        EXPECT_EQ(read_at<uint32_t>(dib.data(), 16), 0u) << label;
        EXPECT_EQ(read_at<int32_t>(dib.data(), 24), 7874) << label;
        EXPECT_EQ(read_at<int32_t>(dib.data(), 28), 7874) << label;

        // Rows bottom first, each filled out to 4 bytes: all index 0 in the
        // vorn image; RGB 2, 2, 2 in the panel but for the white marks.
        std::vector<uint8_t> pixels(row.size - row.pixelsAt, row.bits == 8 ? 0 : 2);
        size_t stride = pixels.size() / size_t(row.height);
        for (int top : {0, 1, 2, 3, 4, 71, 72, 73, 74})
            if (row.bits == 24) std::memset(&pixels[size_t(74 - top) * stride + 149 * 3], 0xFF, 3);
        expect_bytes(dib.data() + row.pixelsAt, pixels, label + " pixels");
        if (row.bits == 8) {
            EXPECT_EQ(read_at<uint32_t>(dib.data(), 40), 0u) << "colour 0 is black";
        }
    }
}

std::string address(const void* p) {
    std::ostringstream text;
    text << p;
    return text.str();
}

std::string position_text(double lat, double lon, double alt) {
    char text[1024];
    std::snprintf(text, sizeof text, "Lat: %5.2f; Lon: %3.4f\xB0; Alt: %3.4f\xB0", lat, lon, alt);
    return text;
}

std::string elevation_text(double elevation, double lat, double lon) {
    char text[1024];
    std::snprintf(text, sizeof text, "Elevtion = %5.2f; Lat:%2.5f; Lon:%2.5f", elevation, lat, lon);
    return text;
}

// A locale whose decimal separator is a comma, if this system has one.
bool set_comma_locale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE", "German_Germany.1252", "de-DE"}) {
        if (!std::setlocale(LC_NUMERIC, name)) continue;
        char text[8];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        if (std::string(text) == "1,5") return true;
    }
    std::setlocale(LC_NUMERIC, "C");
    return false;
}

// An initialised module with the display gauge installed; the vorn gauge
// joins when a test starts it.
class Gauges : public ModuleTest {
protected:
    void SetUp() override {
        module->init();
        display.emplace(*module, "display");
        display->install();
    }
    void TearDown() override {
        std::setlocale(LC_NUMERIC, "C");
        if (vorn) vorn->unload();
        display->unload();
        vorn.reset();
        display.reset();
        shut_down_cleanly();
    }

    // The vorn gauge with that parameter string after one frame: the table
    // is built and the worker runs (idle, as "WZ_Active" is 0).
    void start_vorn(const char* points) {
        vorn.emplace(*module, "vorn", std::string(points));
        vorn->install();
        vorn->frame();
    }
    // A later initialise with another parameter string, after the table exists.
    void reinitialise_vorn(const char* points) {
        vorn->header().parameters = points;
        vorn->send(kPreInitialise);
    }

    std::vector<std::string> texts() {
        std::vector<std::string> shown;
        for (const hostsim::TextView& view : display->update_texts()) shown.push_back(view.text);
        return shown;
    }
    std::string id() { return texts()[0]; }
    bool next() { return display->click(200, 10); }
    bool previous() { return display->click(10, 10); }

    // The point variables the texts read on this thread since the log was
    // cleared all belong to points below count.
    void expect_reads_below(int count) {
        for (const hostsim::Call& call : host.calls()) {
            if (call.thread != std::this_thread::get_id() || (call.op != "get" && call.op != "get_typed")) continue;
            size_t digits = call.name.rfind('_');
            ASSERT_EQ(call.name.rfind("WZPoint", 0), 0u) << "read of id without a point variable: " << call.name;
            EXPECT_LT(std::stoi(call.name.substr(digits + 1)), count) << call.name;
        }
    }

    struct PointRow {
        double lat, lon, alt, elevation;  // degrees, degrees, feet, feet
    };
    // Three points with known positions; each point's three texts as
    // printf shows its values, formatted in the "C" locale.
    std::vector<std::vector<std::string>> known_points() {
        const PointRow points[] = {
            {47.25, 8.5, 1500.75, 1234.5}, {5, -122.375, -10.125, 0}, {-33.868, 151.2093, 0.5, -20.25}};
        start_vorn("3");
        std::vector<std::vector<std::string>> expected;
        for (int k = 0; k < 3; ++k) {
            const std::string n = std::to_string(k);
            host.set_value_in("WZPointLat_" + n, points[k].lat, "degrees");
            host.set_value_in("WZPointLon_" + n, points[k].lon, "degrees");
            host.set_value_in("WZPointAlt_" + n, points[k].alt, "feet");
            host.set_value("WZPointElevation_" + n, points[k].elevation);
            expected.push_back({"ID=" + n,
                                position_text(host.value_in("WZPointLat_" + n, "degrees"),
                                              host.value_in("WZPointLon_" + n, "degrees"),
                                              host.value_in("WZPointAlt_" + n, "feet")),
                                elevation_text(host.value("WZPointElevation_" + n),
                                               host.value_in("WZPointLat_" + n, "radians"),
                                               host.value_in("WZPointLon_" + n, "radians"))});
        }
        return expected;
    }
    // Steps through the points and compares each point's texts. The
    // elevation text reads the elevation untyped, as the worker's feet.
    void expect_texts(const std::vector<std::vector<std::string>>& expected) {
        for (size_t k = 0; k < expected.size(); ++k) {
            host.clear_calls();
            EXPECT_EQ(texts(), expected[k]);
            bool untypedElevation = false;
            for (const hostsim::Call& call : host.calls())
                untypedElevation |= call.op == "get" && call.name == "WZPointElevation_" + std::to_string(k);
            EXPECT_TRUE(untypedElevation) << "point " << k;
            next();
        }
    }

    std::optional<hostsim::Gauge> vorn, display;
};

TEST_F(Gauges, ClicksStepOnlyInTheDisplaysClickableAreas) {
    start_vorn("3");
    struct Row {
        bool onVorn;
        int32_t x, y;
        bool steps;
        const char* tooltip;
        const char* id;
    };
    const Row rows[] = {
        {false, 10, 10, true, "Previous", "ID=2"},   {false, 200, 10, true, "Next", "ID=0"},
        {false, 10, 60, false, "Previous", "ID=0"},  {false, 200, 60, false, "Next", "ID=0"},
        {false, 149, 48, true, "Previous", "ID=2"},  {false, 150, 48, true, "Next", "ID=0"},
        {false, 10, 49, false, "Previous", "ID=0"},  {false, 0, 10, false, "", "ID=0"},
        {true, 0, 0, false, "", "ID=0"},             {true, 5, 5, false, "", "ID=0"},
        {true, 9, 9, false, "", "ID=0"},             {true, 200, 10, false, "", "ID=0"},
    };
    for (const Row& row : rows) {
        hostsim::Gauge& gauge = row.onVorn ? *vorn : *display;
        const std::string at = std::string(row.onVorn ? "vorn " : "display ") + std::to_string(row.x) + "," +
                               std::to_string(row.y);
        EXPECT_EQ(gauge.tooltip_at(row.x, row.y), row.tooltip) << at;
        EXPECT_EQ(gauge.click(row.x, row.y), row.steps) << at;
        EXPECT_EQ(id(), row.id) << at;
    }
}

TEST_F(Gauges, CallbacksReturnTheirFixedValues) {
    for (bool table : {false, true}) {
        if (table) start_vorn("2");
        texts();  // the host allocates the buffers at the first update
        for (ElementBase* element : display->elements())
            if (element->kind == kElementText) {
                auto* text = reinterpret_cast<TextElement*>(element);
                EXPECT_EQ(text->update(text), 0.0);
            }
        PixelPoint point{3, 4};
        for (const MouseArea* area = display->header().mouseAreas; area->kind != kMouseEnd; ++area)
            if (area->kind == kMouseChild) {
                EXPECT_EQ(area->target.handler(&point, kMouseLeftPressed), 0);
            }
    }
}

// Next (N) and Previous (P) from point 0 with the vorn gauge's parameter
// string, and optionally a later initialise with another one; the texts
// read only points of the table at every step.
struct StepRow {
    const char* points;
    const char* later;
    const char* clicks;
    const char* selected;
};

void PrintTo(const StepRow& row, std::ostream* out) {
    *out << "points " << row.points << (row.later ? std::string(" then ") + row.later : "") << ", clicks "
         << row.clicks;
}

class Stepping : public Gauges, public ::testing::WithParamInterface<StepRow> {};

TEST_P(Stepping, WrapsWithinThePointsOfTheTable) {
    const StepRow& row = GetParam();
    start_vorn(row.points);
    if (row.later) reinitialise_vorn(row.later);
    for (size_t i = 0; row.clicks[i]; ++i) {
        EXPECT_TRUE(row.clicks[i] == 'N' ? next() : previous());
        host.clear_calls();
        EXPECT_EQ(id(), std::string("ID=") + row.selected[i]) << "click " << i;
        expect_reads_below(std::atoi(row.points));
    }
}

INSTANTIATE_TEST_SUITE_P(Gauges, Stepping,
                         ::testing::Values(StepRow{"3", nullptr, "NNNP", "1202"}, StepRow{"1", nullptr, "NP", "00"},
                                           StepRow{"3", "5", "NNNPP", "12021"}, StepRow{"3", "2", "NNNP", "1010"},
                                           StepRow{"1", "4", "NNP", "000"}));

TEST_F(Gauges, PreviousBeforeAnyPointCountLeavesTheSelectionAtZero) {
    EXPECT_TRUE(previous());
    EXPECT_EQ(id(), "ID=0");
    EXPECT_TRUE(next());
    EXPECT_TRUE(previous());
    start_vorn("3");
    host.clear_calls();
    EXPECT_EQ(id(), "ID=0");
    expect_reads_below(1);
}

TEST_F(Gauges, TextsBeforeThePointTableExistsAreTheZeroTexts) {
    const std::vector<std::string> zero = {"ID=0", "Lat: 0.000000; Lon: 0.000000; Alt: 0.000000",
                                           "Elevtion = 0.000000"};
    display->frame();
    EXPECT_EQ(texts(), zero);
    // Initialised with a point count, but no update yet: still no table.
    vorn.emplace(*module, "vorn", std::string("3"));
    vorn->install();
    EXPECT_EQ(texts(), zero);
}

TEST_F(Gauges, TextsShowTheSelectedPointAsPrintfDoes) { expect_texts(known_points()); }

TEST_F(Gauges, TextsKeepAFullStopUnderACommaLocale) {
    auto expected = known_points();
    if (!set_comma_locale()) GTEST_SKIP() << "no locale with a decimal comma on this system";
    expect_texts(expected);
}

TEST_F(Gauges, TextsTooLongForTheirElementAreCutAndTerminated) {
    start_vorn("1");
    struct Row {
        const char* variable;
        const char* units;
        double value;
    };
    const Row rows[] = {{"WZPointLat_0", "degrees", 1e300},  {"WZPointLon_0", "degrees", -1e300},
                        {"WZPointAlt_0", "feet", 1e300},     {"WZPointElevation_0", "feet", -1e300},
                        {"WZPointLat_0", "radians", 1e300}};
    for (const Row& row : rows) {
        host.set_value_in(row.variable, row.value, row.units);
        const std::string full[] = {
            "ID=0",
            position_text(host.value_in("WZPointLat_0", "degrees"), host.value_in("WZPointLon_0", "degrees"),
                          host.value_in("WZPointAlt_0", "feet")),
            elevation_text(host.value("WZPointElevation_0"), host.value_in("WZPointLat_0", "radians"),
                           host.value_in("WZPointLon_0", "radians"))};
        std::vector<hostsim::TextView> views = display->update_texts();
        ASSERT_EQ(views.size(), 3u);
        for (size_t t = 0; t < 3; ++t) {
            const TextElement& element = *views[t].element;
            const uint32_t max = element.maxLength;
            EXPECT_LT(strnlen(element.text, max + 1), max) << row.variable << ", text " << t;
            EXPECT_EQ(element.text[max], 0) << row.variable << ": the guard byte beyond the buffer";
            EXPECT_EQ(std::string(element.text), full[t].substr(0, max - 1)) << row.variable << ", text " << t;
        }
        host.set_value(row.variable, 0.0);
    }
}

TEST_F(Gauges, RoutinesPassTheVornRootThroughToTheHost) {
    struct Row {
        const char* service;
        uint32_t entry;
        uint64_t (*call)(GaugeHeader&);
        double passed;
    };
    static const Row rows[] = {
        {"element_list_query", 22, [](GaugeHeader& h) { return h.query(); }, 0},
        {"element_list_install", 23, [](GaugeHeader& h) { return h.install(0x123456789ABCull); }, 0x123456789ABC},
        {"element_list_initialise", 24, [](GaugeHeader& h) { return h.initialise(); }, 0},
        {"element_list_update", 25, [](GaugeHeader& h) { return h.update(); }, 0},
        {"element_list_generate", 26, [](GaugeHeader& h) { return h.generate(0xFFFFFFF0u); }, 4294967280.0},
        {"element_list_plot", 27, [](GaugeHeader& h) { return h.draw(); }, 0},
        {"element_list_kill", 29, [](GaugeHeader& h) { return h.kill(); }, 0},
    };
    GaugeHeader& vornHeader = *module->linkage().gauges[0];
    const std::string root = address(*vornHeader.elementList);
    for (GaugeHeader* header : {module->linkage().gauges[0], module->linkage().gauges[1]})
        for (const Row& row : rows) {
            host.clear_calls();
            EXPECT_EQ(row.call(*header), 0x7000u + row.entry) << header->name << " " << row.service;
            std::vector<hostsim::Call> calls = host.calls();
            ASSERT_EQ(calls.size(), 1u) << header->name << " " << row.service;
            EXPECT_EQ(calls[0].op, row.service);
            EXPECT_EQ(calls[0].name, root) << header->name << " " << row.service;
            EXPECT_EQ(calls[0].value, row.passed) << header->name << " " << row.service;
        }

    // The root is read through the vorn header at every call, and the
    // variable the header points at is the host's to write: a host that
    // moves the root there must neither fault nor be ignored.
    ElementBase* const other = reinterpret_cast<ElementBase*>(&vornHeader);
    ElementBase* const declared = *vornHeader.elementList;
    *vornHeader.elementList = other;
    host.clear_calls();
    module->linkage().gauges[1]->draw();
    *vornHeader.elementList = declared;
    ASSERT_EQ(host.calls().size(), 1u);
    EXPECT_EQ(host.calls()[0].name, address(other));
}

}  // namespace
