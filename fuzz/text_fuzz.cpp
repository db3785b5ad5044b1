// Fuzz target: the display's texts for arbitrary doubles.
//  - TextWriter alone: for every finite double, width and precision it must
//    write what snprintf's %*.*f writes, cut to the buffer's capacity and
//    always zero-terminated, never past the buffer (ASan watches the bound).
//  - Through the loaded module: values written into the selected point's
//    variables, huge, tiny, infinite or NaN, must come out of the three
//    text callbacks as snprintf formats them, cut to each element's
//    maximum length with the terminating zero inside it.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "gauges/text_format.h"

namespace {

using tp_fuzz::check;

constexpr int kPoints = 4;

// snprintf's text for the same format, cut where a buffer of capacity
// bytes must cut it.
template <typename... Args>
std::string printf_cut(size_t capacity, const char* format, Args... args) {
    int length = std::snprintf(nullptr, 0, format, args...);
    std::string full(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&full[0], full.size(), format, args...);
    full.resize(static_cast<size_t>(length));
    return capacity == 0 ? std::string() : full.substr(0, capacity - 1);
}

void check_writer(FuzzedDataProvider& input) {
    size_t capacity = input.ConsumeIntegralInRange<size_t>(0, 400);
    int width = input.ConsumeIntegralInRange<int>(0, 64);
    int precision = input.ConsumeIntegralInRange<int>(0, TextWriter::kMaxPrecision);
    double value = tp_fuzz::any_double(input);
    // Exactly capacity bytes, so ASan sees a write one past the end.
    std::unique_ptr<char[]> buffer(new char[capacity]);
    TextWriter(capacity ? buffer.get() : nullptr, capacity).text("v=").fixed(value, width, precision);
    if (capacity == 0) return;
    std::string written(buffer.get(), strnlen(buffer.get(), capacity));
    check(written.size() < capacity, "TextWriter left no terminating zero");
    std::string expected = printf_cut(capacity, "v=%*.*f", width, precision, value);
    if (written != expected) {
        std::fprintf(stderr, "%%*.*f of %a, width %d, precision %d, capacity %zu:\n  TextWriter \"%s\"\n  snprintf   \"%s\"\n",
                     value, width, precision, capacity, written.c_str(), expected.c_str());
        tp_fuzz::fail("TextWriter differs from snprintf");
    }
}

// The module with four points, sampling off, and the display installed.
struct Display {
    Display() : loaded(host), vorn(loaded.module, "vorn", std::to_string(kPoints)), display(loaded.module, "display") {
        host.set_value("WZ_Active", 0.0);
        vorn.install();
        vorn.frame();
        display.install();
    }
    // The worker must be gone before the process tears down the module.
    ~Display() {
        vorn.unload();
        loaded.module.deinit();
    }
    std::string point_var(const char* prefix, int point) const { return prefix + std::to_string(point); }

    hostsim::Host host;
    tp_fuzz::LoadedModule loaded;
    hostsim::Gauge vorn;
    hostsim::Gauge display;
};

Display* g_display = nullptr;

void close_display() { delete g_display; }

Display& display() {
    if (!g_display) {
        g_display = new Display;
        std::atexit(close_display);
    }
    return *g_display;
}

int selection_shown(const std::vector<hostsim::TextView>& texts) { return std::atoi(texts[0].text.c_str() + 3); }

void check_module_texts(FuzzedDataProvider& input) {
    Display& d = display();
    int selected = selection_shown(d.display.update_texts());
    for (int clicks = input.ConsumeIntegralInRange<int>(0, 6); clicks > 0; --clicks) {
        bool next = input.ConsumeBool();
        check(d.display.click(next ? 200 : 10, 10), "a click in a clickable half ran no handler");
        selected = next ? (selected + 1) % kPoints : (selected + kPoints - 1) % kPoints;
    }
    const std::string lat = d.point_var("WZPointLat_", selected), lon = d.point_var("WZPointLon_", selected);
    const std::string alt = d.point_var("WZPointAlt_", selected), elevation = d.point_var("WZPointElevation_", selected);
    const char* angleUnits = input.ConsumeBool() ? "degrees" : "radians";
    d.host.set_value_in(lat, tp_fuzz::any_double(input), angleUnits);
    d.host.set_value_in(lon, tp_fuzz::any_double(input), angleUnits);
    d.host.set_value_in(alt, tp_fuzz::any_double(input), "feet");
    d.host.set_value(elevation, tp_fuzz::any_double(input));

    std::vector<hostsim::TextView> texts = d.display.update_texts();
    check(texts.size() == 3, "the display has not three texts");
    for (const hostsim::TextView& text : texts)
        check(text.text.size() < text.element->maxLength, "a text fills its element without a terminating zero");
    check(texts[0].text == printf_cut(texts[0].element->maxLength, "ID=%d", selected), "index text");
    check(texts[1].text == printf_cut(texts[1].element->maxLength, "Lat: %5.2f; Lon: %3.4f\xB0; Alt: %3.4f\xB0",
                                      d.host.value_in(lat, "degrees"), d.host.value_in(lon, "degrees"),
                                      d.host.value_in(alt, "feet")),
          "position text");
    check(texts[2].text == printf_cut(texts[2].element->maxLength, "Elevtion = %5.2f; Lat:%2.5f; Lon:%2.5f",
                                      d.host.value(elevation), d.host.value_in(lat, "radians"),
                                      d.host.value_in(lon, "radians")),
          "elevation text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        check_writer(input);
    else
        check_module_texts(input);
    return 0;
}
