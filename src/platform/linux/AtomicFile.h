// Whole-file reads, atomic replacement and set-aside of files Veska owns on disk.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace veska::platform::AtomicFile {

enum class ReadStatus { ok, missing, tooLarge, failed };

struct ReadResult {
    ReadStatus status = ReadStatus::failed;
    std::string bytes;  ///< the contents when `ok`
};

/// Reads a regular file of at most `maxBytes`. `missing` when it does not exist; `failed` when
/// it is not a regular file or cannot be read.
[[nodiscard]] ReadResult read(const std::filesystem::path& path, std::size_t maxBytes);

/// Replaces `path` with `bytes` so that readers see the old or the new contents, never a mix:
/// a temporary file in the same directory, written and flushed to disk, then renamed over.
/// The new file has `mode`. False (and no temporary left behind) when any step fails.
[[nodiscard]] bool write(const std::filesystem::path& path, std::string_view bytes, mode_t mode);

/// Moves `path` to the first free name "<path>.<suffix>-<n>" (n from 1 to `maxTries`), never
/// replacing an existing file. The new path, or nothing when no name was free or the move failed.
[[nodiscard]] std::optional<std::filesystem::path> moveAside(const std::filesystem::path& path,
                                                             std::string_view suffix, int maxTries = 1000);

/// Creates `directory` and its missing parents; a directory created here gets `mode`.
/// True when the directory exists afterwards.
bool ensureDirectory(const std::filesystem::path& directory, mode_t mode);

}  // namespace veska::platform::AtomicFile
