#pragma once
// One small owner per kind of OS handle, so that logic code never frees a
// handle by hand and no early return or error leaks one.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace kadrix::win {

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.h_, Traits::Invalid()));
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    void Reset(T h = Traits::Invalid()) {
        if (h_ != Traits::Invalid()) Traits::Close(h_);
        h_ = h;
    }
    T Release() { return std::exchange(h_, Traits::Invalid()); }
    T Get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }

private:
    T h_ = Traits::Invalid();
};

struct KernelTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
template <typename G>
struct GdiTraits {
    static G Invalid() { return nullptr; }
    static void Close(G h) { DeleteObject(h); }
};
struct MemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static void Close(HMENU h) { DestroyMenu(h); }
};
struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};

struct FindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};

using Handle = UniqueHandle<HANDLE, KernelTraits>;
using FindHandle = UniqueHandle<HANDLE, FindTraits>;
using FileHandle = UniqueHandle<HANDLE, FileTraits>;
using Bitmap = UniqueHandle<HBITMAP, GdiTraits<HBITMAP>>;
using Brush = UniqueHandle<HBRUSH, GdiTraits<HBRUSH>>;
using Pen = UniqueHandle<HPEN, GdiTraits<HPEN>>;
using Font = UniqueHandle<HFONT, GdiTraits<HFONT>>;
using Region = UniqueHandle<HRGN, GdiTraits<HRGN>>;
using MemoryDc = UniqueHandle<HDC, MemoryDcTraits>;
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
using Menu = UniqueHandle<HMENU, MenuTraits>;
using Icon = UniqueHandle<HICON, IconTraits>;
using ImageList = UniqueHandle<HIMAGELIST, ImageListTraits>;

// A DC from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() { if (dc_) ReleaseDC(hwnd_, dc_); }
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects a GDI object into a DC for a scope and selects the old one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;
    ~SelectObjectScope() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// An apartment-threaded COM for the thread, as the shell's folder browser and
// open calls require; released when the scope ends.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() { if (initialised_) CoUninitialize(); }

private:
    bool initialised_;
};

}  // namespace kadrix::win
