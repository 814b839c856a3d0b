#pragma once

// What the POSIX and Windows halves of the platform layer share; nothing outside it includes this.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/Result.h"

namespace brenzo::platform::detail {

// "cannot VERB NAME: REASON", marked as a file-system failure.
Error failure(const char* verb, const std::filesystem::path& path, const std::string& reason);

// The reason of the system call that failed last on this thread, in words.
std::string lastError();

// Ten random letters and digits for a fresh temporary or scratch name.
inline constexpr std::size_t kSuffixLength = 10;
std::string randomSuffix();

// "NAME was changed by another program since it was opened; open it again".
Error changedSinceOpened(const std::filesystem::path& path);
// The refusal to save over a file with several hard links.
Error hardLinked(const std::filesystem::path& path, std::uint64_t links);

// A save of `target` writes "." + its name + ".brenzo-" + randomSuffix() beside it.
std::string temporaryPrefix(const std::filesystem::path& target);
bool isTemporaryName(const std::string& name, const std::string& prefix);

// How long a save waits for another save (or another program's lock) on its target.
inline constexpr auto kLockWait = std::chrono::seconds(10);
inline constexpr auto kLockPoll = std::chrono::milliseconds(20);

// Pages straight from the system for a large image (throws std::bad_alloc), and their return.
void* mapPages(std::size_t bytes);
void unmapPages(void* memory, std::size_t bytes) noexcept;

}  // namespace brenzo::platform::detail
