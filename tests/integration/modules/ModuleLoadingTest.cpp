// Modules that cannot be used are refused with a reason, and the program itself links none of
// the libraries the modules carry.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/linux/modules/LoadedModules.h"
#include "platform/linux/modules/PlugInModule.h"
#include "platform/linux/recorder/PulseFileRecorder.h"
#include "ports/AudioFormat.h"
#include "runtime/VirtualLoop.h"
#include "support/TempDir.h"

namespace veska::platform {
namespace {

namespace fs = std::filesystem;

struct RefusedModule {
    const char* what;
    std::function<void(const fs::path& file)> put;  // puts (or not) the file at the module's path
    const char* reason;                             // a part of the error
};

TEST(PlugInModule, UnusableModulesAreRefusedWithTheReasonAndTheirPath) {
    const std::vector<RefusedModule> rows = {
        {"missing", [](const fs::path&) {}, "is missing"},
        {"not a shared object",
         [](const fs::path& file) { std::ofstream(file) << "#!/bin/sh\necho not a module\n"; },
         "cannot be loaded"},
        {"no version", [](const fs::path& file) { fs::copy_file(VESKA_UNVERSIONED_MODULE, file); },
         "is not a Veska module"},
        {"older interface", [](const fs::path& file) { fs::copy_file(VESKA_OLD_MODULE, file); },
         "was built for version 0 of its interface; this Veska needs version 1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testing::TempDir dir;
        const fs::path file = dir.path() / "veska-webengine.so";
        row.put(file);
        try {
            (void)loadWebEngineParts(dir.path().string(), (dir.path() / "profile").string());
            ADD_FAILURE() << "loaded";
        } catch (const ModuleError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(row.reason), std::string::npos) << message;
            EXPECT_NE(message.find(file.string()), std::string::npos) << message;
        }
    }
}

TEST(PlugInModule, AModuleWithoutTheEntryPointAskedForIsRefused) {
    testing::TempDir dir;
    fs::copy_file(VESKA_NO_ENTRY_MODULE, dir.path() / "veska-webengine.so");
    try {
        (void)loadWebEngineParts(dir.path().string(), (dir.path() / "profile").string());
        ADD_FAILURE() << "loaded";
    } catch (const ModuleError& error) {
        EXPECT_NE(std::string(error.what()).find("has no entry point veska_webengine_parts"), std::string::npos)
            << error.what();
    }
}

TEST(PlugInModule, ARecordingWithoutItsModuleFailsAndLeavesNoFile) {
    for (const bool stale : {false, true}) {
        SCOPED_TRACE(stale ? "stale module" : "no module");
        testing::TempDir dir;
        if (stale) fs::copy_file(VESKA_OLD_MODULE, dir.path() / "veska-aac.so");
        rt::VirtualLoop loop;
        PulseFileRecorder recorder(moduleAacWriters(dir.path().string()), "unix:" + (dir.path() / "none").string());
        ports::RecorderSettings settings;
        settings.path = (dir.path() / "take.m4a").string();
        try {
            (void)loop.run(recorder.start(settings));
            ADD_FAILURE() << "recording started";
        } catch (const ports::AudioError& error) {
            EXPECT_EQ(error.kind(), ports::AudioErrorKind::failed);
        }
        EXPECT_FALSE(fs::exists(settings.path));
    }
}

#ifdef VESKA_PROGRAM

/// The DT_NEEDED entries of an ELF64 file, read from its dynamic section.
std::vector<std::string> neededLibraries(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const auto readAt = [&in](std::uint64_t offset, void* into, std::size_t size) {
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(static_cast<char*>(into), static_cast<std::streamsize>(size));
        return static_cast<bool>(in);
    };
    Elf64_Ehdr header{};
    if (!readAt(0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        throw std::runtime_error(path + " is not an ELF64 file");
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (!readAt(header.e_shoff + i * header.e_shentsize, &sections[i], sizeof(Elf64_Shdr)))
            throw std::runtime_error("truncated section table");
    }
    std::vector<std::string> needed;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNAMIC || section.sh_link >= sections.size()) continue;
        const Elf64_Shdr& strings = sections[section.sh_link];
        std::vector<char> names(strings.sh_size + 1, '\0');
        std::vector<Elf64_Dyn> entries(section.sh_size / sizeof(Elf64_Dyn));
        if (!readAt(strings.sh_offset, names.data(), strings.sh_size) ||
            !readAt(section.sh_offset, entries.data(), entries.size() * sizeof(Elf64_Dyn)))
            throw std::runtime_error("truncated dynamic section");
        for (const Elf64_Dyn& entry : entries) {
            if (entry.d_tag == DT_NEEDED && entry.d_un.d_val < strings.sh_size)
                needed.emplace_back(names.data() + entry.d_un.d_val);
        }
    }
    return needed;
}

TEST(VeskaProgram, LinksNeitherTheWebEngineNorFFmpeg) {
    const std::vector<std::string> needed = neededLibraries(VESKA_PROGRAM);
    ASSERT_NE(std::find(needed.begin(), needed.end(), "libQt6Widgets.so.6"), needed.end())
        << "the dynamic section was not read";
    for (const std::string& library : needed) {
        for (const char* prefix : {"libQt6WebEngine", "libQt6Quick", "libQt6Qml", "libav"}) {
            EXPECT_FALSE(library.starts_with(prefix)) << library;
        }
    }
    for (const char* module : {"veska-webengine.so", "veska-aac.so"}) {
        EXPECT_TRUE(fs::exists(fs::path(VESKA_PROGRAM).parent_path().parent_path() / "PlugIns" / module)) << module;
    }
}

#endif

}  // namespace
}  // namespace veska::platform
