// The demo's baked GUI font for the benchmarks that draw text: its FONT
// element read as the GUI resources read a FONTLIST (the working directory
// must be the demo's data root).
#pragma once

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiResources.h"

#include <fstream>
#include <sstream>

inline CGuiFont* LoadDemoFont()
{
    std::ifstream file("Gui/fonts/dejavu_sans_18.xml");
    std::stringstream text;
    text << "<FONTLIST>" << file.rdbuf() << "</FONTLIST>";
    TiXmlDocument document;
    document.Parse(text.str().c_str());
    if (TiXmlElement* list = document.FirstChildElement("FONTLIST"))
        CGuiResources::LoadFonts(list);
    return CGuiResources::FindFont(CGeString("STAT_FONT_MIDDLE"));
}
