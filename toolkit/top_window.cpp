// A loaded window: its creation from the layout, its properties (visible and position with their rules), its
// painting, dragging, focus, destroy requests and the picture-based shape.
#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/portable/picture.h"
#include "toolkit/portable/placement.h"
#include "toolkit/portable/region_runs.h"
#include "toolkit/text.h"

namespace tk::detail {
namespace {

constexpr wchar_t kWindowClass[] = L"ThornvaleWindow";

COLORREF ResolveColor(uint32_t color) {
    return color == kSystemButtonFace ? ::GetSysColor(COLOR_BTNFACE)
                                      : static_cast<COLORREF>(color & 0xFFFFFF);
}

std::unique_ptr<Control> MakeControl(TopWindow& owner, const ControlLayout& layout) {
    switch (layout.kind) {
        case Kind::Label:
            return MakeLabel(owner, layout);
        case Kind::PictureButton:
            return MakePictureButton(owner, layout);
        case Kind::ShapeBox:
            return MakeShapeBox(owner, layout);
        case Kind::WebBrowserBox:
            return MakeWebBrowserBox(owner, layout);
    }
    return nullptr;
}

// Region data holds at most this many rectangles per ExtCreateRegion call; batches are united.
constexpr size_t kRegionBatch = 2000;

unique_hrgn RegionFromRuns(const std::vector<RunRect>& runs) {
    unique_hrgn total(::CreateRectRgn(0, 0, 0, 0));
    std::vector<uint8_t> buffer;
    for (size_t start = 0; start < runs.size(); start += kRegionBatch) {
        size_t count = std::min(kRegionBatch, runs.size() - start);
        buffer.assign(sizeof(RGNDATAHEADER) + count * sizeof(RECT), 0);
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        data->rdh.dwSize = sizeof(RGNDATAHEADER);
        data->rdh.iType = RDH_RECTANGLES;
        data->rdh.nCount = static_cast<DWORD>(count);
        data->rdh.nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
        RECT bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        auto* rects = reinterpret_cast<RECT*>(data->Buffer);
        for (size_t i = 0; i < count; ++i) {
            const RunRect& r = runs[start + i];
            rects[i] = RECT{r.x0, r.y, r.x1, r.y + 1};
            bounds.left = std::min<LONG>(bounds.left, r.x0);
            bounds.top = std::min<LONG>(bounds.top, r.y);
            bounds.right = std::max<LONG>(bounds.right, r.x1);
            bounds.bottom = std::max<LONG>(bounds.bottom, r.y + 1);
        }
        data->rdh.rcBound = bounds;
        unique_hrgn batch(::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data));
        if (!batch) return {};
        ::CombineRgn(total.get(), total.get(), batch.get(), RGN_OR);
    }
    return total;
}

// On a display with fewer than 24 bits per pixel, the picture and the transparent colour are compared as the
// display shows them: colours that the display maps to the transparent one are transparent too.
void ToDisplayColours(Picture& picture, uint32_t& transparent) {
    unique_window_dc screen(nullptr);
    if (!screen.get() || ::GetDeviceCaps(screen.get(), BITSPIXEL) >= 24) return;
    unique_hbitmap source = CreatePictureBitmap(picture);
    unique_hbitmap device(::CreateCompatibleBitmap(screen.get(), picture.width, picture.height));
    unique_hdc mem(::CreateCompatibleDC(screen.get()));
    unique_hdc src(::CreateCompatibleDC(screen.get()));
    if (!source || !device || !mem || !src) return;
    {
        select_object keepSource(src.get(), source.get());
        select_object keepDevice(mem.get(), device.get());
        ::BitBlt(mem.get(), 0, 0, picture.width, picture.height, src.get(), 0, 0, SRCCOPY);
        // The transparent colour goes through the same conversion as the pixels.
        ::SetPixel(mem.get(), 0, 0, transparent & 0xFFFFFF);
        transparent = ::GetPixel(mem.get(), 0, 0) & 0xFFFFFF;
        ::BitBlt(mem.get(), 0, 0, 1, 1, src.get(), 0, 0, SRCCOPY);
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = picture.width;
    bi.bmiHeader.biHeight = -picture.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bgrx(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4);
    if (::GetDIBits(mem.get(), device.get(), 0, static_cast<UINT>(picture.height), bgrx.data(), &bi,
                    DIB_RGB_COLORS) != picture.height)
        return;
    for (size_t i = 0, n = bgrx.size() / 4; i < n; ++i) {
        picture.rgb[i * 3] = bgrx[i * 4 + 2];
        picture.rgb[i * 3 + 1] = bgrx[i * 4 + 1];
        picture.rgb[i * 3 + 2] = bgrx[i * 4];
    }
}

}  // namespace

unique_hbitmap CreatePictureBitmap(const Picture& picture) noexcept {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = picture.width;
    bi.bmiHeader.biHeight = -picture.height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hbitmap bitmap(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return {};
    auto* out = static_cast<uint8_t*>(bits);
    const uint8_t* in = picture.rgb.data();
    size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    for (size_t i = 0; i < pixels; ++i, in += 3, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 0;
    }
    return bitmap;
}

TopWindow::~TopWindow() {
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

bool TopWindow::Build(HWND parent) noexcept {
    static bool registered = false;
    if (!registered) {
        HINSTANCE inst = ::GetModuleHandleW(nullptr);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &TopWindow::WndProc;
        wc.hInstance = inst;
        // A window without an icon of its own shows the program icon: 32x32 large, 16x16 small.
        wc.hIcon = static_cast<HICON>(::LoadImageW(inst, L"DEFAULT_ICON", IMAGE_ICON, 32, 32, LR_SHARED));
        wc.hIconSm = static_cast<HICON>(::LoadImageW(inst, L"DEFAULT_ICON", IMAGE_ICON, 16, 16, LR_SHARED));
        wc.lpszClassName = kWindowClass;
        registered = ::RegisterClassExW(&wc) != 0;
        if (!registered) return false;
    }
    const WindowLayout& l = layout_;
    position_ = ClampPosition(l.position);
    title_ = l.title ? l.title : "";
    backColor_ = l.backColor;
    pictureMode_ = l.pictureMode;
    LoadPicture(ResourceBytes(l.picture));

    DWORD style = WS_CLIPCHILDREN;
    if (l.frameStyle == 0) {
        style |= WS_POPUP;
    } else {
        style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
        if (l.controlBox) style |= WS_SYSMENU;
        if (l.minimiseBox) style |= WS_MINIMIZEBOX;
        if (l.maximiseBox) style |= WS_MAXIMIZEBOX;
    }
    if (position_ == kPositionMinimised) style |= WS_MINIMIZE;
    if (position_ == kPositionMaximised && Resizable()) style |= WS_MAXIMIZE;
    DWORD exStyle = l.taskbarButton ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    if (l.alwaysOnTop) exStyle |= WS_EX_TOPMOST;

    int x = l.left, y = l.top;
    if (position_ == kPositionCentred) {
        // Centred once, on the full primary screen.
        SIZE screen = ScreenSize();
        x = CenteredOrigin(screen.cx, l.width);
        y = CenteredOrigin(screen.cy, l.height);
    }
    HWND hwnd = ::CreateWindowExW(exStyle, kWindowClass, Widen(title_).c_str(), style, x, y, l.width,
                                  l.height, parent, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!hwnd) return false;
    RECT r;
    ::GetWindowRect(hwnd_, &r);
    if (r.right - r.left != l.width || r.bottom - r.top != l.height) {
        // A window created maximised has the maximised size; it goes back to its layout place and size at
        // once and stays marked maximised.
        ::SetWindowPos(hwnd_, nullptr, x, y, l.width, l.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Controls are created from the last of the table to the first, each inside its parent; a control whose
    // parent comes earlier in the table has its parent created first.
    controls_.resize(l.controls.size());
    for (size_t n = l.controls.size(); n-- > 0;)
        if (!CreateControl(n, 0)) return false;
    // Then stacked in table order, the first on top, among the children of their own parent.
    for (size_t n = 0; n < controls_.size(); ++n) {
        HWND after = HWND_TOP;
        for (size_t m = n; m-- > 0;) {
            if (::GetParent(controls_[m]->hwnd()) == ::GetParent(controls_[n]->hwnd())) {
                after = controls_[m]->hwnd();
                break;
            }
        }
        ::SetWindowPos(controls_[n]->hwnd(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return true;
}

bool TopWindow::CreateControl(size_t index, int depth) noexcept {
    if (controls_[index]) return true;
    const ControlLayout& cl = layout_.controls[index];
    HWND parentWindow = hwnd_;
    if (cl.parent) {
        size_t p = 0;
        while (p < layout_.controls.size() && std::strcmp(layout_.controls[p].name, cl.parent) != 0) ++p;
        if (p == layout_.controls.size() || depth > static_cast<int>(layout_.controls.size())) return false;
        if (!CreateControl(p, depth + 1)) return false;
        parentWindow = controls_[p]->hwnd();
    }
    auto control = MakeControl(*this, cl);
    if (!control || !control->Create(parentWindow)) return false;
    controls_[index] = std::move(control);
    return true;
}

void TopWindow::ShowControls() noexcept {
    for (auto& c : controls_)
        if (c->layout().visible) ::ShowWindow(c->hwnd(), SW_SHOWNA);
}

Control* TopWindow::FindControl(const char* name) const noexcept {
    for (auto& c : controls_)
        if (c && std::strcmp(c->layout().name, name) == 0) return c.get();
    return nullptr;
}

Control* TopWindow::ControlOfWindow(HWND hwnd) const noexcept {
    for (auto& c : controls_)
        if (c && c->hwnd() == hwnd) return c.get();
    return nullptr;
}

void TopWindow::LoadPicture(std::span<const uint8_t> bytes) noexcept {
    pictureBytes_.assign(bytes.begin(), bytes.end());
    pictureBitmap_.reset();
    pictureSize_ = SIZE{};
    if (auto picture = DecodePicture(bytes)) {
        pictureBitmap_ = CreatePictureBitmap(*picture);
        pictureSize_ = SIZE{picture->width, picture->height};
    }
}

// ---- Visible and position
// -----------------------------------------------------------------------------------

void TopWindow::ShowForPosition() noexcept {
    SIZE screen = ScreenSize();
    switch (position_) {
        case kPositionMinimised:
            ::ShowWindow(hwnd_, SW_SHOWMINIMIZED);
            break;
        case kPositionMaximised:
            if (Resizable()) {
                if (::IsZoomed(hwnd_)) {
                    // Created maximised but sized to its layout: maximise it for real now.
                    ::SetWindowLongW(hwnd_, GWL_STYLE, ::GetWindowLongW(hwnd_, GWL_STYLE) & ~WS_MAXIMIZE);
                }
                ::ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
            } else {
                if (::IsIconic(hwnd_) || ::IsZoomed(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
                RECT r;
                ::GetWindowRect(hwnd_, &r);
                if (r.left != 0 || r.top != 0 || r.right != screen.cx || r.bottom != screen.cy)
                    ::SetWindowPos(hwnd_, nullptr, 0, 0, screen.cx, screen.cy, SWP_NOZORDER | SWP_NOACTIVATE);
                ::ShowWindow(hwnd_, SW_SHOW);
            }
            break;
        default:
            ::ShowWindow(hwnd_, SW_SHOW);
            break;
    }
}

void TopWindow::ApplyWrittenPosition() noexcept {
    SIZE screen = ScreenSize();
    switch (position_) {
        case kPositionNormal:
            ::ShowWindow(hwnd_, SW_SHOWNORMAL);
            break;
        case kPositionCentred: {
            if (::IsIconic(hwnd_) || ::IsZoomed(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
            RECT r;
            ::GetWindowRect(hwnd_, &r);
            int x = CenteredOrigin(screen.cx, r.right - r.left);
            int y = CenteredOrigin(screen.cy, r.bottom - r.top);
            if (x != r.left || y != r.top)
                ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        }
        case kPositionMinimised:
            ::ShowWindow(hwnd_, SW_MINIMIZE);
            break;
        case kPositionMaximised:
            ShowForPosition();
            break;
    }
}

void TopWindow::SetVisible(bool visible) noexcept {
    if (!visible) {
        ::ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    if (positionShowPending_) {
        // The first show after the load follows the stored position.
        positionShowPending_ = false;
        ShowForPosition();
    } else {
        ::ShowWindow(hwnd_, SW_SHOW);
    }
}

bool TopWindow::Get(int index, PropertyValue& out) noexcept {
    if (GetGeometry(PlaceOf(hwnd_), index, out)) return true;
    switch (index) {
        case kTag:
            out = tag_;
            return true;
        case kVisible:
            out = int32_t(::IsWindowVisible(hwnd_) ? 1 : 0);
            return true;
        case kDisabled:
            out = int32_t(::IsWindowEnabled(hwnd_) ? 0 : 1);
            return true;
        case kMousePointer:
            out = int32_t(layout_.mousePointer);
            return true;
        case kTitle:
            out = title_;
            return true;
        case kFrameStyle:
            out = int32_t(layout_.frameStyle);
            return true;
        case kBackColor:
            out = int32_t(backColor_);
            return true;
        case kBackPicture:
            out = pictureBytes_;
            return true;
        case kPictureMode:
            out = int32_t(pictureMode_);
            return true;
        case kPosition:
            out = int32_t(position_);
            return true;
        default:
            return false;
    }
}

bool TopWindow::Set(int index, const PropertyValue& value) noexcept {
    if (SetGeometry(hwnd_, index, value)) return true;
    const int32_t* i = std::get_if<int32_t>(&value);
    const std::string* s = std::get_if<std::string>(&value);
    switch (index) {
        case kTag:
            if (s) tag_ = *s;
            return true;
        case kVisible:
            if (i) SetVisible(*i != 0);
            return true;
        case kDisabled:
            if (i) ::EnableWindow(hwnd_, *i ? FALSE : TRUE);
            return true;
        case kTitle:
            if (s) {
                title_ = *s;
                ::SetWindowTextW(hwnd_, Widen(title_).c_str());
            }
            return true;
        case kBackColor:
            if (i) backColor_ = static_cast<uint32_t>(*i);
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            return true;
        case kBackPicture:
            if (auto* b = std::get_if<Bytes>(&value)) LoadPicture(*b);
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            return true;
        case kPictureMode:
            if (i) pictureMode_ = *i;
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            return true;
        case kPosition:
            // Always stored; it acts at once only while the window is visible.
            if (!i) return false;
            position_ = ClampPosition(*i);
            if (::IsWindowVisible(hwnd_)) ApplyWrittenPosition();
            return true;
        default:
            return false;
    }
}

// ---- Destroy requests and shape
// ------------------------------------------------------------------------------

void TopWindow::RequestDestroy(bool immediate) noexcept {
    destroyPending_ = true;
    if (immediate) {
        destroyPending_ = false;
        ::DestroyWindow(hwnd_);
    } else {
        ::PostMessageW(hwnd_, kDestroyRequestMessage, 0, 0);
    }
}

bool TopWindow::Shape(std::span<const uint8_t> bytes, uint32_t transparent) noexcept {
    auto picture = DecodePicture(bytes);
    if (!picture) return false;
    ToDisplayColours(*picture, transparent);
    unique_hrgn region = RegionFromRuns(ScanOpaqueRuns(*picture, transparent));
    if (!region) return false;
    // The window owns the region from now on.
    if (!::SetWindowRgn(hwnd_, region.get(), TRUE)) return false;
    (void)region.release();
    return true;
}

// ---- Messages
// -----------------------------------------------------------------------------------------------

LRESULT CALLBACK TopWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    TopWindow* self = BoundObject<TopWindow>(hwnd, msg, lp);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    return self->HandleMessage(msg, wp, lp);
}

bool TopWindow::RaiseWindowEvent(int number, std::optional<int32_t>* result) noexcept {
    Event e{layout_, nullptr, number};
    bool handled = RaiseEvent(e);
    if (result) *result = e.result;
    return handled;
}

void TopWindow::Paint() noexcept {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    if (pictureBitmap_ && pictureMode_ == 1) {
        // Tiled from the top-left corner; only copies that meet the painted area are drawn, and no background
        // colour is painted.
        unique_hdc src(::CreateCompatibleDC(dc));
        select_object keep(src.get(), pictureBitmap_.get());
        RECT rc;
        ::GetClientRect(hwnd_, &rc);
        for (LONG y = 0; y < rc.bottom; y += pictureSize_.cy) {
            for (LONG x = 0; x < rc.right; x += pictureSize_.cx) {
                RECT tile{x, y, x + pictureSize_.cx, y + pictureSize_.cy}, hit;
                if (::IntersectRect(&hit, &tile, &ps.rcPaint))
                    ::BitBlt(dc, x, y, pictureSize_.cx, pictureSize_.cy, src.get(), 0, 0, SRCCOPY);
            }
        }
    } else if (pictureBitmap_) {
        unique_hbrush back(::CreateSolidBrush(ResolveColor(backColor_)));
        ::FillRect(dc, &ps.rcPaint, back.get());
        unique_hdc src(::CreateCompatibleDC(dc));
        select_object keep(src.get(), pictureBitmap_.get());
        ::BitBlt(dc, 0, 0, pictureSize_.cx, pictureSize_.cy, src.get(), 0, 0, SRCCOPY);
    } else {
        unique_hbrush back(::CreateSolidBrush(ResolveColor(backColor_)));
        ::FillRect(dc, &ps.rcPaint, back.get());
    }
    ::EndPaint(hwnd_, &ps);
}

void TopWindow::FocusControl() noexcept {
    auto usable = [](Control* c) {
        return c && c->Alive() && ::IsWindowVisible(c->hwnd()) && ::IsWindowEnabled(c->hwnd());
    };
    if (!lastFocus_.empty()) {
        if (Control* c = FindControl(lastFocus_.c_str()); usable(c)) {
            c->TakeFocus();
            return;
        }
    }
    // The visible, enabled tab stop with the lowest tab order; the latest in the table wins a tie.
    Control* best = nullptr;
    for (auto& c : controls_) {
        if (!c->layout().tabStop || !usable(c.get())) continue;
        if (!best || c->layout().tabOrder <= best->layout().tabOrder) best = c.get();
    }
    if (best) best->TakeFocus();
}

LRESULT TopWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) == hwnd_ && LOWORD(lp) == HTCLIENT) {
                SetPointer(layout_.mousePointer);
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN:
            // The press starts the system's move, as a press on a title bar would.
            if (layout_.dragToMove && layout_.movable) {
                POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                ::ClientToScreen(hwnd_, &pt);
                ::PostMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                lastFocus_.clear();
                for (HWND h = ::GetFocus(); h && h != hwnd_; h = ::GetParent(h)) {
                    if (Control* c = ControlOfWindow(h)) {
                        lastFocus_ = c->layout().name;
                        break;
                    }
                }
            }
            break;
        case WM_SETFOCUS:
            FocusControl();
            return 0;
        case WM_MOVE:
            if (!EventsSuspended()) RaiseWindowEvent(event::kPositionChanged);
            break;
        case WM_SIZE:
            if (!EventsSuspended()) RaiseWindowEvent(event::kSizeChanged);
            break;
        case WM_CLOSE: {
            std::optional<int32_t> result;
            RaiseWindowEvent(event::kMayClose, &result);
            if (result && *result == 0) return 0;  // the handler refused
            ::DestroyWindow(hwnd_);
            return 0;
        }
        case kDestroyRequestMessage:
            if (destroyPending_) {
                destroyPending_ = false;
                ::DestroyWindow(hwnd_);
            }
            return 0;
        case WM_DESTROY:
            // Raised while the controls still exist.
            RaiseWindowEvent(event::kWillBeDestroyed);
            break;
        case WM_NCDESTROY: {
            LRESULT result = ::DefWindowProcW(hwnd_, msg, wp, lp);
            ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            Unregister(this);
            return result;
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace tk::detail
