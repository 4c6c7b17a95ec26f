// Move-only owners for OS handles and COM pointers. One template serves every handle kind: a traits type
// names the handle type, its invalid value and how to close it. put() releases the old value first, so it can
// be handed straight to an API that writes a new handle.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <utility>

namespace tk {

template <typename Traits>
class unique_any {
  public:
    using pointer = typename Traits::type;

    unique_any() noexcept = default;
    explicit unique_any(pointer value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    void reset(pointer value = Traits::invalid()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }
    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }
    // Releases the current value and returns the slot for an API to write a new one.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

  private:
    pointer value_ = Traits::invalid();
};

template <typename T, void (*Close)(T), T Invalid = T{}>
struct handle_traits {
    using type = T;
    static constexpr T invalid() noexcept { return Invalid; }
    static void close(T value) noexcept { Close(value); }
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void CloseFind(HANDLE h) {
    ::FindClose(h);
}
inline void DestroyWnd(HWND h) {
    ::DestroyWindow(h);
}
inline void DeleteGdiObject(HGDIOBJ h) {
    ::DeleteObject(h);
}
inline void DeleteRgn(HRGN h) {
    ::DeleteObject(h);
}
inline void DeleteBmp(HBITMAP h) {
    ::DeleteObject(h);
}
inline void DeleteBrush(HBRUSH h) {
    ::DeleteObject(h);
}
inline void DeleteDc(HDC h) {
    ::DeleteDC(h);
}
inline void DestroyIco(HICON h) {
    ::DestroyIcon(h);
}
inline void FreeLib(HMODULE h) {
    ::FreeLibrary(h);
}
inline void FreeBstr(BSTR s) {
    ::SysFreeString(s);
}
inline void KillThreadTimer(UINT_PTR id) {
    ::KillTimer(nullptr, id);
}
inline HANDLE InvalidHandleValue() {
    return INVALID_HANDLE_VALUE;
}
}  // namespace detail

using unique_handle = unique_any<handle_traits<HANDLE, detail::CloseKernelHandle>>;
using unique_hwnd = unique_any<handle_traits<HWND, detail::DestroyWnd>>;
using unique_hgdiobj = unique_any<handle_traits<HGDIOBJ, detail::DeleteGdiObject>>;
using unique_hrgn = unique_any<handle_traits<HRGN, detail::DeleteRgn>>;
using unique_hbitmap = unique_any<handle_traits<HBITMAP, detail::DeleteBmp>>;
using unique_hbrush = unique_any<handle_traits<HBRUSH, detail::DeleteBrush>>;
using unique_hdc = unique_any<handle_traits<HDC, detail::DeleteDc>>;
using unique_hicon = unique_any<handle_traits<HICON, detail::DestroyIco>>;
using unique_hmodule = unique_any<handle_traits<HMODULE, detail::FreeLib>>;
using unique_bstr = unique_any<handle_traits<BSTR, detail::FreeBstr>>;

// FindFirstFile's handle is invalid as INVALID_HANDLE_VALUE, not null.
struct find_traits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
using unique_hfind = unique_any<find_traits>;

// A device context from GetDC, released to its window.
class unique_window_dc {
  public:
    explicit unique_window_dc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    ~unique_window_dc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC for the lifetime of the guard.
class select_object {
  public:
    select_object(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    select_object(const select_object&) = delete;
    select_object& operator=(const select_object&) = delete;
    ~select_object() { ::SelectObject(dc_, old_); }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// COM interface pointer.
template <typename T>
class com_ptr {
  public:
    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    // Takes over a reference the caller already holds.
    static com_ptr attach(T* p) noexcept {
        com_ptr r;
        r.p_ = p;
        return r;
    }
    com_ptr(const com_ptr& o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    com_ptr(com_ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    com_ptr& operator=(com_ptr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~com_ptr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    template <typename U>
    com_ptr<U> query() const noexcept {
        com_ptr<U> r;
        if (p_) p_->QueryInterface(__uuidof(U), r.put_void());
        return r;
    }

  private:
    T* p_ = nullptr;
};

}  // namespace tk
