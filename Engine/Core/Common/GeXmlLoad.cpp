// Loading XML documents from the packs or the disk.
#include "Engine/Core/Common/GeXml.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"

static bool ParseFileData(CGeFileData& file, TiXmlDocument& document)
{
    if (!file.data) {
        FreeFileData(file);
        return false;
    }
    if (!XmlParseDocumentText(file.data, file.size, document))
        GeLog(1, "XML file '%s' nests its elements too deep, not read", file.path.c_str());
    FreeFileData(file);
    return true;
}

bool XmlLoadDocument(const CGeString& path, TiXmlDocument& document)
{
    CGeFileData file = LoadFileData(path.c_str());
    return ParseFileData(file, document);
}

bool XmlLoadDocumentFromDisk(const CGeString& path, TiXmlDocument& document)
{
    CGeFileData file = ReadWholeFile(path.c_str());
    return ParseFileData(file, document);
}

