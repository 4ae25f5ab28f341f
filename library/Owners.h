// RAII owners of the automation values the library hands around: a BSTR and
// a VARIANT, each freed when its owner goes. COM pointers are owned by
// ComPtr (ComObject.h).
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

namespace fillahead::library {

class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR owned) noexcept : value_(owned) {}
    ~UniqueBstr() { SysFreeString(value_); }
    UniqueBstr(UniqueBstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }

    BSTR get() const noexcept { return value_; }
    // For [out] BSTR* parameters: frees the current value first.
    BSTR* put() noexcept {
        SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }
    BSTR release() noexcept { return std::exchange(value_, nullptr); }

private:
    BSTR value_ = nullptr;
};

class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    ~UniqueVariant() { VariantClear(&value_); }
    UniqueVariant(UniqueVariant&& other) noexcept : UniqueVariant() {
        std::swap(value_, other.value_);
    }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    // Empties the value first, for [out] VARIANT* parameters.
    VARIANT* put() noexcept {
        VariantClear(&value_);
        return &value_;
    }
    // Moves the value out into *target, which the caller has initialised.
    void releaseTo(VARIANT* target) noexcept {
        *target = value_;
        VariantInit(&value_);
    }

private:
    VARIANT value_;
};

} // namespace fillahead::library
