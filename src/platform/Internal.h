#pragma once

// What the POSIX and Windows halves of the platform layer share; nothing outside it includes this.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "common/Result.h"
#include "platform/Files.h"

namespace brenzo::platform::detail {

// "cannot VERB NAME: REASON", marked as a file-system failure.
Error failure(const char* verb, const std::filesystem::path& path, const std::string& reason);

// A folder named in a message: whole, so that "." or a relative name says where it is.
std::string wholePath(const std::filesystem::path& folder);

// The reason of the system call that failed last on this thread, in words.
std::string lastError();

// Ten random letters and digits for a fresh temporary or scratch name.
inline constexpr std::size_t kSuffixLength = 10;
std::string randomSuffix();

// "NAME was changed by another program since it was opened; open it again".
Error changedSinceOpened(const std::filesystem::path& path);
// The refusal to save over a file with several hard links.
Error hardLinked(const std::filesystem::path& path, std::uint64_t links);
// How many of a file's `links` names a save would leave holding the old contents: its own
// backup ("NAME.bak" beside `container`, which may be a hard link to it) is meant to keep them,
// so it is not counted. `file` is the identity of the file that `container` names.
std::uint64_t linksBesidesBackup(const std::filesystem::path& container, const FileIdentity& file, std::uint64_t links);

// A save of `target` writes "." + its name + ".brenzo-" + randomSuffix() beside it.
std::string temporaryPrefix(const std::filesystem::path& target);
bool isTemporaryName(const std::string& name, const std::string& prefix);
// The folder a file lies in ("." for a bare name).
std::filesystem::path folderOf(const std::filesystem::path& file);
// A fresh temporary name beside `target`.
std::filesystem::path temporaryBeside(const std::filesystem::path& target);
// Calls `visit` with every file beside `target` that has the name of one of its temporary files.
void forEachTemporaryOf(const std::filesystem::path& target,
                        const std::function<void(const std::filesystem::path&)>& visit);
// "cannot write into FOLDER: REASON", a folder that takes no new file.
Error cannotWriteInto(const std::filesystem::path& folder, const std::string& reason);
// The file a save of `requested` (which exists) replaces: where a link leads. Each system
// resolves it its own way.
std::filesystem::path followedLink(const std::filesystem::path& requested);

// How long a save waits for another save (or another program's lock) on its target.
inline constexpr auto kLockWait = std::chrono::seconds(10);
inline constexpr auto kLockPoll = std::chrono::milliseconds(20);

// Pages straight from the system for a large image (throws std::bad_alloc), and their return.
void* mapPages(std::size_t bytes);
void unmapPages(void* memory, std::size_t bytes) noexcept;

// A whole file read as a private mapping (POSIX): mapNextImage makes the next image allocation
// of exactly `size` bytes on this thread map the open file `fd` instead of taking fresh pages.
// takeMappedImage is that allocation (null when nothing is pending or the mapping fails: the
// caller then takes fresh pages and reads); releaseMappedImage unmaps one such image and says
// whether it was one.
void mapNextImage(int fd, std::size_t size);
void* takeMappedImage(std::size_t bytes);
bool releaseMappedImage(void* memory, std::size_t bytes) noexcept;
bool isMappedImage(const void* memory);

}  // namespace brenzo::platform::detail
