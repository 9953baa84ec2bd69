// The headless device of the texture tests with the kernel objects that
// vertex buffers copy through, and the resource collector over a pack made
// from a test's data tree, for the game layer's tests that draw through
// materials and meshes read by name.
#pragma once

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Pack/Harvester.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <string>

class PackedDeviceTest : public TextureTest {
protected:
    void SetUp() override
    {
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        TextureTest::SetUp();
    }

    void TearDown() override
    {
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        CHarvester::Unmount();
        g_packPath = "";
        TextureTest::TearDown();
    }

    // Packs the files written under dir's "tree", mounts the pack and makes
    // the resource collector; true when all of it worked.
    bool MountTree(CTestTempDir& dir)
    {
        std::string error;
        if (!WritePackFromDirectory((dir / "resource.fpk").c_str(), (dir / "tree").c_str(), &error)) {
            ADD_FAILURE() << error;
            return false;
        }
        g_packPath = (dir / "resource.fpk").c_str();
        if (!CHarvester::MountSinglePack(g_packPath))
            return false;
        g_pGmResCollector = new CGmResCollector();
        return true;
    }
};
