// Module loading for both builds: LoadLibraryA on Windows, dlopen natively.
#include "hostsim/module.h"

#include "hostsim/module_copies.h"
#include "hostsim/module_file_check.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace hostsim {
namespace {

#if defined(_WIN32)
constexpr const char* kModuleFile = "terrain_probe.dll";
void* open_library(const std::string& path, std::string& error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (!handle) error = "the system could not load it (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(handle);
}
void* find_symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void close_library(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
constexpr const char* kModuleFile = "terrain_probe.so";
void* open_library(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) error = dlerror();
    return handle;
}
void* find_symbol(void* handle, const char* name) { return dlsym(handle, name); }
void close_library(void* handle) { dlclose(handle); }
#endif

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Each load gets its own copy of the file, so no load ever shares the
// global state of another.
std::string private_copy(const std::string& path) {
    fs::path copy = private_copy_path(path);
    std::error_code error;
    // A signal (a profiler's or a fuzzer's timer) may cut the copy short:
    // it is simply made again.
    do {
        fs::copy_file(path, copy, fs::copy_options::overwrite_existing, error);
    } while (error == std::errc::interrupted);
    if (error) {
        std::error_code ignored;
        fs::remove(copy, ignored);  // what a failed copy left
        throw LoadError("cannot copy module " + path + ": " + error.message());
    }
    return copy.string();
}

}  // namespace

Module::Module(Host& host, const std::string& path, LoadMode mode) : host_(host), path_(path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) throw LoadError("no module file at " + path);
    refuse_incomplete_module(path);
    if (mode == LoadMode::PrivateCopy) copy_ = private_copy(path);
    std::string reason;
    handle_ = open_library(copy_.empty() ? path : copy_, reason);
    if (!handle_) {
        remove_copy();
        throw LoadError(path + " is not a loadable module: " + reason);
    }
    importTable_ = static_cast<ImportTableRecord*>(find_symbol(handle_, "ImportTable"));
    linkage_ = static_cast<LinkageRecord*>(find_symbol(handle_, "Linkage"));
    std::string problem;
    if (!importTable_ || !linkage_)
        problem = std::string("it exports no ") + (linkage_ ? "ImportTable" : "Linkage");
    else if (importTable_->entries[0].id != kPanelServicesImportId)
        problem = "its ImportTable starts with id " + hex(importTable_->entries[0].id) + ", not 0xF";
    else if (linkage_->id != kLinkageId)
        problem = "its Linkage id is " + hex(linkage_->id) + ", not 0x13";
    else if (linkage_->version != kLinkageVersion)
        problem = "its Linkage version is " + hex(linkage_->version) + ", not 0x900";
    if (!problem.empty()) {
        close_library(handle_);
        remove_copy();
        throw LoadError(path + " is not a gauge module: " + problem);
    }
}

Module::~Module() {
    close_library(handle_);
    remove_copy();
}

void Module::remove_copy() {
    std::error_code error;
    if (!copy_.empty()) fs::remove(copy_, error);
}

void Module::init() {
    importTable_->entries[0].table = const_cast<void**>(host_.panel_table());
    host_.open_session();
    if (linkage_->init) linkage_->init();
    initialised_ = true;
}

// The session closes as deinit returns: from then on the module's threads
// may only finish the call they are in and release what they hold.
void Module::deinit() {
    host_.enter_module();
    if (linkage_->deinit) linkage_->deinit();
    host_.close_session();
    initialised_ = false;
}

GaugeHeader* Module::gauge(const std::string& name) const {
    for (GaugeHeader* const* g = linkage_->gauges; *g; ++g)
        if ((*g)->name && name == (*g)->name) return *g;
    return nullptr;
}

std::string Module::bitmap(uint32_t resourceId) const {
#if defined(_WIN32)
    HMODULE module = static_cast<HMODULE>(handle_);
    HRSRC found = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_BITMAP), MAKEINTRESOURCEA(resourceId),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(module, found)) : std::string();
#else
    // The native build has no resource section: the bitmaps are read from
    // the files the resource script compiles into the DLL, installed beside
    // the program, or else in the source tree it was built from.
    const char* file = resourceId == 256 ? "vorn.bmp" : resourceId == 512 ? "display.bmp" : nullptr;
    if (!file) return {};
    std::error_code error;
    fs::path installed = fs::path(program_directory()) / file;
    std::ifstream in(fs::is_regular_file(installed, error) ? installed : fs::path(TP_RESOURCE_DIR) / file,
                     std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string content = bytes.str();
    constexpr size_t kFileHeader = 14;
    return content.size() > kFileHeader ? content.substr(kFileHeader) : std::string();
#endif
}

ModuleHold::ModuleHold(const Module& module) {
    std::string reason;
    handle_ = open_library(module.loaded_path(), reason);
    if (!handle_) throw LoadError(module.loaded_path() + " could not be loaded again: " + reason);
}

ModuleHold::~ModuleHold() { close_library(handle_); }

std::string program_directory() {
#if defined(_WIN32)
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(std::string(path, n)).parent_path().string();
#else
    return fs::read_symlink("/proc/self/exe").parent_path().string();
#endif
}

std::string default_module_path() {
    if (const char* chosen = std::getenv("TP_MODULE"); chosen && *chosen) return chosen;
    return (fs::path(program_directory()) / kModuleFile).string();
}

}  // namespace hostsim
