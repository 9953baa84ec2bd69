#include "Source/GameClasses/QmImageList.h"

#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Source/GameClasses/QmGameProcessor.h"

bool LoadImageList(const char* fileName, CGeArray<CGmTexture*>& textures)
{
    TiXmlDocument document;
    if (!XmlLoadDocument(CGeString(fileName ? fileName : ""), document))
        return false;
    TiXmlElement* root = document.FirstChildElement("imagelist");
    if (!root)
        return false;
    for (TiXmlElement* image = root->FirstChildElement("image"); image;
         image = image->NextSiblingElement("image")) {
        const char* name = image->Attribute("filename");
        if (!name)
            XmlReportMissing(image, "filename");
        CGmTexture* texture = rescollect::LoadTexture(g_dataRoot + (name ? name : ""));
        if (texture)
            textures.Add(texture);
    }
    return true;
}
