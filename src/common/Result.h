#pragma once

#include <string>
#include <utility>
#include <variant>

namespace brenzo {

// A failure a person can act on: "cannot write bank.bin: read-only file system".
// `fileSystem` marks failures of reading or writing a file, as against refused input.
struct Error {
    std::string message;
    bool fileSystem = false;
};

// Success or an Error; never a bare bool.
class Status {
public:
    Status() = default;
    Status(Error error)  // NOLINT: implicit by design
        : error_(std::move(error.message)), failed_(true), fileSystem_(error.fileSystem) {}

    static Status ok() { return {}; }
    bool isOk() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const std::string& message() const { return error_; }
    bool isFileSystemError() const { return fileSystem_; }
    Error error() const { return Error{error_, fileSystem_}; }

private:
    std::string error_;
    bool failed_ = false;
    bool fileSystem_ = false;
};

template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}      // NOLINT: implicit by design
    Result(Error error) : v_(std::move(error)) {}  // NOLINT: implicit by design

    bool isOk() const { return std::holds_alternative<T>(v_); }
    explicit operator bool() const { return isOk(); }
    T& value() & { return std::get<T>(v_); }
    const T& value() const& { return std::get<T>(v_); }
    T&& value() && { return std::get<T>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const std::string& message() const { return std::get<Error>(v_).message; }
    bool isFileSystemError() const { return std::get<Error>(v_).fileSystem; }
    Error error() const { return std::get<Error>(v_); }
    Status status() const { return isOk() ? Status{} : Status{error()}; }

private:
    std::variant<T, Error> v_;
};

}  // namespace brenzo
