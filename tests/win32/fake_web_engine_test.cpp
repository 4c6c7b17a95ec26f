// The fake must look like the real control to the box: same window levels, same synchronous navigation
// question, a page window that can be swapped out. Also covers the engine factory it is installed through.
#include "fake_web_engine.h"

#include "toolkit/handle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "recording_events.h"

namespace {

tk::unique_hwnd CreateHostWindow() {
    return tk::unique_hwnd(::CreateWindowExW(0, L"STATIC", L"fake host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                             0, 500, 400, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                             nullptr));
}

RECT ClientOf(HWND hwnd) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    return rc;
}

void ExpectOnlyChildFillingParent(HWND parent, HWND child) {
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(::GetParent(child), parent);
    EXPECT_EQ(::GetWindow(parent, GW_CHILD), child);
    EXPECT_EQ(::GetWindow(child, GW_HWNDNEXT), nullptr);
    RECT outer = ClientOf(parent), inner{};
    ::GetWindowRect(child, &inner);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inner), 2);
    EXPECT_EQ(inner.left, 0);
    EXPECT_EQ(inner.top, 0);
    EXPECT_EQ(inner.right, outer.right);
    EXPECT_EQ(inner.bottom, outer.bottom);
}

class FakeWebEngineTest : public testing::Test {
  protected:
    void SetUp() override {
        host_ = CreateHostWindow();
        ASSERT_TRUE(host_);
        engine_ = FakeWebEngine::Create();
        ASSERT_TRUE(engine_->Create(host_.get(), &events_));
        fake_ = FakeWebEngine::ForHost(host_.get());
        ASSERT_NE(fake_, nullptr);
    }
    void TearDown() override {
        if (engine_) engine_->Close();
        engine_.reset();
        host_.reset();
    }

    RecordingEvents events_;
    tk::unique_hwnd host_;
    std::unique_ptr<tk::WebEngine> engine_;
    FakeWebEngine* fake_ = nullptr;
};

TEST_F(FakeWebEngineTest, BuildsThreeNestedLevelsThatFollowResize) {
    EXPECT_EQ(FakeWebEngine::Latest(), fake_);
    ExpectOnlyChildFillingParent(host_.get(), fake_->OuterWindow());
    ExpectOnlyChildFillingParent(fake_->OuterWindow(), fake_->ViewWindow());
    ExpectOnlyChildFillingParent(fake_->ViewWindow(), fake_->PageWindow());
    EXPECT_EQ(::GetWindow(fake_->PageWindow(), GW_CHILD), nullptr);

    ::SetWindowPos(host_.get(), nullptr, 0, 0, 700, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT client = ClientOf(host_.get());
    engine_->Resize(client.right, client.bottom);
    EXPECT_EQ(ClientOf(fake_->PageWindow()).right, client.right);
    EXPECT_EQ(ClientOf(fake_->PageWindow()).bottom, client.bottom);
}

TEST_F(FakeWebEngineTest, ReplacePageWindowPutsANewWindowInTheOldOnesPlace) {
    HWND old_page = fake_->PageWindow();
    fake_->ReplacePageWindow();
    EXPECT_FALSE(::IsWindow(old_page));
    EXPECT_NE(fake_->PageWindow(), old_page);
    ExpectOnlyChildFillingParent(fake_->ViewWindow(), fake_->PageWindow());
}

TEST_F(FakeWebEngineTest, NavigationHonoursCancelAndLogsCallsInOrder) {
    engine_->SetOffline(true);
    engine_->SetSilent(true);
    engine_->SetFontSize(2);

    events_.cancel = true;
    engine_->Navigate("http://blocked.example/");
    EXPECT_EQ(engine_->LocationUrl(), "");
    EXPECT_FALSE(fake_->StartNavigation("http://blocked.example/frame"));
    EXPECT_EQ(engine_->LocationUrl(), "");

    events_.cancel = false;
    engine_->Navigate("http://game.example/login");
    EXPECT_EQ(engine_->LocationUrl(), "http://game.example/login");
    EXPECT_TRUE(fake_->StartNavigation("http://game.example/next"));
    EXPECT_EQ(engine_->LocationUrl(), "http://game.example/next");
    fake_->CompleteDocument("http://game.example/next");

    EXPECT_EQ(events_.before,
              (std::vector<std::string>{"http://blocked.example/", "http://blocked.example/frame",
                                        "http://game.example/login", "http://game.example/next"}));
    EXPECT_EQ(events_.completed, std::vector<std::string>{"http://game.example/next"});
    EXPECT_EQ(fake_->Calls(), (std::vector<std::string>{"SetOffline(true)", "SetSilent(true)",
                                                        "SetFontSize(2)", "Navigate(http://blocked.example/)",
                                                        "Navigate(http://game.example/login)"}));
}

TEST_F(FakeWebEngineTest, CloseRemovesTheWindowsAndSilencesEvents) {
    engine_->Close();
    EXPECT_EQ(::GetWindow(host_.get(), GW_CHILD), nullptr);
    EXPECT_FALSE(fake_->StartNavigation("http://late.example/"));
    fake_->CompleteDocument("http://late.example/");
    EXPECT_TRUE(events_.before.empty());
    EXPECT_TRUE(events_.completed.empty());

    engine_.reset();
    EXPECT_EQ(FakeWebEngine::ForHost(host_.get()), nullptr);
}

TEST(WebEngineFactoryTest, CreatesFromTheInstalledFactoryOnly) {
    tk::SetWebEngineFactory(nullptr);
    EXPECT_EQ(tk::CreateWebEngine(), nullptr);

    tk::SetWebEngineFactory(&FakeWebEngine::Create);
    auto engine = tk::CreateWebEngine();
    EXPECT_NE(dynamic_cast<FakeWebEngine*>(engine.get()), nullptr);
    tk::SetWebEngineFactory(nullptr);
}

TEST(FakeWebEngineFailureTest, CreateFailsWhenToldTo) {
    tk::unique_hwnd host = CreateHostWindow();
    FakeWebEngine::SetCreateFails(true);
    FakeWebEngine engine;
    RecordingEvents events;
    EXPECT_FALSE(engine.Create(host.get(), &events));
    FakeWebEngine::SetCreateFails(false);
    EXPECT_EQ(::GetWindow(host.get(), GW_CHILD), nullptr);
    EXPECT_EQ(FakeWebEngine::ForHost(host.get()), nullptr);
}

}  // namespace
