// What every mini-game test under the real game processor sets up first:
// the processor over its fakes with message delivery on, a data root in a
// scratch directory, the main control set made current, the animation makers
// and a resource collector. Tear-down finishes a game still running before
// the locations go, so no game outlives the figures it holds.
#pragma once

#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Source/GameClasses/QmAnimLink.h"
#include "Source/GameClasses/QmUnifiedCollector.h"
#include "tests/Source/GameClasses/GameProcessorFakes.h"
#include "tests/Support/TestTempDir.h"

class ArcadeProcessorTest : public GameProcessorTest {
protected:
    void SetUp() override
    {
        GameProcessorTest::SetUp();
        m_dispatcher->deliveryEnabled = 1;
        g_dataRoot = (m_data.Path() + "/").c_str();
        g_mainControlSet = m_gui.CreateControlSet(CGeString("mainCtrlSet"));
        m_gui.currentSet = g_mainControlSet;
        QmAnimInstallMakers();
        g_pGmResCollector = &m_collector;
        // No start-up sizes the screen here: reference pixels are the
        // device's, whatever a game started earlier in the process left.
        for (float* scale : g_gm2dScale)
            scale[0] = scale[1] = 1.0f;
    }
    void TearDown() override
    {
        if (m_processor->currentArcade && m_processor->currentArcade->active)
            m_processor->currentArcade->Finish();
        m_processor->currentArcade = nullptr;
        m_locations.Clear();
        CQmUnifiedCollector::ClearTracks();
        g_pGmResCollector = nullptr;
        g_mainControlSet = nullptr;
        g_dataRoot = "";
        GameProcessorTest::TearDown();
    }

    CTestTempDir m_data;
    CGmResCollector m_collector;
};
