// A current location "harbour" for the motion and trigger tests, with helpers
// that add curve ways and entities to it.
#pragma once

#include "Source/GameClasses/QmCurveWay.h"
#include "Source/GameClasses/QmEntityLoader.h"
#include "Source/GameClasses/QmLocation.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <tinyxml.h>

#include <string>
#include <vector>

class MotionLocationTest : public LocationTest {
protected:
    void SetUp() override
    {
        LocationTest::SetUp();
        location = new CQmLocation("harbour");
        manager.Adopt(location);
        manager.current = location;
    }

    // A curve way of the given type through the points, read by the loader's
    // reader and registered under its name.
    void AddCurveWay(const char* name, const char* type, float time, const std::vector<Vec3>& points)
    {
        std::string text = std::string("<curve_way type=\"") + type + "\" name=\"" + name + "\" time=\"" +
                           std::to_string(time) + "\">";
        for (const Vec3& p : points)
            text +=
                "<point pos=\"" + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\"/>";
        TiXmlDocument document;
        document.Parse((text + "</curve_way>").c_str());
        auto* record = new QmCurveWay;
        ASSERT_TRUE(LoadCurveWay(*record, document.RootElement()));
        location->curveWays.InsertNode(CGeString(name), record);
    }

    // An entity read from its element into the location.
    CQmEntity* Read(const std::string& text)
    {
        TiXmlDocument document;
        document.Parse(text.c_str());
        return LoadEntity(document.RootElement(), true, nullptr);
    }

    // A plain entity at a place, its world matrix up to date.
    CQmEntity* Add(const char* name, const Vec3& at = Vec3{0.0f, 0.0f, 0.0f})
    {
        auto* entity = new CQmEntity;
        entity->name = name;
        location->AddNamedObject(entity->name, entity, false);
        Place(entity, at);
        return entity;
    }

    static void Place(CQmEntity* entity, const Vec3& at)
    {
        entity->frame.SetPosition(at);
        entity->frame.UpdateWorldMatrix();
    }

    CQmLocation* location = nullptr;
};
