// SPDX-License-Identifier: MIT
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

// A thin layer over the window manager: top-level windows whose controls are placed in
// twips and drawn in the design's fonts at the window's own DPI, placed again when the window
// moves to a monitor of another DPI. Nothing here knows the game.
namespace ponpira::win32 {

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A font as the forms give it. The default is the forms' own default, 「ＭＳ Ｐゴシック」 at
// 9 points, as on a Japanese desktop (and as the Linux program draws it).
struct FontChoice {
    std::wstring face = L"ＭＳ Ｐゴシック";
    double points = 9;
    int weight = FW_NORMAL;
    int charset = SHIFTJIS_CHARSET;
};

// Pixels for twips at a DPI: 1440 twips to the inch.
int twipsToPixels(int twips, int dpi);

// The face that will draw text for a requested one: the face itself where it is installed,
// else an installed substitute of the same kind (a Japanese gothic for 「ＭＳ Ｐゴシック」,
// a Latin sans for Arial), else the request, left to the font mapper.
std::wstring installedFace(const std::wstring& face);

// Wide text for the window manager from the core's UTF-16 and back (wchar_t is UTF-16 here).
std::wstring wide(const std::u16string& text);
std::u16string utf16(const std::wstring& text);

// The text of a window or control.
std::wstring windowText(HWND window);

class Window {
  public:
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    int dpi() const { return dpi_; }

    // A child control at a place in twips of the client area, in a font of the forms. Controls
    // take the keyboard focus in the order they are created.
    HWND addControl(const wchar_t* className, const std::wstring& text, DWORD style, int id,
                    TwipsRect place, const FontChoice& font = {}, DWORD exStyle = 0);
    // A control drawn as a plain area of one colour (a line of the forms).
    void setFill(HWND control, COLORREF colour);
    // The control that has the keyboard focus when the window is first activated; later
    // activations give it back to the control that had it.
    void setInitialFocus(HWND control) { focus_ = control; }
    void setFont(HWND control, const FontChoice& font);
    const FontChoice& fontOf(HWND control) const;

    // Shows the window, or brings it to the front when it is already shown.
    void show();
    void hide();
    bool visible() const;
    void destroy();

    // Every window of this program that is open, for the message loop's dialog keys.
    static const std::vector<Window*>& all();

  protected:
    Window() = default;
    // position: the client area's top-left corner on the screen in twips, or the system's
    // choice.
    void create(const std::wstring& caption, DWORD style, DWORD exStyle,
                std::optional<POINT> position, int clientWidth, int clientHeight,
                HMENU menu = nullptr);

    // A message for the window; the default procedure gets what it leaves.
    virtual std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_COMMAND from a control or a menu item.
    virtual void command(int id, int code, HWND control) = 0;
    // The window is being destroyed (its close box, or destroy()).
    virtual void destroyed() {}

  private:
    struct Control {
        HWND hwnd;
        TwipsRect place;
        FontChoice font;
    };
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    HFONT font(const FontChoice& wanted);
    void place();
    void dropFonts();

    HWND hwnd_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    std::optional<POINT> position_;
    std::vector<Control> controls_;
    std::map<std::tuple<std::wstring, int, int, int>, HFONT> fonts_;
    std::map<HWND, HBRUSH> fills_;
    HWND focus_ = nullptr;
};

// Enter presses the button on every key-down, auto-repeat included, as on a Windows command
// button; Space stays the button's own: pressed on key-down, clicked once on release.
void pressOnEveryEnter(HWND button);

} // namespace ponpira::win32
