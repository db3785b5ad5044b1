// Ids of the host's interfaces, services and events, and the services the
// module holds for its lifetime, in field order.
#pragma once

#include "host/pdk.h"

namespace ids {

using P3D::Guid;

constexpr uint32_t hex_digit(char c) {
    return c <= '9' ? uint32_t(c - '0') : c <= 'F' ? uint32_t(c - 'A' + 10) : uint32_t(c - 'a' + 10);
}
constexpr uint32_t hex_field(const char* s, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = v << 4 | hex_digit(s[i]);
    return v;
}
// Reads an id in registry form, "{8-4-4-4-12}", so the ids below stay
// exactly as the host documents them.
constexpr Guid guid(const char (&s)[39]) {
    Guid g{hex_field(s + 1, 8), uint16_t(hex_field(s + 10, 4)), uint16_t(hex_field(s + 15, 4)), {}};
    const int at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) g.data4[i] = uint8_t(hex_field(s + at[i], 2));
    return g;
}

constexpr Guid kPdkRootPreferred = guid("{8874D8EB-0E1A-4989-9D46-65A60D0BFE7B}");
constexpr Guid kPdkRootFallback = guid("{4B31D75B-44CA-4AAA-97F4-30ACD23F14E7}");

constexpr Guid kSurfaceService = guid("{099B8B54-583A-4CF6-9769-74B11CE94CD7}");
constexpr Guid kSurfaceInterface = guid("{87FFF968-3362-43C1-898D-1375CEA57DBC}");
constexpr Guid kEventService = guid("{5B3BAC47-D372-4A51-A666-D0BC839484C7}");
constexpr Guid kMessageEvent = guid("{5DAFFF1B-8E70-47E9-872B-9F717B1128BB}");

constexpr Guid kCallbackV400 = guid("{AEF008CE-84D1-4A54-B136-04DCB4FAFD22}");
constexpr Guid kIUnknown = guid("{00000000-0000-0000-C000-000000000046}");

// Message values carried as argument 0 of the message event.
constexpr uint64_t kMessagePaused = 56;
constexpr uint64_t kMessageResumed = 57;

struct ServiceIds {
    Guid service;
    Guid iid;
};

constexpr int kServiceCount = 18;

// Fields 1 to 18 of the service set; field 1 is the event service.
constexpr ServiceIds kServices[kServiceCount] = {
    {kEventService, kEventService},
    {guid("{5E7300C9-8EC3-4E43-A56E-13B0B0F40CC0}"),
     guid("{132DFE3D-EA31-4976-88E2-E45644717621}")},
    {guid("{3F6215C0-65E6-4D91-9767-0BA77038529A}"),
     guid("{AD3115AF-8136-48A9-BDD1-DCEEADA35D8D}")},
    {guid("{03DE3B80-F2AF-11E1-AFF1-0800200C9A66}"),
     guid("{0F97F3D0-0B68-487B-9576-D6C851BAFC7F}")},
    {guid("{8A8F6E96-C7E7-4041-AC75-4506737C6FE6}"),
     guid("{0740820A-C0CC-4BCF-9876-BE937ED8EE23}")},
    {guid("{7EB08A5D-4997-48BE-9278-7E22AD810494}"),
     guid("{064718AE-C2B7-4C1A-9904-9BE7218DCF09}")},
    {guid("{C32762E6-B6C5-4E05-BAD7-0D54DA537139}"),
     guid("{553C3E40-8ADF-484C-B996-3CEBEECE4244}")},
    {guid("{1E341CCE-E302-40C7-A458-75B88AB58F1A}"),
     guid("{4CCFC194-D146-4D3F-BFD6-C0D4C317675E}")},
    {guid("{6FC0E4E9-50F9-4716-A491-A0B59120A067}"),
     guid("{34354443-98CB-4CD3-BE2C-544780A3D5ED}")},
    {guid("{215BE739-7BE0-48C6-8877-6B226008F692}"),
     guid("{215BE739-7BE0-48C6-8877-6B226008F692}")},
    {guid("{68254E0A-260E-48ED-8868-CEEF63D862C7}"),
     guid("{391A07E6-8F44-42B9-80E3-C8D63D8B8CC9}")},
    {guid("{A9EA0FED-1CEB-44A7-ACD4-184917284DDB}"),
     guid("{FAD342C0-47CA-4725-9E67-E5D019608CAB}")},
    {guid("{7D7A6F58-5A30-4FA4-8CB7-DB7EC4E06DB7}"),
     guid("{5310E926-8B20-46F2-B82D-03279770DF91}")},
    {guid("{7DB88F0F-13F8-4EE0-A1F8-239A29236BAF}"),
     guid("{DA7F0157-45B8-423A-B1FC-8C01D748B163}")},
    {guid("{31195859-206A-43B9-A97C-0E42E0DE9502}"),
     guid("{964A5908-3991-4DD8-A172-B3DA78EEBC5D}")},
    {guid("{837698AE-6CB7-4EAD-9D34-001705DC8EF4}"),
     guid("{1C500B49-35EA-49EB-AA90-FA904FD254B9}")},
    {guid("{9C729660-2E7D-4DD2-8FC6-33FD3EA9A264}"),
     guid("{9C729660-2E7D-4DD2-8FC6-33FD3EA9A264}")},
    {guid("{A3E7F1F1-2127-4544-A1FE-6054E41B9228}"),
     guid("{A3E7F1F1-2127-4544-A1FE-6054E41B9228}")},
};

// Fields queried in this order (zero-based): 1, 2, 3, 6, 7, 8, 9, 5, 4, 10 to 18.
constexpr int kServiceQueryOrder[kServiceCount] = {0, 1, 2, 5, 6, 7, 8, 4, 3, 9, 10, 11, 12, 13, 14, 15, 16, 17};

}  // namespace ids
