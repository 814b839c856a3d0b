#pragma once

// Media Foundation for the Windows engine: started once, on first use, and shut down in order
// by StopMediaFoundation (the program's end); COM pointers held by a small owner.

#include <windows.h>

#include <string>
#include <utility>

#include "common/Result.h"

namespace brenzo::engine::windows {

// Starts COM (multithreaded) and Media Foundation on the calling thread once per process.
Status StartMediaFoundation();
// Shuts Media Foundation down once every reader and transform is released.
void StopMediaFoundation();
bool MediaFoundationWasUsed();

// "0x80070002" and, when Windows has one, its text.
std::string DescribeHResult(HRESULT hr);

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** put() {
        reset();
        return &p_;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace brenzo::engine::windows
