#pragma once

// What the POSIX and Windows halves of the platform layer share; nothing outside it includes this.
#include <cstddef>
#include <filesystem>
#include <string>

#include "common/Result.h"

namespace brenzo::platform::detail {

// "cannot VERB NAME: REASON", marked as a file-system failure.
Error failure(const char* verb, const std::filesystem::path& path, const std::string& reason);

// The reason of the system call that failed last on this thread, in words.
std::string lastError();

// Ten random letters and digits for a fresh temporary or scratch name.
std::string randomSuffix();

// Pages straight from the system for a large image (throws std::bad_alloc), and their return.
void* mapPages(std::size_t bytes);
void unmapPages(void* memory, std::size_t bytes) noexcept;

}  // namespace brenzo::platform::detail
