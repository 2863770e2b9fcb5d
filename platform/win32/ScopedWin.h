// Owners for the Win32 handles the window keeps or borrows: each gives its handle back exactly once, when it
// goes out of scope, so that no path (a failure half-way through creating the window included) leaks one.
#pragma once

#include <windows.h>

// A GDI object (bitmap, brush, font, pen), deleted with DeleteObject. Stock objects must not be put in one.
template <typename T>
class ScopedGdiObject {
public:
    ScopedGdiObject() = default;
    explicit ScopedGdiObject(T handle) : handle_(handle) {}
    ~ScopedGdiObject() { Reset(); }
    ScopedGdiObject(const ScopedGdiObject&) = delete;
    ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;

    void Reset(T handle = nullptr) {
        if (handle_ != nullptr) DeleteObject(handle_);
        handle_ = handle;
    }
    T Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    T handle_ = nullptr;
};

using ScopedBitmap = ScopedGdiObject<HBITMAP>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;
using ScopedFont = ScopedGdiObject<HFONT>;
using ScopedPen = ScopedGdiObject<HPEN>;

// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
class ScopedMemoryDC {
public:
    ScopedMemoryDC() = default;
    explicit ScopedMemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~ScopedMemoryDC() { Reset(); }
    ScopedMemoryDC(const ScopedMemoryDC&) = delete;
    ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;

    void Reset(HDC dc = nullptr) {
        if (dc_ != nullptr) DeleteDC(dc_);
        dc_ = dc;
    }
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_ = nullptr;
};

// A window's device context from GetDC (null: the screen's), given back with ReleaseDC.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context; the context's previous object goes back in at the end, so that
// the context can be deleted and the object freed without either still holding the other.
class ScopedSelection {
public:
    ScopedSelection() = default;
    ScopedSelection(HDC dc, HGDIOBJ object) { Select(dc, object); }
    ~ScopedSelection() { Restore(); }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

    // False when the object could not be selected.
    bool Select(HDC dc, HGDIOBJ object) {
        Restore();
        HGDIOBJ previous = (dc != nullptr && object != nullptr) ? SelectObject(dc, object) : nullptr;
        if (previous == nullptr || previous == HGDI_ERROR) return false;
        dc_ = dc;
        previous_ = previous;
        return true;
    }
    void Restore() {
        if (dc_ != nullptr) SelectObject(dc_, previous_);
        dc_ = nullptr;
        previous_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// An icon from LoadImage (not shared), destroyed with DestroyIcon.
class ScopedIcon {
public:
    ScopedIcon() = default;
    ~ScopedIcon() { Reset(); }
    ScopedIcon(const ScopedIcon&) = delete;
    ScopedIcon& operator=(const ScopedIcon&) = delete;

    void Reset(HICON icon = nullptr) {
        if (icon_ != nullptr) DestroyIcon(icon_);
        icon_ = icon;
    }
    HICON Get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};
