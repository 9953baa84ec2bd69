// A list box of 1,000 items in the demo's baked font, scrolled one line a
// frame by the wheel (the text control's wheel event, as the mouse delivers
// it) with a current item and its selection picture, its set updated and the
// list drawn; against a bare CGmText of the same items, clipped to the same
// box, given the same offsets, updated and drawn. Both wrap to the top after
// the last line. Every frame ends with one pixel read back, so both sides
// wait for the rasteriser.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "bench/Support/Bench2dScene.h"
#include "bench/Support/BenchDemoFont.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr int kItems = 1000;
constexpr float kWidth = 600.0f;
constexpr float kHeight = 400.0f;
constexpr float kBar = 16.0f;

CGeWString MakeItems()
{
    std::u16string items;
    for (int i = 0; i < kItems; ++i) {
        const std::string line = "Item " + std::to_string(i) + ": the copper kettle's voyage";
        items += std::u16string(line.begin(), line.end());
        if (i + 1 < kItems)
            items += u"\n";
    }
    return CGeWString(items.c_str());
}

uint32_t ReadOnePixel()
{
    uint32_t pixel = 0;
    glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return pixel;
}

class CListScene : public CBench2dScene {
public:
    CListScene()
    {
        g_pGmResCollector = new CGmResCollector();
        font = LoadDemoFont();
        CGmTexture* texture = new CGmTexture();
        texture->Create(8, 8, GM_FMT_A8R8G8B8, false);
        CGmImageSet* selection = new CGmImageSet();
        selection->Init(texture, 1, 1);
        texture->Release();
        CGuiResources::spriteSchemas[CGeString("selection")] = selection;
    }
    ~CListScene()
    {
        CGuiResources::FreeAll();
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
    }

    void Draw(CGmVisualObject* visual, CGuiControl* control)
    {
        g_pGmDevice->Clear(GE_CLEAR_TARGET, 0xFF000000, 1.0f);
        g_pGmDevice->BeginScene();
        if (visual)
            visual->Render();
        if (control)
            control->Render();
        g_pGmDevice->EndScene();
        benchmark::DoNotOptimize(ReadOnePixel());
    }

    CGuiFont* font = nullptr;
    CGeWString items = MakeItems();
};

void BM_ListBoxWheel(benchmark::State& state)
{
    CBenchDevice device;
    CListScene scene;
    if (!scene.font) {
        state.SkipWithError("the demo font did not load");
        return;
    }
    CGeMouseState mouse;
    CGuiManager manager;
    manager.mouse = &mouse;
    CGuiControlSet* set = manager.CreateControlSet("main");
    auto* list = static_cast<CGuiListBox*>(set->CreateControl(CGeString("list"), EGCT_LISTBOX));
    list->SetSize(kWidth, kHeight);
    list->SetPosition(40.0f, 40.0f);
    list->SetProperty(EP_Font, CGeValue("STAT_FONT_MIDDLE"), false);
    list->SetProperty(EP_HorzScrollBarWidth, GuiMakeFloat(kBar), false);
    list->SetProperty(EP_VertScrollBarWidth, GuiMakeFloat(kBar), false);
    list->SetProperty(EP_SelectionPic, CGeValue("selection"), false);
    list->SetProperty(EP_Items, CGeValue(scene.items), true);
    list->SetCurItem(3);
    const float range = list->GetScrollRange().y;
    auto frame = [&]() {
        if (list->GetScrollOffset().y >= range)
            list->SetScrollOffset({0.0f, 0.0f});
        // One notch towards the user: down one line.
        mouse.previousWheel = mouse.wheel;
        mouse.wheel -= 1;
        list->OnChildEvent(list->textControl, GUI_EV_WHEEL);
        set->Update();
        scene.Draw(nullptr, list);
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ListBoxWheel)->Unit(benchmark::kMicrosecond);

void BM_BareText(benchmark::State& state)
{
    CBenchDevice device;
    CListScene scene;
    if (!scene.font) {
        state.SkipWithError("the demo font did not load");
        return;
    }
    CGmText text(scene.font);
    const float box[2] = {kWidth - kBar, kHeight - kBar};
    text.SetClipSize(box, 1);
    text.wrapMode = 0;
    text.frame.SetPosition({40.0f, 40.0f, 0.0f});
    text.Layout(scene.items);
    text.Update();
    float height = 0.0f;
    text.Measure(scene.items, nullptr, &height);
    const float range = std::trunc(height - box[1]);
    auto frame = [&]() {
        float y = text.scrollOffset[1] + text.lineHeight;
        if (text.scrollOffset[1] >= range)
            y = 0.0f;
        text.scrollOffset[1] = y < range ? y : range;
        text.dirty = 1;
        text.Update();
        scene.Draw(&text, nullptr);
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareText)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PrepareProcess();
    if (chdir(QM_DEMO_DATA) != 0) {
        std::fprintf(stderr, "%s cannot be entered\n", QM_DEMO_DATA);
        return 1;
    }
    GeCpuProbeCreate();
    GeSimdCreate();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("A 1,000-item list box scrolled a line a frame by the wheel and drawn, against "
                                     "the bare text visual at the same offsets");
    reporter.PrintRatio("list box (target: 1.2 or below)", "BM_ListBoxWheel", "BM_BareText");
    benchmark::Shutdown();
    return 0;
}
