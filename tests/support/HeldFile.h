#pragma once

#include <filesystem>
#include <string>

namespace brenzo::testing {

// A file held open for reading the way another program (a player, a virus scanner) holds it:
// others may read and write it, but on Windows not delete or rename over it.
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Everything from the start of the file that was opened (not of whatever has its name now).
    std::string ReadAll();
    void Close();

private:
#ifdef _WIN32
    void* handle_;
#else
    int fd_;
#endif
};

}  // namespace brenzo::testing
