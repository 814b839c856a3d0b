// The file operations that are the same on every system, over the halves in posix/ and windows/.
#include "platform/Files.h"

#include <chrono>
#include <random>
#include <system_error>

#include "platform/Internal.h"
#include "platform/Interrupts.h"
#include "platform/Path.h"

namespace brenzo::platform {

namespace detail {

Error failure(const char* verb, const fs::path& path, const std::string& reason) {
    return Error{std::string("cannot ") + verb + " " + FileNameUtf8(path) + ": " + reason, true};
}

Error changedSinceOpened(const fs::path& path) {
    return Error{FileNameUtf8(path) + " was changed by another program since it was opened; open it again", true};
}

Error hardLinked(const fs::path& path, std::uint64_t links) {
    // A save writes a new file and renames it over this name; the other names would keep the
    // old contents. Refused rather than written in place, where a failure halfway would lose
    // the file.
    return failure("save", path,
                   "it has " + std::to_string(links) +
                       " hard links, and a save would replace it under this name only; save a copy of "
                       "its own instead");
}

std::string wholePath(const fs::path& folder) {
    std::error_code ec;
    fs::path whole = fs::absolute(folder, ec);
    if (ec) return PathToUtf8(folder);
    whole = whole.lexically_normal();
    if (!whole.has_filename() && whole.has_relative_path()) whole = whole.parent_path();
    return PathToUtf8(whole);
}

std::string temporaryPrefix(const fs::path& target) { return "." + FileNameUtf8(target) + ".brenzo-"; }

bool isTemporaryName(const std::string& name, const std::string& prefix) {
    return name.size() == prefix.size() + kSuffixLength && name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789", prefix.size()) == std::string::npos;
}

fs::path folderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

fs::path temporaryBeside(const fs::path& target) {
    return folderOf(target) / PathFromUtf8(temporaryPrefix(target) + randomSuffix());
}

void forEachTemporaryOf(const fs::path& target, const std::function<void(const fs::path&)>& visit) {
    const std::string prefix = temporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(folderOf(target), ec), end; !ec && it != end; it.increment(ec))
        if (isTemporaryName(FileNameUtf8(it->path()), prefix)) visit(it->path());
}

Error cannotWriteInto(const fs::path& folder, const std::string& reason) {
    return Error{"cannot write into " + wholePath(folder) + ": " + reason, true};
}

std::string randomSuffix() {
    static std::mt19937_64 engine{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(kSuffixLength, 'x');
    for (char& c : s) c = kDigits[engine() % 36];
    return s;
}

}  // namespace detail

using detail::failure;

Result<std::unique_ptr<AtomicFile>> AtomicFile::Create(const fs::path& requested, Durability durability) {
    std::unique_ptr<AtomicFile> file(new AtomicFile);
    file->durability_ = durability;
    bool exists = false;
    if (Status s = file->chooseTarget(requested, exists); !s) return s.error();
    if (Status s = file->prepare(exists); !s) return s.error();
    if (durability == Durability::Flushed) RemoveStaleTemporaryFiles(file->target_);
    for (int attempt = 0; attempt < 20; ++attempt) {
        fs::path temp = detail::temporaryBeside(file->target_);
        const Result<bool> opened = file->openTemporary(temp);
        if (!opened) return opened.error();
        if (!*opened) continue;
        file->temp_ = std::move(temp);
        RemoveOnInterrupt(file->temp_);
        return file;
    }
    return failure("write", requested, "no temporary name is free");
}

Status AtomicFile::chooseTarget(const fs::path& requested, bool& exists) {
    requested_ = requested;
    target_ = requested;
    std::error_code ec;
    exists = fs::exists(requested, ec);
    if (!exists) return {};
    target_ = detail::followedLink(requested);
    // Only a regular file is replaced: a rename over a pipe or a device would swap the node
    // itself for a plain file.
    const auto type = fs::status(target_, ec).type();
    if (type == fs::file_type::directory) return failure("write", requested, "it is a folder");
    if (type != fs::file_type::regular && type != fs::file_type::not_found)
        return failure("write", requested, "it is not a regular file");
    return {};
}

Status AtomicFile::fail(Error error) {
    failed_ = true;
    failure_ = std::move(error.message);
    return failedBefore();
}

Status AtomicFile::fail(const char* verb, const std::string& reason) { return fail(failure(verb, target_, reason)); }

void AtomicFile::discardTemporary() {
    if (temp_.empty()) return;
    if (!committed_) {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
    ForgetOnInterrupt(temp_);
}

bool FileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

Status RemoveFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) return failure("remove", path, ec.message());
    return {};
}

Status WriteFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes, Durability durability) {
    auto file = AtomicFile::Create(target, durability);
    if (!file) return file.status();
    if (Status s = (*file)->Write(bytes); !s) return s;
    return (*file)->Commit();
}

Status CopyFileAtomically(const fs::path& from, const fs::path& to, Durability durability) {
    auto bytes = ReadWholeFile(from);
    if (!bytes) return bytes.status();
    return WriteFileAtomically(to, *bytes, durability);
}

Status LinkOrCopyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_hard_link(from, to, ec);
    if (!ec) return {};
    return CopyFileAtomically(from, to, Durability::Cached);
}

}  // namespace brenzo::platform
