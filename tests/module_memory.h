// Reading a loaded module's own writable memory as a debugger would: what a
// module keeps in its globals is otherwise out of a test's sight, and a
// reload that gets the same instance back must find there what a fresh load
// would. The reads are plain byte reads, so the sanitizers' guards around a
// module's globals are skipped rather than reported.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <link.h>
#endif

#include "hostsim/module.h"

namespace tp_test {

using MemoryRange = std::pair<const unsigned char*, const unsigned char*>;

// The module's writable ranges: its data and zero-initialised sections.
inline std::vector<MemoryRange> writable_ranges(const hostsim::Module& module) {
    std::vector<MemoryRange> ranges;
#if defined(_WIN32)
    const auto* base = static_cast<const unsigned char*>(module.native_handle());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if (section->Characteristics & IMAGE_SCN_MEM_WRITE)
            ranges.emplace_back(base + section->VirtualAddress, base + section->VirtualAddress + section->Misc.VirtualSize);
#else
    struct Search {
        std::string path;
        std::vector<MemoryRange>* ranges;
    } search{module.loaded_path(), &ranges};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* raw) {
            auto* s = static_cast<Search*>(raw);
            if (!info->dlpi_name || s->path != info->dlpi_name) return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_W)) continue;
                const auto* start = reinterpret_cast<const unsigned char*>(info->dlpi_addr + segment.p_vaddr);
                s->ranges->emplace_back(start, start + segment.p_memsz);
            }
            return 1;
        },
        &search);
#endif
    return ranges;
}

#if defined(__GNUC__)
__attribute__((no_sanitize("address", "thread")))
#endif
inline bool
name_at(const unsigned char* at, const char* name) {
    for (size_t i = 0;; ++i) {
        if (at[i] != static_cast<unsigned char>(name[i])) return false;
        if (name[i] == '\0') return true;
    }
}

#if defined(__GNUC__)
__attribute__((no_sanitize("address", "thread")))
#endif
inline double
double_at(const unsigned char* at) {
    unsigned char bytes[sizeof(double)];
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = at[i];
    double value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// The value field of every record in the module's globals that holds a
// named variable of that name (a 32-bit id, the 260-byte name, the 64-bit
// value, packed to 4 bytes).
inline std::vector<double> record_values(const hostsim::Module& module, const char* name) {
    constexpr size_t kNameAt = 4, kValueAt = 264, kRecordBytes = 272;
    std::vector<double> values;
    for (const MemoryRange& range : writable_ranges(module))
        for (const unsigned char* at = range.first; at + kRecordBytes <= range.second; at += 4)
            if (name_at(at + kNameAt, name)) values.push_back(double_at(at + kValueAt));
    return values;
}

}  // namespace tp_test
