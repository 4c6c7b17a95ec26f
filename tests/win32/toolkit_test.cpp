// The toolkit on a real window system: placement, the loading sequence, the visible and position rules, the
// picture button, dragging, the picture-based shape, destroy requests and the message loop, the end of the
// program, and the web browser box's properties and focus. Every test runs in a process of its own, so the
// toolkit's global state is fresh; layouts are small ones made for the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_web_engine.h"
#include "toolkit/handle.h"
#include "toolkit/portable/picture.h"
#include "toolkit/text.h"
#include "toolkit/toolkit.h"
#include "toolkit/web_engine.h"
#include "message_pump.h"

namespace {

using namespace tk;
using Log = std::vector<std::string>;

// What handlers saw, in order.
Log g_log;

void PrintFatal(const std::string& message) {
    // A fatal end inside a test ends the process with -1; say why first, and never wait at a message box.
    std::fprintf(stderr, "fatal end: %s\n", message.c_str());
    std::fflush(stderr);
}

constexpr int kGuardQuitCode = 99;
void CALLBACK GuardTimer(HWND, UINT, UINT_PTR, DWORD) {
    ::PostQuitMessage(kGuardQuitCode);
}

// The toolkit's message loop, ended with kGuardQuitCode if it has not ended by itself within `ms`.
int RunMessageLoopAtMost(UINT ms) {
    UINT_PTR guard = ::SetTimer(nullptr, 0, ms, &GuardTimer);
    int result = RunMessageLoop();
    ::KillTimer(nullptr, guard);
    return result;
}

std::vector<HWND> ThreadWindowsOfClass(const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        std::vector<HWND> found;
    } search{className, {}};
    struct Enumerate {
        static BOOL CALLBACK Each(HWND hwnd, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (std::wstring(name) == s->className) s->found.push_back(hwnd);
            return TRUE;
        }
    };
    ::EnumThreadWindows(::GetCurrentThreadId(), &Enumerate::Each, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
           "x" + std::to_string(r.bottom - r.top);
}

int CountOf(const Log& calls, const std::string& what) {
    return static_cast<int>(std::count(calls.begin(), calls.end(), what));
}

// Handlers that only note that they ran.
void LogCreated(Event&) noexcept {
    g_log.push_back("created");
}
void LogMoved(Event&) noexcept {
    g_log.push_back("moved");
}
void LogSized(Event&) noexcept {
    g_log.push_back("sized");
}
void LogMayClose(Event&) noexcept {
    g_log.push_back("may close");
}

class ToolkitTest : public testing::Test {
  protected:
    void SetUp() override {
        g_log.clear();
        SetWebEngineFactory(&FakeWebEngine::Create);
        SetFatalHandlers(&PrintFatal, nullptr);
    }
    void TearDown() override { SetScreenSizeForTests(0, 0); }
};

// ---- Placement
// ----------------------------------------------------------------------------------------------

const WindowLayout kCentred = {.name = "Centred",
                               .width = 1103,
                               .height = 756,
                               .position = kPositionCentred,
                               .controls = {},
                               .events = {}};

TEST_F(ToolkitTest, CentredWindowIsPlacedInTheMiddleOfTheScreenTruncatingTowardZero) {
    struct Case {
        int screenWidth, screenHeight, left, top;
    };
    const Case cases[] = {{1024, 768, -39, 6}, {1366, 768, 131, 6}, {1920, 1080, 408, 162}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight));
        SetScreenSizeForTests(c.screenWidth, c.screenHeight);
        ASSERT_TRUE(LoadWindow(kCentred));
        EXPECT_EQ(RectText(WindowRect(GetHandle(kCentred))),
                  std::to_string(c.left) + "," + std::to_string(c.top) + " 1103x756");
        RequestDestroy(kCentred, true);
        ASSERT_FALSE(IsLoaded(kCentred));
    }
}

// ---- The loading sequence
// -----------------------------------------------------------------------------------

std::string VisibleFlag(const Event& e, const char* control) {
    return std::to_string(GetInt(e.window, control, kVisible));
}

void SequenceCreated(Event& e) noexcept {
    g_log.push_back("created window=" + std::to_string(::IsWindowVisible(GetHandle(e.window)) ? 1 : 0) +
                    " hidden=" + VisibleFlag(e, "hidden") + " button=" + VisibleFlag(e, "button") +
                    " box=" + VisibleFlag(e, "box") + " last=" + VisibleFlag(e, "last"));
}

const ControlLayout kSequenceControls[] = {
    {.name = "hidden", .kind = Kind::Label, .left = 0, .top = 0, .width = 20, .height = 20, .visible = false},
    {.name = "button", .kind = Kind::PictureButton, .left = 10, .top = 10, .width = 30, .height = 20},
    {.name = "box", .kind = Kind::ShapeBox, .left = 20, .top = 20, .width = 30, .height = 20},
    {.name = "last", .kind = Kind::PictureButton, .left = 30, .top = 30, .width = 30, .height = 20},
};
const EventBinding kSequenceEvents[] = {
    {nullptr, event::kCreated, SequenceCreated},
    {nullptr, event::kPositionChanged, LogMoved},
    {nullptr, event::kSizeChanged, LogSized},
};
const WindowLayout kSequence = {.name = "Sequence",
                                .left = 40,
                                .top = 30,
                                .width = 200,
                                .height = 150,
                                .controls = kSequenceControls,
                                .events = kSequenceEvents};

Log g_createdControls;
LRESULT CALLBACK RecordControlCreation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        wchar_t className[64] = {};
        ::GetClassNameW(reinterpret_cast<HWND>(wp), className, 64);
        auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lp);
        if (std::wstring(className) == L"ThornvaleControl" && create->lpcs->lpszName &&
            !IS_INTRESOURCE(create->lpcs->lpszName))
            g_createdControls.push_back(Narrow(create->lpcs->lpszName));
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(ToolkitTest, LoadBuildsHiddenControlsLastToFirstStacksThemInTableOrderRaisesEventsThenShows) {
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RecordControlCreation, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    bool loaded = LoadWindow(kSequence);
    ::UnhookWindowsHookEx(hook);
    ASSERT_TRUE(loaded);

    EXPECT_EQ(g_createdControls, (Log{"last", "box", "button", "hidden"}));
    // When the events ran the window was still hidden and its visible controls were already shown.
    EXPECT_EQ(g_log, (Log{"created window=0 hidden=0 button=1 box=1 last=1", "moved", "sized"}));
    HWND hwnd = GetHandle(kSequence);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(::IsWindowVisible(GetHandle(kSequence, "hidden")));
    EXPECT_TRUE(::IsWindowVisible(GetHandle(kSequence, "last")));

    // The first control lies on top.
    std::vector<HWND> stacking;
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        stacking.push_back(child);
    EXPECT_EQ(stacking, (std::vector<HWND>{GetHandle(kSequence, "hidden"), GetHandle(kSequence, "button"),
                                           GetHandle(kSequence, "box"), GetHandle(kSequence, "last")}));

    // Nothing that happened while the window was built is reported afterwards.
    g_log.clear();
    testsupport::PumpFor(200);
    EXPECT_EQ(g_log, Log{});
}

void LogNavigation(Event& e) noexcept {
    g_log.push_back("navigate " + GetText(e.window, e.control, kAddress));
}

const ControlLayout kStartPageControls[] = {
    {.name = "web",
     .kind = Kind::WebBrowserBox,
     .width = 150,
     .height = 100,
     .fontSize = 4,
     .offline = true,
     .silent = false,
     .address = "http://start.test/"},
};
const EventBinding kStartPageEvents[] = {
    {"web", event::kAboutToNavigate, LogNavigation},
    {nullptr, event::kCreated, LogCreated},
};
const WindowLayout kStartPage = {.name = "StartPage",
                                 .width = 200,
                                 .height = 150,
                                 .controls = kStartPageControls,
                                 .events = kStartPageEvents};

TEST_F(ToolkitTest, BrowserBoxAppliesItsSettingsThenNavigatesWithNoEventWhileTheWindowLoads) {
    ASSERT_TRUE(LoadWindow(kStartPage));
    FakeWebEngine* engine = FakeWebEngine::ForHost(GetHandle(kStartPage, "web"));
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->Calls(), (Log{"SetOffline(true)", "SetSilent(false)", "SetFontSize(4)",
                                    "Navigate(http://start.test/)"}));
    // The fake asked the box about the navigation during the load; its handler did not run.
    EXPECT_EQ(g_log, Log{"created"});
    EXPECT_EQ(engine->LocationUrl(), "http://start.test/");

    // Once loaded, the same handler runs.
    SetText(kStartPage, "web", kAddress, "http://next.test/");
    EXPECT_EQ(g_log, (Log{"created", "navigate http://next.test/"}));
}

void DestroyAtOnce(Event& e) noexcept {
    g_log.push_back("created");
    RequestDestroy(e.window, true);
}
const EventBinding kSelfDestroyingEvents[] = {
    {nullptr, event::kCreated, DestroyAtOnce},
    {nullptr, event::kPositionChanged, LogMoved},
    {nullptr, event::kSizeChanged, LogSized},
};
const WindowLayout kSelfDestroying = {
    .name = "SelfDestroying", .width = 100, .height = 100, .controls = {}, .events = kSelfDestroyingEvents};

TEST_F(ToolkitTest, CreatedHandlerThatDestroysTheWindowStopsTheRestOfTheLoad) {
    LoadWindow(kSelfDestroying);
    EXPECT_EQ(g_log, Log{"created"});
    EXPECT_FALSE(IsLoaded(kSelfDestroying));
    EXPECT_EQ(ThreadWindowsOfClass(L"ThornvaleWindow"), std::vector<HWND>{});
}

void LogWillBeDestroyed(Event&) noexcept {
    g_log.push_back("will be destroyed");
}
const ControlLayout kBrokenControls[] = {
    {.name = "label", .kind = Kind::Label, .width = 10, .height = 10},
    {.name = "web", .kind = Kind::WebBrowserBox, .width = 100, .height = 100},
    {.name = "button", .kind = Kind::PictureButton, .width = 10, .height = 10},
};
const EventBinding kBrokenEvents[] = {
    {nullptr, event::kCreated, LogCreated},
    {nullptr, event::kWillBeDestroyed, LogWillBeDestroyed},
};
const WindowLayout kBroken = {
    .name = "Broken", .width = 200, .height = 150, .controls = kBrokenControls, .events = kBrokenEvents};

TEST_F(ToolkitTest, LoadWhoseControlCannotBeCreatedFailsAndLeavesNothing) {
    FakeWebEngine::SetCreateFails(true);
    EXPECT_FALSE(LoadWindow(kBroken));
    EXPECT_FALSE(IsLoaded(kBroken));
    EXPECT_EQ(ThreadWindowsOfClass(L"ThornvaleWindow"), std::vector<HWND>{});
    EXPECT_EQ(g_log, Log{});  // a window that never loaded raises nothing, not even on its way out

    // Nothing of the failed attempt stands in the way of the next one.
    FakeWebEngine::SetCreateFails(false);
    EXPECT_TRUE(LoadWindow(kBroken));
    EXPECT_EQ(g_log, Log{"created"});
}

const EventBinding kCreatedOnlyEvents[] = {{nullptr, event::kCreated, LogCreated}};
const WindowLayout kFirst = {.name = "First",
                             .left = 10,
                             .top = 10,
                             .width = 120,
                             .height = 90,
                             .controls = {},
                             .events = kCreatedOnlyEvents};
const WindowLayout kSecond = {
    .name = "Second", .left = 300, .top = 10, .width = 120, .height = 90, .controls = {}, .events = {}};

TEST_F(ToolkitTest, LoadingAnOpenWindowActivatesOrRestoresItWithoutAnotherCreatedEvent) {
    ASSERT_TRUE(LoadWindow(kFirst));
    ASSERT_TRUE(LoadWindow(kSecond));
    HWND first = GetHandle(kFirst);
    ASSERT_EQ(::GetActiveWindow(), GetHandle(kSecond));

    EXPECT_TRUE(LoadWindow(kFirst));
    EXPECT_EQ(::GetActiveWindow(), first);

    ::ShowWindow(first, SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(first));
    EXPECT_TRUE(LoadWindow(kFirst));
    EXPECT_FALSE(::IsIconic(first));
    EXPECT_TRUE(::IsWindowVisible(first));

    EXPECT_EQ(g_log, Log{"created"});
    EXPECT_EQ(GetHandle(kFirst), first);
}

// ---- A resizable window loaded maximised
// ---------------------------------------------------------------------

void LogOuterSize(Event& e) noexcept {
    RECT r = WindowRect(GetHandle(e.window));
    g_log.push_back(std::string(e.number == event::kCreated ? "created " : "sized ") + RectText(r));
}
const EventBinding kMaximisedEvents[] = {
    {nullptr, event::kCreated, LogOuterSize},
    {nullptr, event::kSizeChanged, LogOuterSize},
};
const WindowLayout kMaximised = {.name = "Maximised",
                                 .title = "maximised",
                                 .left = 50,
                                 .top = 50,
                                 .width = 1000,
                                 .height = 800,
                                 .frameStyle = 1,
                                 .controlBox = true,
                                 .maximiseBox = true,
                                 .minimiseBox = true,
                                 .position = kPositionMaximised,
                                 .controls = {},
                                 .events = kMaximisedEvents};

TEST_F(ToolkitTest, ResizableWindowLoadedMaximisedKeepsItsLayoutPlaceForRestoring) {
    ASSERT_TRUE(LoadWindow(kMaximised));
    // The events of the load saw the layout place and size; the window was then shown maximised.
    HWND hwnd = GetHandle(kMaximised);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::IsZoomed(hwnd));
    // The size changes while it was built are not reported; what follows the load's own events is the
    // maximising.
    ASSERT_GE(g_log.size(), 3u);
    EXPECT_EQ(g_log[0], "created 50,50 1000x800");
    EXPECT_EQ(g_log[1], "sized 50,50 1000x800");
    for (size_t i = 2; i < g_log.size(); ++i) EXPECT_EQ(g_log[i], "sized " + RectText(WindowRect(hwnd)));

    ::ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(::IsZoomed(hwnd));
    EXPECT_EQ(RectText(WindowRect(hwnd)), "50,50 1000x800");
}

// ---- Position and visible
// -----------------------------------------------------------------------------------

const WindowLayout kHiddenWindow = {.name = "Hidden",
                                    .left = 20,
                                    .top = 30,
                                    .width = 300,
                                    .height = 200,
                                    .visible = false,
                                    .frameStyle = 1,
                                    .maximiseBox = true,
                                    .minimiseBox = true,
                                    .controls = {},
                                    .events = {}};
const WindowLayout kShownWindow = {.name = "Shown",
                                   .left = 20,
                                   .top = 30,
                                   .width = 300,
                                   .height = 200,
                                   .frameStyle = 1,
                                   .maximiseBox = true,
                                   .minimiseBox = true,
                                   .controls = {},
                                   .events = {}};

TEST_F(ToolkitTest, PositionWrittenWhileHiddenIsClampedAndOnlyStored) {
    ASSERT_TRUE(LoadWindow(kHiddenWindow));
    HWND hwnd = GetHandle(kHiddenWindow);
    struct Case {
        int written, stored;
    };
    const Case cases[] = {{-5, 0}, {2, 2}, {7, 3}, {3, 3}, {1, 1}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        SetInt(kHiddenWindow, nullptr, kPosition, c.written);
        EXPECT_EQ(GetInt(kHiddenWindow, nullptr, kPosition), c.stored);
        EXPECT_FALSE(::IsWindowVisible(hwnd));
        EXPECT_FALSE(::IsIconic(hwnd));
        EXPECT_FALSE(::IsZoomed(hwnd));
        EXPECT_EQ(RectText(WindowRect(hwnd)), "20,30 300x200");
    }
}

HWND g_watchedWindow = nullptr;
int g_moveRequests = 0;
LRESULT CALLBACK CountMoveRequests(int code, WPARAM wp, LPARAM lp) {
    auto* message = reinterpret_cast<CWPSTRUCT*>(lp);
    if (code == HC_ACTION && message->hwnd == g_watchedWindow && message->message == WM_WINDOWPOSCHANGING &&
        !(reinterpret_cast<WINDOWPOS*>(message->lParam)->flags & SWP_NOMOVE))
        ++g_moveRequests;
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(ToolkitTest, PositionWrittenWhileVisibleActsAtOnce) {
    SetScreenSizeForTests(1000, 700);
    ASSERT_TRUE(LoadWindow(kShownWindow));
    HWND hwnd = GetHandle(kShownWindow);

    SetInt(kShownWindow, nullptr, kPosition, 2);
    EXPECT_TRUE(::IsIconic(hwnd));
    SetInt(kShownWindow, nullptr, kPosition, 0);
    EXPECT_FALSE(::IsIconic(hwnd));
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(RectText(WindowRect(hwnd)), "20,30 300x200");

    SetInt(kShownWindow, nullptr, kPosition, 9);  // clamped to 3
    EXPECT_TRUE(::IsZoomed(hwnd));
    EXPECT_EQ(GetInt(kShownWindow, nullptr, kPosition), 3);

    // Centred: restored first, then moved to the middle of the screen.
    SetInt(kShownWindow, nullptr, kPosition, 1);
    EXPECT_FALSE(::IsZoomed(hwnd));
    EXPECT_EQ(RectText(WindowRect(hwnd)), "350,250 300x200");
    // Already there: not moved again.
    g_watchedWindow = hwnd;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &CountMoveRequests, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    SetInt(kShownWindow, nullptr, kPosition, 1);
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_moveRequests, 0);

    SetInt(kShownWindow, nullptr, kPosition, -1);  // clamped to 0: shown normally where it is
    EXPECT_EQ(GetInt(kShownWindow, nullptr, kPosition), 0);
    EXPECT_EQ(RectText(WindowRect(hwnd)), "350,250 300x200");
}

TEST_F(ToolkitTest, FirstShowAfterTheLoadFollowsTheStoredPositionAndLaterShowsArePlain) {
    ASSERT_TRUE(LoadWindow(kHiddenWindow));
    HWND hwnd = GetHandle(kHiddenWindow);
    SetInt(kHiddenWindow, nullptr, kPosition, 2);
    SetBool(kHiddenWindow, nullptr, kVisible, true);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::IsIconic(hwnd));

    // The user restores it: the stored position stays minimised.
    ::ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(::IsIconic(hwnd));
    EXPECT_EQ(GetInt(kHiddenWindow, nullptr, kPosition), 2);

    // Every later show is a plain one.
    SetBool(kHiddenWindow, nullptr, kVisible, false);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    SetBool(kHiddenWindow, nullptr, kVisible, true);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(::IsIconic(hwnd));
    EXPECT_EQ(RectText(WindowRect(hwnd)), "20,30 300x200");
}

TEST_F(ToolkitTest, FirstShowOfACentredWindowShowsItWhereItIsWithoutCentringAgain) {
    SetScreenSizeForTests(1000, 700);
    ASSERT_TRUE(LoadWindow(kHiddenWindow));
    HWND hwnd = GetHandle(kHiddenWindow);
    SetInt(kHiddenWindow, nullptr, kPosition, 1);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    SetBool(kHiddenWindow, nullptr, kVisible, true);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(::IsIconic(hwnd));
    EXPECT_EQ(RectText(WindowRect(hwnd)), "20,30 300x200");
}

// ---- Picture button
// -----------------------------------------------------------------------------------------

void LogClick(Event& e) noexcept {
    g_log.push_back(std::string("click ") + e.control);
}
const ControlLayout kButtonControls[] = {
    {.name = "close",
     .kind = Kind::PictureButton,
     .left = 10,
     .top = 10,
     .width = 23,
     .height = 23,
     .mousePointer = kHandPointer,
     .picture = "CloseButtonImage"},
    {.name = "cut",
     .kind = Kind::PictureButton,
     .left = 50,
     .top = 10,
     .width = 40,
     .height = 20,
     .mousePointer = kHandPointer,
     .picture = "OfficialSiteButtonImage"},
    {.name = "off",
     .kind = Kind::PictureButton,
     .left = 100,
     .top = 10,
     .width = 23,
     .height = 23,
     .disabled = true,
     .mousePointer = kHandPointer,
     .picture = "CloseButtonImage"},
};
const EventBinding kButtonEvents[] = {
    {"close", event::kClicked, LogClick},
    {"cut", event::kClicked, LogClick},
    {"off", event::kClicked, LogClick},
};
const WindowLayout kButtons = {.name = "Buttons",
                               .left = 0,
                               .top = 0,
                               .width = 200,
                               .height = 100,
                               .backColor = 0x00FF00,
                               .controls = kButtonControls,
                               .events = kButtonEvents};

TEST_F(ToolkitTest, PictureButtonClicksOnlyWhenPressedAndReleasedInsideWhileEnabled) {
    ASSERT_TRUE(LoadWindow(kButtons));
    struct Case {
        const char* control;
        POINT press, release;
        Log expected;
    };
    const Case cases[] = {
        {"close", {5, 5}, {6, 7}, {"click close"}},
        {"close", {5, 5}, {30, 5}, {}},  // released to the right of it
        {"close", {5, 5}, {5, -2}, {}},  // released above it
        {"close", {22, 22}, {0, 0}, {"click close"}},
        {"off", {5, 5}, {5, 5}, {}},  // disabled
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " " + std::to_string(c.release.x) + "," +
                     std::to_string(c.release.y));
        g_log.clear();
        HWND button = GetHandle(kButtons, c.control);
        ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.press.x, c.press.y));
        ::SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(c.release.x, c.release.y));
        EXPECT_EQ(g_log, c.expected);
        EXPECT_NE(::GetCapture(), button);
    }
}

TEST_F(ToolkitTest, PictureButtonShowsTheHandPointer) {
    ASSERT_TRUE(LoadWindow(kButtons));
    HWND button = GetHandle(kButtons, "close");
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_TRUE(::SendMessageW(button, WM_SETCURSOR, reinterpret_cast<WPARAM>(button),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
}

// Compares what a button shows with its picture drawn at its own size from the top-left on black.
void ExpectButtonShows(HWND button, const Picture& picture) {
    RECT rc{};
    ::GetClientRect(button, &rc);
    unique_window_dc dc(button);
    int mismatches = 0;
    std::string first;
    for (int y = 0; y < rc.bottom; ++y) {
        for (int x = 0; x < rc.right; ++x) {
            COLORREF expected = (x < picture.width && y < picture.height) ? picture.ColorRefAt(x, y) : 0;
            COLORREF shown = ::GetPixel(dc.get(), x, y);
            if (shown != expected && mismatches++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) shows %06lX, expected %06lX", x, y,
                              static_cast<unsigned long>(shown), static_cast<unsigned long>(expected));
                first = text;
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << first;
}

TEST_F(ToolkitTest, PictureButtonDrawsItsPictureUnscaledOnBlack) {
    auto close = DecodePicture(ResourceBytes("CloseButtonImage"));
    auto wide = DecodePicture(ResourceBytes("OfficialSiteButtonImage"));
    ASSERT_TRUE(close && wide);
    ASSERT_EQ(close->width, 20);
    ASSERT_EQ(close->height, 22);
    ASSERT_GT(wide->width, 40);
    ASSERT_GT(wide->height, 20);

    ASSERT_TRUE(LoadWindow(kButtons));
    ::UpdateWindow(GetHandle(kButtons));
    {
        SCOPED_TRACE("23x23 button, 20x22 picture: black right columns and bottom row");
        ExpectButtonShows(GetHandle(kButtons, "close"), *close);
    }
    {
        SCOPED_TRACE("40x20 button, larger picture: cut, not scaled");
        ExpectButtonShows(GetHandle(kButtons, "cut"), *wide);
    }
}

// ---- Dragging
// -----------------------------------------------------------------------------------------------

const ControlLayout kDragControls[] = {
    {.name = "label", .kind = Kind::Label, .left = 10, .top = 10, .width = 30, .height = 20},
    {.name = "box", .kind = Kind::ShapeBox, .left = 50, .top = 10, .width = 30, .height = 20},
    {.name = "button", .kind = Kind::PictureButton, .left = 90, .top = 10, .width = 30, .height = 20},
    {.name = "web", .kind = Kind::WebBrowserBox, .left = 10, .top = 50, .width = 100, .height = 60},
};
const WindowLayout kDrag = {.name = "Drag",
                            .left = 100,
                            .top = 80,
                            .width = 200,
                            .height = 150,
                            .dragToMove = true,
                            .controls = kDragControls,
                            .events = {}};

// Takes a posted WM_NCLBUTTONDOWN out of the queue without dispatching it (that would start a modal move).
bool TakePostedCaptionPress(MSG& out) {
    bool found = ::PeekMessageW(&out, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_NOREMOVE) != FALSE;
    MSG discard;
    while (::PeekMessageW(&discard, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
    }
    return found;
}

TEST_F(ToolkitTest, PressOnTheWindowSurfaceStartsTheSystemMove) {
    ASSERT_TRUE(LoadWindow(kDrag));
    HWND hwnd = GetHandle(kDrag);
    ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 20));
    MSG msg{};
    ASSERT_TRUE(TakePostedCaptionPress(msg));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
    RECT r = WindowRect(hwnd);
    EXPECT_EQ(static_cast<short>(LOWORD(msg.lParam)), r.left + 150);
    EXPECT_EQ(static_cast<short>(HIWORD(msg.lParam)), r.top + 20);
}

TEST_F(ToolkitTest, LabelsAndShapeBoxesLetPressesThroughButtonsAndBrowsersDoNot) {
    ASSERT_TRUE(LoadWindow(kDrag));
    struct Case {
        const char* control;
        LRESULT hit;
    };
    const Case cases[] = {
        {"label", HTTRANSPARENT}, {"box", HTTRANSPARENT}, {"button", HTCLIENT}, {"web", HTCLIENT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        HWND control = GetHandle(kDrag, c.control);
        RECT r = WindowRect(control);
        EXPECT_EQ(::SendMessageW(control, WM_NCHITTEST, 0, MAKELPARAM(r.left + 5, r.top + 5)), c.hit);
    }

    // A press on a button is the button's own: no move starts.
    HWND button = GetHandle(kDrag, "button");
    ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    MSG msg{};
    EXPECT_FALSE(TakePostedCaptionPress(msg));
    ::SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// ---- Shape from a picture
// -----------------------------------------------------------------------------------

const WindowLayout kShaped = {.name = "Shaped", .width = 1103, .height = 756, .controls = {}, .events = {}};

TEST_F(ToolkitTest, LauncherBackgroundCutsTheWindowToItsNonWhitePixels) {
    ASSERT_TRUE(LoadWindow(kShaped));
    HWND hwnd = GetHandle(kShaped);
    ASSERT_TRUE(ShapeWindowFromPicture(kShaped, ResourceBytes("LauncherBackground"), 0xFFFFFF));
    unique_hrgn region(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(::GetWindowRgn(hwnd, region.get()), ERROR);

    auto outside = [&](int x0, int y0, int x1, int y1) {
        int inside = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) inside += ::PtInRegion(region.get(), x, y) ? 1 : 0;
        return inside;
    };
    EXPECT_EQ(outside(0, 0, 1102, 2), 0) << "rows 0-2";
    EXPECT_EQ(outside(0, 742, 1102, 755), 0) << "rows 742-755";
    EXPECT_EQ(outside(0, 0, 4, 755), 0) << "columns 0-4";
    EXPECT_EQ(outside(1098, 0, 1102, 755), 0) << "columns 1098-1102";
    EXPECT_TRUE(::PtInRegion(region.get(), 551, 378));
    EXPECT_TRUE(::PtInRegion(region.get(), 100, 300));
}

TEST_F(ToolkitTest, UndecodablePictureLeavesTheWindowUncut) {
    ASSERT_TRUE(LoadWindow(kShaped));
    HWND hwnd = GetHandle(kShaped);
    const std::vector<uint8_t> blocks[] = {
        {0x13, 0x9a, 0x47, 0x00, 0xfe, 0x21, 0x88, 0x5c, 0x02, 0xd1},
        {},
        {'G', 'I', 'F', '8', '9', 'a', 0x01, 0x00},  // a truncated GIF
    };
    unique_hrgn region(::CreateRectRgn(0, 0, 0, 0));
    for (const auto& bytes : blocks) {
        SCOPED_TRACE(bytes.size());
        EXPECT_FALSE(ShapeWindowFromPicture(kShaped, bytes, 0xFFFFFF));
        EXPECT_EQ(::GetWindowRgn(hwnd, region.get()), ERROR);
    }
}

// A 1x1 GIF whose only pixel is white.
const std::vector<uint8_t> kWhiteGif = {'G',  'I',  'F',  '8',  '9',  'a',  0x01, 0x00, 0x01,
                                        0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                        0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                        0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

TEST_F(ToolkitTest, AllTransparentPictureGivesAnEmptyRegion) {
    ASSERT_TRUE(DecodePicture(kWhiteGif).has_value());
    ASSERT_TRUE(LoadWindow(kShaped));
    EXPECT_TRUE(ShapeWindowFromPicture(kShaped, kWhiteGif, 0xFFFFFF));
    unique_hrgn region(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::GetWindowRgn(GetHandle(kShaped), region.get()), NULLREGION);
}

// ---- Destroy requests and the message loop
// --------------------------------------------------------------------

bool g_controlAliveAtDestroy = false;
void CheckControlsAtDestroy(Event& e) noexcept {
    g_log.push_back("will be destroyed");
    g_controlAliveAtDestroy = ::IsWindow(GetHandle(e.window, "label")) != FALSE;
}
const ControlLayout kDestroyedControls[] = {
    {.name = "label", .kind = Kind::Label, .width = 10, .height = 10}};
const EventBinding kDestroyedEvents[] = {
    {nullptr, event::kMayClose, LogMayClose},
    {nullptr, event::kWillBeDestroyed, CheckControlsAtDestroy},
};
const WindowLayout kDestroyed = {.name = "Destroyed",
                                 .width = 100,
                                 .height = 100,
                                 .controls = kDestroyedControls,
                                 .events = kDestroyedEvents};

TEST_F(ToolkitTest, DestroyRequestIsCarriedOutByTheMessageLoopWhichThenEnds) {
    ASSERT_TRUE(LoadWindow(kDestroyed));
    HWND hwnd = GetHandle(kDestroyed);
    RequestDestroy(kDestroyed);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(IsLoaded(kDestroyed));
    EXPECT_EQ(g_log, Log{});

    EXPECT_EQ(RunMessageLoopAtMost(10000), 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_FALSE(IsLoaded(kDestroyed));
    EXPECT_EQ(g_log, Log{"will be destroyed"});  // no may-close event
    EXPECT_TRUE(g_controlAliveAtDestroy);
}

const WindowLayout kVisibleOne = {
    .name = "VisibleOne", .width = 100, .height = 100, .controls = {}, .events = {}};
const WindowLayout kHiddenOne = {
    .name = "HiddenOne", .width = 100, .height = 100, .visible = false, .controls = {}, .events = {}};
HWND g_visibleOneHandle = nullptr;
void CALLBACK DestroyHiddenOne(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    g_log.push_back(std::string("timer: visible one ") +
                    (::IsWindow(g_visibleOneHandle) ? "exists" : "gone"));
    RequestDestroy(kHiddenOne);
}

TEST_F(ToolkitTest, HiddenLoadedWindowKeepsTheMessageLoopRunning) {
    ASSERT_TRUE(LoadWindow(kVisibleOne));
    ASSERT_TRUE(LoadWindow(kHiddenOne));
    g_visibleOneHandle = GetHandle(kVisibleOne);
    RequestDestroy(kVisibleOne);
    ::SetTimer(nullptr, 0, 300, &DestroyHiddenOne);

    EXPECT_EQ(RunMessageLoopAtMost(10000), 0);
    EXPECT_EQ(g_log, Log{"timer: visible one gone"});
    EXPECT_FALSE(IsLoaded(kHiddenOne));
}

TEST_F(ToolkitTest, MessageLoopReturnsAtOnceWithNoWindowLoaded) {
    EXPECT_EQ(RunMessageLoopAtMost(5000), 0);
}

// ---- The end of the program
// ---------------------------------------------------------------------------------

int g_exitRoutineRuns = 0;
void CountExitRoutine() {
    ++g_exitRoutineRuns;
}

TEST_F(ToolkitTest, EndProgramRunsTheExitRoutineOnce) {
    SetExitRoutine(&CountExitRoutine);
    EndProgram(0);
    EndProgram(0);
    EXPECT_EQ(g_exitRoutineRuns, 1);
}

// Child processes: the test exe started again, running one test that only acts when the environment asks.
constexpr wchar_t kChildModeVariable[] = L"THORNVALE_TOOLKIT_CHILD";
constexpr wchar_t kChildDirVariable[] = L"THORNVALE_TOOLKIT_CHILD_DIR";

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD n = ::GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
    return n && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring ExePath() {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 2);
    return std::wstring(buffer, n);
}

void WriteFileText(const std::wstring& path, const std::string& text) {
    unique_handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        (void)file.release();
        return;
    }
    DWORD written = 0;
    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The file's text, or "(missing)".
std::string ReadFileText(const std::wstring& path) {
    unique_handle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        (void)file.release();
        return "(missing)";
    }
    std::string text(4096, '\0');
    DWORD read = 0;
    ::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    text.resize(read);
    return text;
}

struct ChildResult {
    bool finished = false;
    DWORD exitCode = 0;
};

// Runs one child test with the given mode, in `currentDir`, and waits for it (at most 30 s).
ChildResult RunChild(const wchar_t* test, const wchar_t* mode, const std::wstring& markerDir,
                     const std::wstring& currentDir) {
    ::SetEnvironmentVariableW(kChildModeVariable, mode);
    ::SetEnvironmentVariableW(kChildDirVariable, markerDir.c_str());
    std::wstring commandLine = L"\"" + ExePath() + L"\" --gtest_filter=ToolkitChild." + test;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    currentDir.c_str(), &si, &pi);
    ::SetEnvironmentVariableW(kChildModeVariable, nullptr);
    ::SetEnvironmentVariableW(kChildDirVariable, nullptr);
    ChildResult result;
    if (!started) return result;
    unique_handle process(pi.hProcess), thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 0x7E57);
        ::WaitForSingleObject(process.get(), 5000);
        return result;
    }
    result.finished = ::GetExitCodeProcess(process.get(), &result.exitCode) != FALSE;
    return result;
}

// A folder of the test's own under the temp folder, removed with its files at the end.
class MarkerDir {
  public:
    MarkerDir() {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"toolkit_test_" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~MarkerDir() {
        for (const wchar_t* name : {L"\\exit.txt", L"\\report.txt", L"\\cwd.txt"})
            ::DeleteFileW((path_ + name).c_str());
        ::RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    DWORD n = ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder(temp, n);
    if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring DirectoryOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST_F(ToolkitTest, FatalEndReportsSkipsTheExitRoutineAndEndsTheProcessWithMinusOne) {
    MarkerDir markers;
    ChildResult child = RunChild(L"FatalEnd", L"fatal", markers.path(), TempFolder());
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0xFFFFFFFFu);
    std::string report = ReadFileText(markers.File(L"report.txt"));
    EXPECT_NE(report.find("NeverLoaded"), std::string::npos) << report;
    EXPECT_EQ(ReadFileText(markers.File(L"exit.txt")), "(missing)");
}

TEST_F(ToolkitTest, InitToolkitMakesTheProgramDirectoryCurrentWhenStartedElsewhere) {
    MarkerDir markers;
    std::wstring elsewhere = TempFolder();
    ASSERT_FALSE(SameFolder(elsewhere, DirectoryOf(ExePath())));
    ChildResult child = RunChild(L"CurrentDirectory", L"cwd", markers.path(), elsewhere);
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0u);
    std::string seen = ReadFileText(markers.File(L"cwd.txt"));
    EXPECT_TRUE(SameFolder(Widen(seen), DirectoryOf(ExePath())))
        << seen << " vs " << Narrow(DirectoryOf(ExePath()));
}

std::wstring g_childDir;
void ChildExitRoutine() {
    WriteFileText(g_childDir + L"\\exit.txt", "ran");
}
void ChildReporter(const std::string& message) {
    WriteFileText(g_childDir + L"\\report.txt", message);
}
const WindowLayout kNeverLoaded = {
    .name = "NeverLoaded", .width = 10, .height = 10, .controls = {}, .events = {}};

TEST(ToolkitChild, FatalEnd) {
    if (EnvironmentValue(kChildModeVariable) != L"fatal") GTEST_SKIP() << "runs only as a child process";
    g_childDir = EnvironmentValue(kChildDirVariable);
    SetExitRoutine(&ChildExitRoutine);
    SetFatalHandlers(&ChildReporter, nullptr);
    GetHandle(kNeverLoaded);
    ADD_FAILURE() << "the process should have ended";
}

TEST(ToolkitChild, CurrentDirectory) {
    if (EnvironmentValue(kChildModeVariable) != L"cwd") GTEST_SKIP() << "runs only as a child process";
    InitToolkit({});
    wchar_t current[MAX_PATH * 2] = {};
    DWORD n = ::GetCurrentDirectoryW(MAX_PATH * 2, current);
    WriteFileText(EnvironmentValue(kChildDirVariable) + L"\\cwd.txt", Narrow(std::wstring(current, n)));
}

// ---- Web browser box properties and focus
// --------------------------------------------------------------------

void LogAddress(Event& e) noexcept {
    g_log.push_back(std::string(e.number == event::kReady ? "ready " : "navigate ") +
                    GetText(e.window, e.control, kAddress));
}
const ControlLayout kBrowserControls[] = {
    {.name = "web", .kind = Kind::WebBrowserBox, .left = 7, .top = 9, .width = 150, .height = 100}};
const EventBinding kBrowserEvents[] = {
    {"web", event::kAboutToNavigate, LogAddress},
    {"web", event::kReady, LogAddress},
};
const WindowLayout kBrowser = {
    .name = "Browser", .width = 300, .height = 200, .controls = kBrowserControls, .events = kBrowserEvents};

TEST_F(ToolkitTest, BrowserBoxDimensionsAreClampedAndEachWriteKeepsTheRest) {
    ASSERT_TRUE(LoadWindow(kBrowser));
    struct Case {
        int index, written;
        const char* placeAfter;  // left,top width x height
    };
    const Case cases[] = {
        {kWidth, -25, "7,9 0x100"},          {kWidth, 40000, "7,9 32627x100"}, {kHeight, -25, "7,9 32627x0"},
        {kHeight, 40000, "7,9 32627x32627"}, {kWidth, 320, "7,9 320x32627"},   {kHeight, 0, "7,9 320x0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + " := " + std::to_string(c.written));
        SetInt(kBrowser, "web", c.index, c.written);
        std::string place = std::to_string(GetInt(kBrowser, "web", kLeft)) + "," +
                            std::to_string(GetInt(kBrowser, "web", kTop)) + " " +
                            std::to_string(GetInt(kBrowser, "web", kWidth)) + "x" +
                            std::to_string(GetInt(kBrowser, "web", kHeight));
        EXPECT_EQ(place, c.placeAfter);
    }
}

TEST_F(ToolkitTest, BrowserAddressIsTheEventsAddressInsideItsHandlersAndTheLocationOutside) {
    ASSERT_TRUE(LoadWindow(kBrowser));
    FakeWebEngine* engine = FakeWebEngine::ForHost(GetHandle(kBrowser, "web"));
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(GetText(kBrowser, "web", kAddress), "");

    SetText(kBrowser, "web", kAddress, "http://a.test/");
    EXPECT_EQ(GetText(kBrowser, "web", kAddress), "http://a.test/");
    // Inside the handler the address is the new one, although the location is still the old one.
    SetText(kBrowser, "web", kAddress, "http://b.test/page");
    engine->CompleteDocument("http://frame.test/inner");
    EXPECT_EQ(g_log, (Log{"navigate http://a.test/", "navigate http://b.test/page",
                          "ready http://frame.test/inner"}));
    EXPECT_EQ(GetText(kBrowser, "web", kAddress), "http://b.test/page");
}

TEST_F(ToolkitTest, EveryAddressWriteNavigatesEvenToTheSameAddress) {
    ASSERT_TRUE(LoadWindow(kBrowser));
    FakeWebEngine* engine = FakeWebEngine::ForHost(GetHandle(kBrowser, "web"));
    ASSERT_NE(engine, nullptr);
    SetText(kBrowser, "web", kAddress, "http://same.test/");
    SetText(kBrowser, "web", kAddress, "http://same.test/");
    EXPECT_EQ(CountOf(engine->Calls(), "Navigate(http://same.test/)"), 2);
    EXPECT_EQ(g_log, (Log{"navigate http://same.test/", "navigate http://same.test/"}));
}

enum class Answer { None, Allow, Refuse };
Answer g_answer = Answer::None;
void AnswerNavigation(Event& e) noexcept {
    if (g_answer == Answer::Allow) e.Return(true);
    if (g_answer == Answer::Refuse) e.Return(false);
}
const EventBinding kAnsweringEvents[] = {{"web", event::kAboutToNavigate, AnswerNavigation}};
const WindowLayout kAnswering = {.name = "Answering",
                                 .width = 300,
                                 .height = 200,
                                 .controls = kBrowserControls,
                                 .events = kAnsweringEvents};

TEST_F(ToolkitTest, AboutToNavigateHandlerReturningFalseCancelsTheNavigation) {
    ASSERT_TRUE(LoadWindow(kAnswering));
    FakeWebEngine* engine = FakeWebEngine::ForHost(GetHandle(kAnswering, "web"));
    ASSERT_NE(engine, nullptr);
    struct Case {
        Answer answer;
        const char* url;
        bool proceeds;
        const char* locationAfter;
    };
    const Case cases[] = {
        {Answer::None, "http://one.test/", true, "http://one.test/"},
        {Answer::Refuse, "http://two.test/", false, "http://one.test/"},
        {Answer::Allow, "http://three.test/", true, "http://three.test/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        g_answer = c.answer;
        EXPECT_EQ(engine->StartNavigation(c.url), c.proceeds);
        EXPECT_EQ(engine->LocationUrl(), c.locationAfter);
    }
}

constexpr ControlLayout FocusBox(const char* name, int order, bool visible = true, bool disabled = false) {
    return ControlLayout{.name = name,
                         .kind = Kind::WebBrowserBox,
                         .width = 40,
                         .height = 30,
                         .visible = visible,
                         .disabled = disabled,
                         .tabStop = true,
                         .tabOrder = order};
}
const ControlLayout kFocusControls[] = {
    FocusBox("web1", 1),
    FocusBox("web2", 0),
    FocusBox("web3", 0),  // the latest of the lowest tab order
    FocusBox("hidden", 0, false),
    FocusBox("disabled", 0, true, true),
    {.name = "notab", .kind = Kind::WebBrowserBox, .width = 40, .height = 30, .tabOrder = -1},
};
const WindowLayout kFocus = {.name = "Focus",
                             .left = 10,
                             .top = 10,
                             .width = 300,
                             .height = 200,
                             .controls = kFocusControls,
                             .events = {}};

int FocusCalls(const char* control) {
    FakeWebEngine* engine = FakeWebEngine::ForHost(GetHandle(kFocus, control));
    return engine ? CountOf(engine->Calls(), "Focus()") : -1;
}

TEST_F(ToolkitTest, WindowGivesItsFocusToTheLastFocusedControlElseToTheFirstTabStop) {
    ASSERT_TRUE(LoadWindow(kFocus));
    HWND hwnd = GetHandle(kFocus);
    tk::unique_hwnd other(::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 400, 10, 50, 50,
                                            nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(other);

    // Activation gives the focus to the window, which passes it on.
    ::SetActiveWindow(other.get());
    ASSERT_NE(::GetActiveWindow(), hwnd);
    const char* names[] = {"web1", "web2", "web3", "hidden", "disabled", "notab"};
    std::vector<int> before;
    for (const char* n : names) before.push_back(FocusCalls(n));
    ::SetActiveWindow(hwnd);
    ASSERT_EQ(::GetActiveWindow(), hwnd);
    std::vector<int> gained;
    for (size_t i = 0; i < std::size(names); ++i) gained.push_back(FocusCalls(names[i]) - before[i]);
    EXPECT_EQ(gained, (std::vector<int>{0, 0, 1, 0, 0, 0}));

    // The control that had the focus when the window was deactivated gets it back.
    FakeWebEngine* web1 = FakeWebEngine::ForHost(GetHandle(kFocus, "web1"));
    ASSERT_NE(web1, nullptr);
    web1->Focus();
    ASSERT_EQ(::GetFocus(), web1->PageWindow());
    ::SetActiveWindow(other.get());
    int web1Before = FocusCalls("web1"), web3Before = FocusCalls("web3");
    ::SetActiveWindow(hwnd);
    EXPECT_EQ(FocusCalls("web1") - web1Before, 1);
    EXPECT_EQ(FocusCalls("web3") - web3Before, 0);
}

}  // namespace
