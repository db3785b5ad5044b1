// probe-host --version. The module's version is read from the file as a
// user's tools would: Windows' version API on the DLL's version resource,
// the ELF section headers natively. Nothing is loaded or run.
#include "version_report.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <elf.h>
#endif

#include "hostsim/module.h"
#include "hostsim/module_file_check.h"
#include "tp_version.h"

namespace probe {
namespace {

#if defined(_WIN32)
// The FileVersion string of the first language the resource lists.
std::optional<std::string> read_version(const std::string& path) {
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &unused);
    if (size == 0) return std::nullopt;
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return std::nullopt;
    struct Translation {
        WORD language, codePage;
    };
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &length) || length < sizeof(Translation))
        return std::nullopt;
    const auto* translation = static_cast<const Translation*>(value);
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\FileVersion", translation->language,
                  translation->codePage);
    if (!VerQueryValueA(info.data(), key, &value, &length) || length == 0) return std::nullopt;
    return std::string(static_cast<const char*>(value));
}
#else
template <typename T>
bool read_at(const std::vector<char>& file, uint64_t offset, T& out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, file.data() + offset, sizeof(T));
    return true;
}

// The text of the ".tp_version" section of a 64-bit ELF file. Every
// offset is checked against the file, which may be anything the user named.
std::optional<std::string> read_version(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf64_Ehdr header;
    if (!read_at(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr))
        return std::nullopt;
    Elf64_Shdr names;
    if (!read_at(file, header.e_shoff + uint64_t{header.e_shstrndx} * sizeof(Elf64_Shdr), names))
        return std::nullopt;
    for (uint16_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!read_at(file, header.e_shoff + uint64_t{i} * sizeof(Elf64_Shdr), section)) return std::nullopt;
        static constexpr char kName[] = ".tp_version";
        uint64_t name = names.sh_offset + section.sh_name;
        if (name > file.size() || file.size() - name < sizeof kName ||
            std::memcmp(file.data() + name, kName, sizeof kName) != 0)
            continue;
        if (section.sh_offset > file.size() || file.size() - section.sh_offset < section.sh_size) return std::nullopt;
        const char* text = file.data() + section.sh_offset;
        return std::string(text, strnlen(text, section.sh_size));
    }
    return std::nullopt;
}
#endif

}  // namespace

std::optional<std::string> module_version(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    return read_version(path);
}

void print_version(std::FILE* out, const std::string& moduleOption) {
    std::string modulePath = moduleOption.empty() ? hostsim::default_module_path() : moduleOption;
    std::fprintf(out, "probe-host %s\n", TP_VERSION_TEXT);
    std::error_code error;
    std::string state;
    if (!std::filesystem::is_regular_file(modulePath, error)) state = "no such file";
    else if (std::string reason = hostsim::incomplete_module_reason(modulePath); !reason.empty())
        state = "not a complete module: " + reason;
    else if (std::optional<std::string> version = module_version(modulePath)) state = "version " + *version;
    else state = "no version information";
    std::fprintf(out, "module: %s (%s)\n", modulePath.c_str(), state.c_str());
}

}  // namespace probe
