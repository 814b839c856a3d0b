#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "common/Result.h"
#include "platform/Files.h"

namespace brenzo::exporting {

// Where an export writes its bytes, in pieces.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Status Write(std::span<const std::uint8_t> bytes) = 0;

    // Room for the next `count` 16-bit samples, which the caller fills and hands on with
    // WriteSamples: an export decodes into it. A sink that keeps buffers of its own
    // (BackgroundSink) lends one, so that the samples are made where they are written from
    // instead of being copied there. It is handed on before anything else is written.
    virtual std::span<std::int16_t> SampleRoom(std::size_t count);
    // Writes the first `count` samples of the room, little-endian.
    virtual Status WriteSamples(std::size_t count);

private:
    std::vector<std::int16_t> room_;
};

// A file written beside its target and renamed over it by Commit: the target is touched only
// when the file is complete.
class FileSink : public ByteSink {
public:
    static Result<std::unique_ptr<FileSink>> Create(const std::filesystem::path& target);
    Status Write(std::span<const std::uint8_t> bytes) override { return file_->Write(bytes); }
    Status Commit() { return file_->Commit(); }

private:
    explicit FileSink(std::unique_ptr<platform::AtomicFile> file) : file_(std::move(file)) {}
    std::unique_ptr<platform::AtomicFile> file_;
};

class MemorySink : public ByteSink {
public:
    Status Write(std::span<const std::uint8_t> bytes) override {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return {};
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Counts what would be written; for checks that must not fill a disk.
class CountingSink : public ByteSink {
public:
    Status Write(std::span<const std::uint8_t> bytes) override {
        count_ += bytes.size();
        return {};
    }
    std::uint64_t count() const { return count_; }

private:
    std::uint64_t count_ = 0;
};

}  // namespace brenzo::exporting
