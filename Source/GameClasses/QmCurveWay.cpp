#include "Source/GameClasses/QmCurveWay.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"

#include <cstring>
#include <tinyxml.h>

bool LoadCurveWay(QmCurveWay& record, const TiXmlElement* element)
{
    delete record.curve;
    record.curve = nullptr;
    record.duration = 0.0f;
    record.kind = QM_CURVE_NONE;
    record.name[0] = '\0';
    if (!element)
        return false;
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);

    const char* type = XmlGetText("type", handle);
    if (!type)
        XmlReportMissing(element, "type");
    const char* name = XmlGetText("name", handle);
    if (!name) {
        XmlReportMissing(element, "name");
        return false;
    }
    if (!*name)
        return false;
    if (std::strlen(name) >= sizeof(record.name)) {
        GeLog(2, "LoadCurveWay: curve way name '%s' is longer than %u characters - ignored!\n", name,
              unsigned(sizeof(record.name) - 1));
        return false;
    }
    if (!XmlHasAttribute("time", handle))
        return false;
    record.duration = XmlGetFloat("time", handle);

    if (type && std::strcmp(type, "bezier") == 0) {
        record.kind = QM_CURVE_BEZIER;
        record.curve = new idCurve_Bezier<Vec3>();
    } else if (type && std::strcmp(type, "catmullrom") == 0) {
        record.kind = QM_CURVE_CATMULLROM;
        record.curve = new idCurve_CatmullRom<Vec3>();
    } else if (type && std::strcmp(type, "polyline") == 0) {
        record.kind = QM_CURVE_POLYLINE;
        record.curve = new idCurve_PolyLine<Vec3>();
    } else {
        return false;
    }
    std::memcpy(record.name, name, std::strlen(name) + 1);

    float knot = 0.0f;
    for (const TiXmlElement* point = element->FirstChildElement("point"); point;
         point = point->NextSiblingElement("point")) {
        XmlHandle pointHandle;
        pointHandle.element = const_cast<TiXmlElement*>(point);
        const Vec4 pos = XmlGetVector3("pos", pointHandle);
        record.curve->AddKnot(knot, Vec3{pos.x, pos.y, pos.z});
        knot += 1.0f;
    }
    record.curve->SetUniformTimes(record.duration);
    return true;
}
