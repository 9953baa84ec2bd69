// What the particle tests share: a frame timer driven by a counter of the
// test's own, a scratch directory made the working directory (data names are
// lower-cased, so files are reached by relative names), a small TGA, the
// resource collector, and effect files written from text.
#pragma once

#include "Engine/Anim/GcParticleSystem.h"
#include "Engine/Anim/GcPsysEffect.h"
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

// The processor probe and the SIMD kernels that vertex buffers and images use.
inline void EnsureEngineKernels()
{
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
}

class ParticleTestClock : public CGeClock {
public:
    int64_t Counter() override { return ticks; }
    int64_t Frequency() override { return 1000000; }
    int64_t ticks = 0;
};

// A w by h TGA of one ARGB colour.
inline std::string SolidTga(uint32_t w, uint32_t h, uint32_t argb)
{
    imagefixture::TgaSpec spec;
    spec.width = w;
    spec.height = h;
    spec.bitsPerPixel = 32;
    spec.topFirst = true;
    for (uint32_t i = 0; i < w * h; ++i) {
        spec.pixels.push_back(uint8_t(argb));
        spec.pixels.push_back(uint8_t(argb >> 8));
        spec.pixels.push_back(uint8_t(argb >> 16));
        spec.pixels.push_back(uint8_t(argb >> 24));
    }
    const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
    return std::string(bytes.begin(), bytes.end());
}

// A "PARTICLE_SYSTEM" element: the name, the properties as name/text pairs
// (count and image added unless given) and extra inner XML (PROCs).
inline std::string SystemXml(const std::string& name, const std::string& properties, const std::string& procs = "")
{
    std::string xml = "<PARTICLE_SYSTEM Name=\"" + name + "\">";
    if (properties.find("\"EP_PS_ParticleCount\"") == std::string::npos)
        xml += "<PROPERTY Name=\"EP_PS_ParticleCount\">4</PROPERTY>";
    if (properties.find("\"EP_PS_Image\"") == std::string::npos)
        xml += "<PROPERTY Name=\"EP_PS_Image\">spark.tga</PROPERTY>";
    return xml + properties + procs + "</PARTICLE_SYSTEM>";
}

inline std::string Property(const std::string& name, const std::string& text)
{
    return "<PROPERTY Name=\"" + name + "\">" + text + "</PROPERTY>";
}

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureEngineKernels();
        previousDir = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        dir.Write("spark.tga", SolidTga(4, 4, 0xFFFFFFFF));
        g_pGmResCollector = new CGmResCollector();
        timer.reset(new CGeTimer(1.0f, &clock));
        timer->maxDelta = 0.5f;
        g_geTimer = timer.get();
        GeSrand(1234);
        GeLogClearLast();
    }

    void TearDown() override
    {
        g_geTimer = nullptr;
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
        CGeHub::s_cameras3d[0] = nullptr;
        std::filesystem::current_path(previousDir);
    }

    // Advances the clock by seconds and ticks the timer.
    void Tick(double seconds)
    {
        clock.ticks += int64_t(seconds * 1000000.0 + 0.5);
        timer->Update();
    }

    // Writes an effect file below the scratch directory and loads it.
    CGcPsysEffect* Load(const std::string& body, const std::string& name = "effect.xml")
    {
        dir.Write(name, "<PS_COLLECTION>" + body + "</PS_COLLECTION>");
        CGcPsysEffect* effect = nullptr;
        LoadPsysEffect(name.c_str(), &effect);
        return effect;
    }

    // The entry of a named system, or null.
    static CGcParticleSystem* SystemOf(CGcPsysEffect* effect, const char* name)
    {
        for (const GcPsysEntry& entry : effect->entries)
            if (entry.name == name)
                return entry.system;
        return nullptr;
    }

    CTestTempDir dir;
    std::filesystem::path previousDir;
    CErrorBoxRecorder errorBoxes;
    ParticleTestClock clock;
    std::unique_ptr<CGeTimer> timer;
};
