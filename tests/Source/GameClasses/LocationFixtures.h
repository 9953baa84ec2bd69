// Locations for tests: a data tree written into a scratch directory (location
// files and location scripts under the data root), probe properties that
// journal what is done to them, entities with a probe in every slot, and a
// fixture with a started script processor, the event recorder, a frame timer
// moved by hand and a location manager whose loader runs a test's builder.
#pragma once

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "tests/Source/GameClasses/ScriptEventRecorder.h"
#include "tests/Source/GameClasses/ScriptTestFixture.h"
#include "tests/Support/TestTempDir.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline std::vector<std::string> g_propJournal;

// A property that journals "<entity>.<slot> <what>" for update, event,
// enable and delete.
class ProbeProp : public CQmProp {
public:
    ProbeProp(CQmEntity* owner, uint32_t propSlot) : CQmProp(owner), slot(propSlot) {}
    ~ProbeProp() override { Note("delete"); }
    void SetEnabled(bool flag) override
    {
        CQmProp::SetEnabled(flag);
        Note(flag ? "on" : "off");
    }
    void Update() override { Note("update"); }
    void OnEvent(uint32_t code) override { Note("event " + std::to_string(code)); }
    void Note(const std::string& what) const
    {
        g_propJournal.push_back(owner->name.c_str() + std::string(".") + std::to_string(slot) + " " + what);
    }

    uint32_t slot;
};

// An entity named name with a probe in each of the given slots (every slot
// by default), all switched on.
inline CQmEntity* ProbeEntity(const char* name, std::vector<uint32_t> slots = {})
{
    if (slots.empty())
        for (uint32_t slot = 0; slot < kQmPropSlots; ++slot)
            slots.push_back(slot);
    auto* entity = new CQmEntity;
    entity->name = name;
    for (uint32_t slot : slots) {
        entity->SetProp(slot, new ProbeProp(entity, slot));
        entity->props[slot]->enabled = 1;
    }
    return entity;
}

// The data tree: "Locations/<name>.xml" and "Scripts/<name>.lua" below a
// scratch directory that becomes the data root.
class CLocationTree {
public:
    CLocationTree() { g_dataRoot = (dir.Path() + "/").c_str(); }
    ~CLocationTree() { g_dataRoot = ""; }
    // A location file and, when script is not null, its script file.
    void Location(const std::string& name, const char* script = nullptr)
    {
        dir.Write("Locations/" + name + ".xml", "<location name=\"" + name + "\"/>\n");
        if (script)
            dir.Write("Scripts/" + name + ".lua", script);
    }
    std::string Path(const std::string& name) const { return dir / ("Locations/" + name + ".xml"); }
    CTestTempDir dir;
};

class LocationTest : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        // Sprites and vertex buffers use the kernel object.
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        g_propJournal.clear();
        recorder = std::make_unique<CScriptEventRecorder>();
        recorder->Record({"global_on_change_location"});
        g_locationManager = &manager;
        s_builder = nullptr;
        m_previousLoader = CQmLocationManager::SetLoader(BuildLocation);
        GeLogClearLast();
    }

    void TearDown() override
    {
        manager.Clear();
        g_locationManager = nullptr;
        CQmLocationManager::SetLoader(m_previousLoader);
        s_builder = nullptr;
        recorder.reset();
        ScriptTest::TearDown();
    }

    // The loader of the tests: names the location, then runs the builder.
    static bool BuildLocation(CQmLocation& location, const uint8_t*, uint32_t, const CGeString& key)
    {
        location.name = key;
        if (s_builder)
            s_builder(location);
        return true;
    }

    // One frame of the given length through the timer (the frame counter
    // moves) and the location's update.
    void Tick(CQmLocation& location, double seconds)
    {
        m_clock.ticks += static_cast<int64_t>(seconds * 1000.0 + 0.5);
        m_timer.Update();
        location.Update(m_timer.delta);
    }

    CLocationTree tree;
    CQmLocationManager manager;
    std::unique_ptr<CScriptEventRecorder> recorder;
    static inline std::function<void(CQmLocation&)> s_builder;

private:
    QmLocationLoader m_previousLoader = nullptr;
};
