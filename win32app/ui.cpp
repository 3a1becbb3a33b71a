// SPDX-License-Identifier: MIT
#include "win32app/ui.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace ponpira::win32 {

namespace {

constexpr wchar_t className[] = L"PonpiraWindow";

HINSTANCE instance() {
    return GetModuleHandleW(nullptr);
}

std::vector<Window*>& openWindows() {
    static std::vector<Window*> windows;
    return windows;
}

int CALLBACK faceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool faceInstalled(const std::wstring& face) {
    if (face.empty() || face.size() >= LF_FACESIZE)
        return false;
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, face.size());
    bool found = false;
    const HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, faceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The system's font for message boxes and dialogs, at a DPI.
LOGFONTW messageFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                    static_cast<UINT>(dpi))) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, dpi, GetDpiForSystem());
    }
    return metrics.lfMessageFont;
}

void registerClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = instance();
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = className;
        // The icon from the resources, the 16-colour images at 16 and 32 pixels.
        windowClass.hIcon = static_cast<HICON>(
            LoadImageW(instance(), L"IDI_ICON1", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        windowClass.hIconSm = static_cast<HICON>(
            LoadImageW(instance(), L"IDI_ICON1", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

LRESULT CALLBACK enterButton(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    if (message == WM_GETDLGCODE && lParam) {
        // Keep Enter from the dialog keys, which would look for a default button instead.
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if (key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            return DefSubclassProc(button, message, wParam, lParam) | DLGC_WANTMESSAGE;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        if (IsWindowEnabled(button))
            SendMessageW(GetParent(button), WM_COMMAND,
                         MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\r')
        return 0;
    return DefSubclassProc(button, message, wParam, lParam);
}

} // namespace

int twipsToPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

std::wstring installedFace(const std::wstring& face) {
    static std::map<std::wstring, std::wstring> resolved;
    if (const auto known = resolved.find(face); known != resolved.end())
        return known->second;
    std::vector<std::wstring> candidates{face};
    if (face == L"ＭＳ Ｐゴシック" || face == L"MS PGothic")
        candidates.insert(candidates.end(), {L"MS PGothic", L"ＭＳ Ｐゴシック", L"Yu Gothic UI",
                                             L"Meiryo UI", L"IPAPGothic", L"IPAexGothic",
                                             L"Noto Sans CJK JP", L"VL PGothic", L"MS UI Gothic"});
    else if (face == L"Arial" || face == L"Arial Black")
        candidates.insert(candidates.end(), {L"Arial", L"Liberation Sans", L"DejaVu Sans"});
    const auto found = std::find_if(candidates.begin(), candidates.end(), faceInstalled);
    return resolved[face] = found != candidates.end() ? *found : face;
}

std::wstring wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string utf16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void pressOnEveryEnter(HWND button) {
    SetWindowSubclass(button, enterButton, 1, 0);
}

Window::~Window() {
    destroy();
}

const std::vector<Window*>& Window::all() {
    return openWindows();
}

void Window::create(const std::wstring& caption, DWORD style, DWORD exStyle,
                    std::optional<POINT> position, int clientWidth, int clientHeight, HMENU menu) {
    registerClass();
    style_ = style;
    exStyle_ = exStyle;
    position_ = position;
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    hwnd_ =
        CreateWindowExW(exStyle, className, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance(), nullptr);
    if (!hwnd_)
        return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::procedure));
    openWindows().push_back(this);
    if (position) {
        // A fixed place is the client area's corner, on the monitor found there.
        const POINT screen{twipsToPixels(position->x, USER_DEFAULT_SCREEN_DPI),
                           twipsToPixels(position->y, USER_DEFAULT_SCREEN_DPI)};
        SetWindowPos(hwnd_, nullptr, screen.x, screen.y, 0, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    }
    dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
    if (dpi_ <= 0)
        dpi_ = USER_DEFAULT_SCREEN_DPI;
    place();
}

void Window::place() {
    RECT frame{0, 0, twipsToPixels(clientWidth_, dpi_), twipsToPixels(clientHeight_, dpi_)};
    AdjustWindowRectExForDpi(&frame, style_, GetMenu(hwnd_) != nullptr, exStyle_,
                             static_cast<UINT>(dpi_));
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    int left = 0;
    int top = 0;
    if (position_) {
        left = MulDiv(position_->x, dpi_, 1440) + frame.left;
        top = MulDiv(position_->y, dpi_, 1440) + frame.top;
    } else {
        flags |= SWP_NOMOVE;
    }
    SetWindowPos(hwnd_, nullptr, left, top, frame.right - frame.left, frame.bottom - frame.top,
                 flags);
    for (const Control& control : controls_) {
        SetWindowPos(control.hwnd, nullptr, twipsToPixels(control.place.left, dpi_),
                     twipsToPixels(control.place.top, dpi_),
                     twipsToPixels(control.place.width, dpi_),
                     twipsToPixels(control.place.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(control.font)), TRUE);
    }
}

HWND Window::addControl(const wchar_t* controlClass, const std::wstring& text, DWORD style, int id,
                        TwipsRect place, const FontChoice& wanted, DWORD exStyle) {
    const HWND control =
        CreateWindowExW(exStyle, controlClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style,
                        twipsToPixels(place.left, dpi_), twipsToPixels(place.top, dpi_),
                        twipsToPixels(place.width, dpi_), twipsToPixels(place.height, dpi_), hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font(wanted)), FALSE);
    controls_.push_back({control, place, wanted});
    return control;
}

void Window::setFill(HWND control, COLORREF colour) {
    if (const auto old = fills_.find(control); old != fills_.end())
        DeleteObject(old->second);
    fills_[control] = CreateSolidBrush(colour);
    InvalidateRect(control, nullptr, TRUE);
}

void Window::setFont(HWND control, const FontChoice& wanted) {
    for (Control& entry : controls_)
        if (entry.hwnd == control) {
            entry.font = wanted;
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font(wanted)), TRUE);
        }
}

const FontChoice& Window::fontOf(HWND control) const {
    static const FontChoice none;
    for (const Control& entry : controls_)
        if (entry.hwnd == control)
            return entry.font;
    return none;
}

HFONT Window::font(const FontChoice& wanted) {
    const auto key = std::make_tuple(
        wanted.face, static_cast<int>(std::lround(wanted.points * 100)), wanted.weight, dpi_);
    if (const auto cached = fonts_.find(key); cached != fonts_.end())
        return cached->second;
    LOGFONTW logFont = messageFont(dpi_);
    logFont.lfItalic = FALSE;
    logFont.lfUnderline = FALSE;
    if (!wanted.face.empty()) {
        const std::wstring face = installedFace(wanted.face);
        std::fill(std::begin(logFont.lfFaceName), std::end(logFont.lfFaceName), L'\0');
        face.copy(logFont.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
        logFont.lfCharSet = static_cast<BYTE>(wanted.charset);
        logFont.lfWeight = wanted.weight;
        // A Latin stand-in for Arial Black is drawn as heavy as it goes.
        if (wanted.face == L"Arial Black" && face != wanted.face)
            logFont.lfWeight = FW_HEAVY;
    }
    if (wanted.points > 0)
        logFont.lfHeight = -static_cast<LONG>(std::lround(wanted.points * dpi_ / 72.0));
    logFont.lfQuality = CLEARTYPE_QUALITY;
    const HFONT made = CreateFontIndirectW(&logFont);
    fonts_[key] = made;
    return made;
}

void Window::dropFonts() {
    for (const auto& entry : fonts_)
        DeleteObject(entry.second);
    fonts_.clear();
}

void Window::show() {
    if (!hwnd_)
        return;
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
}

void Window::hide() {
    if (hwnd_)
        ShowWindow(hwnd_, SW_HIDE);
}

bool Window::visible() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

void Window::destroy() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

LRESULT CALLBACK Window::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->dispatch(message, wParam, lParam);
}

LRESULT Window::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DPICHANGED: {
        // Every place and font again at the new DPI; a window without a fixed place keeps the
        // corner the system suggests.
        dpi_ = HIWORD(wParam);
        if (!position_) {
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
        }
        const auto old = fonts_;
        fonts_.clear();
        place();
        for (const auto& entry : old)
            DeleteObject(entry.second);
        return 0;
    }
    case WM_ACTIVATE:
        // The focus goes back where the player left it, as in a dialog.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus))
                focus_ = focus;
        } else if (focus_ && IsWindowEnabled(focus_)) {
            SetFocus(focus_);
        }
        return 0;
    case WM_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        if (const auto fill = fills_.find(reinterpret_cast<HWND>(lParam)); fill != fills_.end())
            return reinterpret_cast<LRESULT>(fill->second);
        // Labels are opaque in the window's own colour, their text black.
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
        break;
    }
    if (const std::optional<LRESULT> result = handle(message, wParam, lParam))
        return *result;
    if (message == WM_NCDESTROY) {
        const HWND window = hwnd_;
        auto& windows = openWindows();
        windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
        hwnd_ = nullptr;
        controls_.clear();
        dropFonts();
        for (const auto& fill : fills_)
            DeleteObject(fill.second);
        fills_.clear();
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        destroyed();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

std::optional<LRESULT> Window::handle(UINT, WPARAM, LPARAM) {
    return std::nullopt;
}

} // namespace ponpira::win32
