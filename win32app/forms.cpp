// SPDX-License-Identifier: MIT
#include "win32app/forms.h"

#include "core/form1.h"
#include "core/form2.h"
#include "core/frmabout.h"
#include "core/guard.h"
#include "core/platform.h"
#include "win32app/clock.h"
#include "win32app/log.h"

#include <functional>
#include <optional>

namespace ponpira::win32 {

namespace {

constexpr UINT tickMessage = WM_APP + 1;
constexpr DWORD label = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
constexpr DWORD textBox = WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;

FontChoice gothic(double points) {
    FontChoice font;
    font.points = points;
    return font;
}

// A timer of the core on the program's clock.
class NativeTimer : public core::Timer {
  public:
    NativeTimer(Clock& clock, int interval, std::function<void()> tick)
        : clock_(clock), id_(clock.add(interval, std::move(tick))) {}
    void setEnabled(bool enabled) override { clock_.setEnabled(id_, enabled); }
    bool isEnabled() const override { return clock_.enabled(id_); }
    int interval() const override { return clock_.interval(id_); }

  private:
    Clock& clock_;
    int id_;
};

} // namespace

namespace {

// Changes a control without drawing it at once: it is drawn with the next paint, when the
// handler has returned or its message box waits. Wine draws a label or button on every change
// of its text, font or state, which made the end of a game wait for three drawings.
template <typename Change> void quietly(HWND control, Change change) {
    SendMessageW(control, WM_SETREDRAW, FALSE, 0);
    change();
    SendMessageW(control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control, nullptr, TRUE);
}

} // namespace

void NativeControl::setText(const std::u16string& text) {
    quietly(hwnd_, [&] { SetWindowTextW(hwnd_, wide(text).c_str()); });
}

std::u16string NativeControl::text() const {
    return utf16(windowText(hwnd_));
}

void NativeControl::setEnabled(bool enabled) {
    quietly(hwnd_, [&] { EnableWindow(hwnd_, enabled); });
    // A button that was disabled under the focus lost it; it takes it back, as the only
    // control of its window that can hold it.
    const HWND parent = GetParent(hwnd_);
    if (enabled && GetActiveWindow() == parent && !IsChild(parent, GetFocus()) &&
        (GetWindowLongW(hwnd_, GWL_STYLE) & WS_TABSTOP))
        SetFocus(hwnd_);
}

bool NativeControl::isEnabled() const {
    return IsWindowEnabled(hwnd_);
}

void NativeControl::setVisible(bool visible) {
    ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool NativeControl::isVisible() const {
    return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void NativeControl::setFontSize(int points) {
    FontChoice font = owner_.fontOf(hwnd_);
    font.points = points;
    quietly(hwnd_, [&] { owner_.setFont(hwnd_, font); });
}

int NativeControl::fontSize() const {
    return static_cast<int>(owner_.fontOf(hwnd_).points);
}

void NativeWindow::setCaption(const std::u16string& caption) {
    SetWindowTextW(window_.hwnd(), wide(caption).c_str());
}

// The main window: the menu bar, the big button, the labels and the two timers.
class Form1Window : public Window {
  public:
    enum Id {
        idShort = 101,
        idRegular,
        idLong,
        idReset,
        idDemo,
        idSend,
        idAbout,
        idEnd,
        idCommand1 = 201,
        idLabel1,
        idLabel2,
        idLabel3,
        idLabel4,
        idLabel5,
    };

    Form1Window(Windows& windows, Platform& platform) : windows_(windows), platform_(platform) {
        create(L"ポンピラ", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0,
               POINT{5550, 4305}, 5190, 3090, menuBar());
        Command1.emplace(*this,
                         addControl(L"BUTTON",
                                    L"タイムを選択してからこのボタンをマウスで"
                                    L"連打してください",
                                    button | WS_DISABLED, idCommand1, {120, 1320, 4935, 1695}));
        pressOnEveryEnter(Command1->hwnd());
        Label1.emplace(*this, addControl(L"STATIC", L"", label, idLabel1, {240, 240, 1095, 615},
                                         {L"Arial", 24, FW_BOLD, ANSI_CHARSET}));
        addControl(L"STATIC", L"秒", label, idLabel2, {1440, 360, 495, 495}, gothic(24));
        Label3.emplace(*this, addControl(L"STATIC", L"", label, idLabel3, {2280, -120, 2055, 1095},
                                         {L"Arial Black", 48, FW_BOLD, ANSI_CHARSET}));
        addControl(L"STATIC", L"回", label, idLabel4, {4440, 600, 615, 615}, gothic(26.25));
        // Beyond the right edge of the client area, and switched off: never seen.
        Label5.emplace(*this, addControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, idLabel5,
                                         {5280, 360, 135, 135}));
        setInitialFocus(Command1->hwnd());

        clock_.emplace(reinterpret_cast<std::uintptr_t>(hwnd()), tickMessage);
        Timer1.emplace(*clock_, 1000, [this] {
            log(L"tick1");
            guarded([this] { rules_->Timer1_Timer(); }, &*Timer1);
            log(L"seconds " + windowText(Label1->hwnd()));
        });
        Timer2.emplace(*clock_, 80, [this] {
            guarded([this] { rules_->Timer2_Timer(); }, &*Timer2);
            log(L"tick2 " + windowText(Label3->hwnd()));
        });
        rules_.emplace(
            windows, platform,
            core::Form1Controls{window_, *Command1, *Label1, *Label3, *Label5, *Timer1, *Timer2});
    }

    ~Form1Window() override {
        // No tick may arrive for rules that are gone.
        clock_.reset();
    }

    core::Form1& rules() { return *rules_; }
    NativeWindow& coreWindow() { return window_; }

  protected:
    std::optional<LRESULT> handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == tickMessage) {
            if (clock_)
                clock_->deliver(wParam, static_cast<std::intptr_t>(lParam));
            return 0;
        }
        if (message == WM_CLOSE) {
            windows_.end();
            return 0;
        }
        return std::nullopt;
    }

    void command(int id, int code, HWND control) override {
        if (control && code != BN_CLICKED)
            return;
        switch (id) {
        case idCommand1:
            log(L"press");
            guarded([this] { rules_->Command1_Click(); });
            log(L"click " + windowText(Label3->hwnd()));
            break;
        case idShort:
            guarded([this] { rules_->short_Click(); });
            break;
        case idRegular:
            guarded([this] { rules_->regular_Click(); });
            break;
        case idLong:
            guarded([this] { rules_->long_Click(); });
            break;
        case idReset:
            guarded([this] { rules_->reset_Click(); });
            break;
        case idDemo:
            log(L"demo");
            guarded([this] { rules_->demo_Click(); });
            break;
        case idSend:
            guarded([this] { rules_->send_Click(); });
            break;
        case idAbout:
            guarded([this] { rules_->about_Click(); });
            break;
        case idEnd:
            guarded([this] { rules_->end_Click(); });
            break;
        default:
            break;
        }
    }

  private:
    // The menu bar of the forms: "タイム" opens its drop-down, every other item is a command
    // on the bar itself. The captions carry no access keys.
    static HMENU menuBar() {
        const HMENU time = CreatePopupMenu();
        AppendMenuW(time, MF_STRING, idShort, L"１０秒");
        AppendMenuW(time, MF_STRING, idRegular, L"２０秒");
        AppendMenuW(time, MF_STRING, idLong, L"３０秒");
        const HMENU bar = CreateMenu();
        AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(time), L"タイム");
        AppendMenuW(bar, MF_STRING, idReset, L"リセット");
        AppendMenuW(bar, MF_STRING, idDemo, L"DEMO");
        AppendMenuW(bar, MF_STRING, idSend, L"結果送信");
        AppendMenuW(bar, MF_STRING, idAbout, L"バージョン情報");
        AppendMenuW(bar, MF_STRING, idEnd, L"終了");
        return bar;
    }

    void guarded(const std::function<void()>& handler, core::Timer* timer = nullptr) {
        runHandler(
            platform_, [this]() -> void* { return hwnd(); }, handler, timer);
    }

    Windows& windows_;
    Platform& platform_;
    NativeWindow window_{*this};
    std::optional<NativeControl> Command1;
    std::optional<NativeControl> Label1;
    std::optional<NativeControl> Label3;
    std::optional<NativeControl> Label5;
    std::optional<Clock> clock_;
    std::optional<NativeTimer> Timer1;
    std::optional<NativeTimer> Timer2;
    std::optional<core::Form1> rules_;
};

// The result entry window.
class Form2Window : public Window {
  public:
    enum Id {
        idCommand1 = 301,
        idCommand2,
        idText1,
        idText2,
        idText3,
        idText4,
        idText5,
        idLabel = 320,
    };

    Form2Window(Windows& windows, Platform& platform) : windows_(windows), platform_(platform) {
        create(L"結果送信", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, std::nullopt, 4875, 6120);
        // Created in the order of the focus: Tab goes Text1, Text2, Text3, Text4, "送信",
        // the password, "キャンセル".
        Text1.emplace(*this, box(idText1, {1680, 1800, 2055, 495}, 0, gothic(18)));
        Text2.emplace(*this, box(idText2, {1680, 2400, 2055, 375}));
        Text3.emplace(*this, box(idText3, {1680, 2880, 2055, 375}));
        // Single-line although it is tall enough for three.
        Text4.emplace(*this, box(idText4, {1680, 3360, 2055, 975}));
        addControl(L"BUTTON", L"送信", button, idCommand1, {1200, 5280, 1335, 375});
        Text5.emplace(*this, box(idText5, {2640, 4680, 1095, 375}, ES_PASSWORD));
        SendMessageW(Text5->hwnd(), EM_SETPASSWORDCHAR, L'*', 0);
        addControl(L"BUTTON", L"キャンセル", button, idCommand2, {2760, 5280, 1215, 375});

        int id = idLabel;
        auto caption = [&](const wchar_t* text, TwipsRect place, const FontChoice& font) {
            return addControl(L"STATIC", text, label, id++, place, font);
        };
        // Label11, Line1, Label1, Label6, Label8, Label2, Label7, Label9, Label3, Label4, Label5,
        // Label10 and Label12, top to bottom.
        caption(L"下の内容で結果を送信します。空欄をうめてください。", {240, 120, 4455, 255}, {});
        setFill(caption(L"", {120, 480, 4680, 15}, {}), RGB(0, 0, 0));
        caption(L"タイム", {120, 720, 975, 375}, gothic(12));
        Label6.emplace(*this, caption(L"", {1800, 600, 1695, 495}, gothic(18)));
        caption(L"秒", {3600, 600, 495, 375}, gothic(18));
        caption(L"結果", {120, 1200, 975, 375}, gothic(12));
        Label7.emplace(*this, caption(L"", {1800, 1200, 1695, 495}, gothic(20.25)));
        caption(L"回", {3600, 1320, 375, 375}, gothic(18));
        caption(L"お名前", {120, 1920, 975, 375}, gothic(12));
        caption(L"E-mail（任意）", {120, 2400, 1455, 495}, gothic(12));
        caption(L"URL（任意）", {120, 2880, 1335, 375}, gothic(12));
        caption(L"コメント", {120, 3360, 1335, 495}, gothic(12));
        caption(L"削除用パスワード", {120, 4680, 1455, 375}, gothic(9.75));
        // Carries the demo flag; beyond the right edge and never shown.
        Label13.emplace(
            *this, addControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, id++, {4920, 6000, 255, 135}));
        setInitialFocus(Text1->hwnd());
        rules_.emplace(windows, platform,
                       core::Form2Controls{window_, *Label6, *Label7, *Label13, *Text1, *Text2,
                                           *Text3, *Text4, *Text5});
    }

    core::Form2& rules() { return *rules_; }
    NativeWindow& coreWindow() { return window_; }

  protected:
    std::optional<LRESULT> handle(UINT message, WPARAM, LPARAM) override {
        if (message == WM_CLOSE) {
            windows_.unload(window_);
            return 0;
        }
        // Neither button is the default: Enter in a text box sends nothing.
        if (message == DM_GETDEFID)
            return 0;
        return std::nullopt;
    }

    void command(int id, int code, HWND control) override {
        if (!control)
            return;
        if (code == EN_SETFOCUS) {
            // The design's input-method modes, applied as each box takes the focus.
            const ImeMode mode = id == idText5                    ? ImeMode::Disabled
                                 : id == idText2 || id == idText3 ? ImeMode::Off
                                                                  : ImeMode::Hiragana;
            platform_.applyImeMode(control, mode);
            return;
        }
        if (code != BN_CLICKED)
            return;
        if (id == idCommand1)
            guarded([this] { rules_->Command1_Click(); });
        else if (id == idCommand2)
            guarded([this] { rules_->Command2_Click(); });
    }

  private:
    HWND box(int id, TwipsRect place, DWORD style = 0, const FontChoice& font = {}) {
        return addControl(L"EDIT", L"", textBox | style, id, place, font, WS_EX_CLIENTEDGE);
    }

    void guarded(const std::function<void()>& handler) {
        runHandler(
            platform_, [this]() -> void* { return hwnd(); }, handler);
    }

    Windows& windows_;
    Platform& platform_;
    NativeWindow window_{*this};
    std::optional<NativeControl> Label6;
    std::optional<NativeControl> Label7;
    std::optional<NativeControl> Label13;
    std::optional<NativeControl> Text1;
    std::optional<NativeControl> Text2;
    std::optional<NativeControl> Text3;
    std::optional<NativeControl> Text4;
    std::optional<NativeControl> Text5;
    std::optional<core::Form2> rules_;
};

// The About window.
class AboutWindow : public Window {
  public:
    enum Id {
        idPicIcon = 400,
        idOK,
        idSysInfo,
        idLabel = 420,
    };

    AboutWindow(Windows& windows, Platform& platform) : windows_(windows), platform_(platform) {
        create(L"ﾊﾞｰｼﾞｮﾝ情報", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
               WS_EX_DLGMODALFRAME, POINT{2340, 1935}, 5730, 2415);
        // Created topmost first: where boxes overlap, the earlier is drawn over the later.
        const HWND picIcon =
            addControl(L"STATIC", L"", WS_VISIBLE | SS_ICON, idPicIcon, {240, 240, 300, 300});
        const int size = MulDiv(32, dpi(), USER_DEFAULT_SCREEN_DPI);
        icon_ = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), L"IDI_ICON1", IMAGE_ICON, size, size, 0));
        SendMessageW(picIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
        cmdOK_ = addControl(L"BUTTON", L"OK", (button & ~BS_PUSHBUTTON) | BS_DEFPUSHBUTTON, idOK,
                            {4200, 1440, 1380, 345});
        // "&S": Alt+S presses it.
        cmdSysInfo_ =
            addControl(L"BUTTON", L"ｼｽﾃﾑ情報(&S)...", button, idSysInfo, {4200, 1920, 1380, 345});
        int id = idLabel;
        // The etched separator: a grey line, Line1(1), over a wider white one, Line1(0).
        setFill(addControl(L"STATIC", L"", label, id++, {90, 1320, 5564, 15}), RGB(128, 128, 128));
        setFill(addControl(L"STATIC", L"", label, id++, {0, 1320, 5549, 30}), RGB(255, 255, 255));
        lblVersion.emplace(*this,
                           addControl(L"STATIC", L"Ver 1.1", label, id++, {720, 480, 3885, 225}));
        // lblDisclaimer
        addControl(L"STATIC", L"警告: ..マウスを壊さないように注意してください。", label, id++,
                   {120, 1440, 3870, 825});
        lblTitle.emplace(*this,
                         addControl(L"STATIC", L"ポンピラ", label, id++, {720, 240, 3885, 480}));
        // lblDescription2 and lblDescription
        addControl(L"STATIC", L"結果送信で、掲示板に結果を書き込むことができます。", label, id++,
                   {720, 960, 4575, 735});
        addControl(L"STATIC", L"指定時間内に何回クリックできるかという単純なゲームです。", label,
                   id++, {720, 720, 4725, 450});
        setInitialFocus(cmdOK_);
        rules_.emplace(windows, platform, core::frmAboutControls{window_, *lblVersion, *lblTitle});
        guarded([this] { rules_->Form_Load(); });
    }

    ~AboutWindow() override {
        if (icon_)
            DestroyIcon(icon_);
    }

    core::frmAbout& rules() { return *rules_; }
    NativeWindow& coreWindow() { return window_; }

  protected:
    std::optional<LRESULT> handle(UINT message, WPARAM, LPARAM) override {
        if (message == WM_CLOSE) {
            windows_.unload(window_);
            return 0;
        }
        // OK is the default button, unless the focus is on the other one.
        if (message == DM_GETDEFID)
            return MAKELRESULT(GetFocus() == cmdSysInfo_ ? idSysInfo : idOK, DC_HASDEFID);
        return std::nullopt;
    }

    void command(int id, int code, HWND control) override {
        if (control && code != BN_CLICKED)
            return;
        // Esc comes as IDCANCEL: OK is also the cancel button.
        if (id == idOK || id == IDCANCEL)
            guarded([this] { rules_->cmdOK_Click(); });
        else if (id == idSysInfo)
            guarded([this] { rules_->cmdSysInfo_Click(); });
    }

  private:
    void guarded(const std::function<void()>& handler) {
        runHandler(
            platform_, [this]() -> void* { return hwnd(); }, handler);
    }

    Windows& windows_;
    Platform& platform_;
    NativeWindow window_{*this};
    HICON icon_ = nullptr;
    HWND cmdOK_ = nullptr;
    HWND cmdSysInfo_ = nullptr;
    std::optional<NativeControl> lblVersion;
    std::optional<NativeControl> lblTitle;
    std::optional<core::frmAbout> rules_;
};

Windows::Windows(Platform& platform) : platform_(platform) {}

Windows::~Windows() {
    about_.reset();
    form2_.reset();
    form1_.reset();
    unloaded_.clear();
}

Form1Window& Windows::form1() {
    if (!form1_)
        form1_ = std::make_unique<Form1Window>(*this, platform_);
    return *form1_;
}

void Windows::showMain() {
    form1().show();
}

core::Form2& Windows::form2() {
    if (!form2_)
        form2_ = std::make_unique<Form2Window>(*this, platform_);
    return form2_->rules();
}

core::frmAbout& Windows::aboutWindow() {
    if (!about_)
        about_ = std::make_unique<AboutWindow>(*this, platform_);
    return about_->rules();
}

std::u16string Windows::form1Label5Caption() {
    return form1().rules().label5Caption();
}

Window* Windows::native(core::Window& window) {
    if (form1_ && &form1_->coreWindow() == &window)
        return form1_.get();
    if (form2_ && &form2_->coreWindow() == &window)
        return form2_.get();
    if (about_ && &about_->coreWindow() == &window)
        return about_.get();
    return nullptr;
}

void Windows::show(core::Window& window) {
    if (Window* shown = native(window))
        shown->show();
}

void Windows::unload(core::Window& window) {
    // Kept until collect(): the window may be unloading itself from one of its handlers.
    if (form2_ && &form2_->coreWindow() == &window) {
        form2_->destroy();
        unloaded_.push_back(std::move(form2_));
    } else if (about_ && &about_->coreWindow() == &window) {
        about_->destroy();
        unloaded_.push_back(std::move(about_));
    } else if (form1_ && &form1_->coreWindow() == &window) {
        end();
    }
}

void Windows::end() {
    if (ended_)
        return;
    ended_ = true;
    for (Window* window : {static_cast<Window*>(about_.get()), static_cast<Window*>(form2_.get()),
                           static_cast<Window*>(form1_.get())})
        if (window)
            window->hide();
    PostQuitMessage(0);
}

void Windows::collect() {
    unloaded_.clear();
}

} // namespace ponpira::win32
