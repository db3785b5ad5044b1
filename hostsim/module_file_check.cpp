// The ELF checks: the identification bytes (an ELF file, of this build's
// class, byte order and machine, a shared object), then every header table
// and every program and section header against the file's size. Offsets
// come from the file, which may be anything, so each sum is checked for
// overflow before it is compared.
#include "hostsim/module_file_check.h"

#include "hostsim/module.h"

#if !defined(_WIN32)
#include <elf.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
#endif

namespace hostsim {

#if defined(_WIN32)
std::string incomplete_module_reason(const std::string&) { return ""; }
#else
namespace {

#if defined(__x86_64__)
constexpr uint16_t kMachine = EM_X86_64;
constexpr const char* kMachineName = "x86-64";
#elif defined(__aarch64__)
constexpr uint16_t kMachine = EM_AARCH64;
constexpr const char* kMachineName = "AArch64";
#endif

using Header = Elf64_Ehdr;
using Segment = Elf64_Phdr;
using Section = Elf64_Shdr;

// Whether [offset, offset + length) lies within a file of that size.
bool within(uint64_t offset, uint64_t length, uint64_t size) { return offset <= size && size - offset >= length; }

std::string cut_short(const char* what, uint64_t offset, uint64_t length, uint64_t size) {
    uint64_t end = offset + length;
    return std::string("it is cut short: its ") + what + " runs " +
           (end < offset ? std::string("past any file's end") : "to byte " + std::to_string(end)) +
           ", past the file's end at byte " + std::to_string(size);
}

class ElfFile {
public:
    explicit ElfFile(const std::string& path) : in_(path, std::ios::binary) {
        std::error_code error;
        size_ = std::filesystem::file_size(path, error);
        if (error) size_ = 0;
    }

    uint64_t size() const { return size_; }

    // Reads [offset, offset + length) into out; false when those bytes are
    // not all in the file.
    bool read(uint64_t offset, uint64_t length, void* out) {
        if (offset > size_ || size_ - offset < length) return false;
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(static_cast<char*>(out), static_cast<std::streamsize>(length));
        return static_cast<uint64_t>(in_.gcount()) == length;
    }

    // A table of count entries at offset; "" when read, else what is wrong.
    template <typename T>
    std::string read_table(const char* what, uint64_t offset, uint64_t count, std::vector<T>& out) {
        if (count > UINT64_MAX / sizeof(T))
            return std::string("its ") + what + " names " + std::to_string(count) + " headers, more than any file holds";
        if (!within(offset, count * sizeof(T), size_)) return cut_short(what, offset, count * sizeof(T), size_);
        out.resize(count);
        if (count == 0 || read(offset, count * sizeof(T), out.data())) return "";
        return "it cannot be read";
    }

private:
    std::ifstream in_;
    uint64_t size_ = 0;
};

std::string identification_problem(const Header& h) {
    if (std::memcmp(h.e_ident, ELFMAG, SELFMAG) != 0) return "it is not an ELF file";
    if (h.e_ident[EI_CLASS] != ELFCLASS64) return "it is a 32-bit ELF file, not a 64-bit one";
    if (h.e_ident[EI_DATA] != ELFDATA2LSB) return "its bytes are big-endian, not this machine's order";
    if (h.e_ident[EI_VERSION] != EV_CURRENT) return "its ELF version is " + std::to_string(h.e_ident[EI_VERSION]);
    if (h.e_type != ET_DYN) return "it is an ELF file of type " + std::to_string(h.e_type) + ", not a shared object";
#if defined(__x86_64__) || defined(__aarch64__)
    if (h.e_machine != kMachine)
        return "it is built for ELF machine " + std::to_string(h.e_machine) + ", not " + kMachineName;
#endif
    if (h.e_ehsize != sizeof(Header)) return "its ELF header size is " + std::to_string(h.e_ehsize);
    if (h.e_phnum != 0 && h.e_phentsize != sizeof(Segment))
        return "its program headers are " + std::to_string(h.e_phentsize) + " bytes each, not " +
               std::to_string(sizeof(Segment));
    if (h.e_shnum != 0 && h.e_shentsize != sizeof(Section))
        return "its section headers are " + std::to_string(h.e_shentsize) + " bytes each, not " +
               std::to_string(sizeof(Section));
    return "";
}

std::string segments_problem(ElfFile& file, const Header& h, uint64_t count) {
    if (count == 0) return "it has no program headers: nothing to load";
    std::vector<Segment> segments;
    if (std::string problem = file.read_table("program header table", h.e_phoff, count, segments); !problem.empty())
        return problem;
    for (uint64_t i = 0; i < count; ++i) {
        const Segment& s = segments[i];
        std::string what = "segment " + std::to_string(i);
        if (!within(s.p_offset, s.p_filesz, file.size()))
            return cut_short(what.c_str(), s.p_offset, s.p_filesz, file.size());
        if (s.p_type == PT_LOAD && s.p_filesz > s.p_memsz)
            return what + " holds more bytes in the file than in memory";
    }
    return "";
}

std::string sections_problem(ElfFile& file, const Header& h, uint64_t count, uint32_t names) {
    std::vector<Section> sections;
    if (std::string problem = file.read_table("section header table", h.e_shoff, count, sections); !problem.empty())
        return problem;
    for (uint64_t i = 0; i < count; ++i) {
        const Section& s = sections[i];
        if (s.sh_type == SHT_NOBITS || s.sh_type == SHT_NULL) continue;
        std::string what = "section " + std::to_string(i);
        if (!within(s.sh_offset, s.sh_size, file.size()))
            return cut_short(what.c_str(), s.sh_offset, s.sh_size, file.size());
    }
    if (count != 0 && names != SHN_UNDEF && names >= count)
        return "its section names are in section " + std::to_string(names) + " of " + std::to_string(count);
    return "";
}

}  // namespace

std::string incomplete_module_reason(const std::string& path) {
    ElfFile file(path);
    Header h;
    if (!file.read(0, sizeof h, &h)) {
        if (file.size() >= SELFMAG && file.read(0, SELFMAG, &h) && std::memcmp(h.e_ident, ELFMAG, SELFMAG) == 0)
            return cut_short("ELF header", 0, sizeof h, file.size());
        return "it is not an ELF file";
    }
    if (std::string problem = identification_problem(h); !problem.empty()) return problem;
    // More headers than the fields hold: the counts are in section 0.
    uint64_t segments = h.e_phnum, sections = h.e_shnum;
    uint32_t names = h.e_shstrndx;
    if (h.e_shoff != 0 && (h.e_shnum == 0 || h.e_phnum == PN_XNUM || h.e_shstrndx == SHN_XINDEX)) {
        Section first;
        if (!file.read(h.e_shoff, sizeof first, &first))
            return cut_short("section header table", h.e_shoff, sizeof first, file.size());
        if (h.e_shnum == 0) sections = first.sh_size;
        if (h.e_phnum == PN_XNUM) segments = first.sh_info;
        if (h.e_shstrndx == SHN_XINDEX) names = first.sh_link;
    }
    if (std::string problem = segments_problem(file, h, segments); !problem.empty()) return problem;
    return sections_problem(file, h, sections, names);
}
#endif

void refuse_incomplete_module(const std::string& path) {
    if (std::string reason = incomplete_module_reason(path); !reason.empty())
        throw LoadError(path + " is not a complete module: " + reason);
}

}  // namespace hostsim
