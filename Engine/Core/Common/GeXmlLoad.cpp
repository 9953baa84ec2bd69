// Loading XML documents from the packs or the disk.
//
// A data file that is there but broken (empty, or not well-formed) is logged
// with its name and, for a parse error, TinyXML's description and position;
// the results stay as callers know them: false only for a file that gives no
// bytes, true for whatever TinyXML made of the rest.
#include "Engine/Core/Common/GeXml.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Platform/System/PosixFiles.h"

#include <unistd.h>

// Whether the file is there at all: a missing file is a question callers ask
// (optional data), an empty one is broken data.
static bool FileExists(const char* path, bool fromDisk)
{
    if (!fromDisk || g_packPath.IsEmpty()) {
        bool found = false;
        QueryFileSize(path, found);
        return found;
    }
    const int fd = SysOpenForRead(path);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

static bool ParseFileData(CGeFileData& file, const CGeString& path, TiXmlDocument& document, bool fromDisk)
{
    if (!file.data) {
        FreeFileData(file);
        if (FileExists(path.c_str(), fromDisk))
            GeLog(1, "XML file '%s' is empty, not read", path.c_str());
        return false;
    }
    if (!XmlParseDocumentText(file.data, file.size, document))
        GeLog(1, "XML file '%s' nests its elements too deep, not read", file.path.c_str());
    else if (document.Error() && document.ErrorRow() > 0)
        GeLog(1, "XML file '%s' is broken: %s at row %d, column %d", file.path.c_str(), document.ErrorDesc(),
              document.ErrorRow(), document.ErrorCol());
    else if (document.Error()) // TinyXML places no error in a text without elements
        GeLog(1, "XML file '%s' is broken: %s", file.path.c_str(), document.ErrorDesc());
    FreeFileData(file);
    return true;
}

bool XmlLoadDocument(const CGeString& path, TiXmlDocument& document)
{
    CGeFileData file = LoadFileData(path.c_str());
    return ParseFileData(file, path, document, false);
}

bool XmlLoadDocumentFromDisk(const CGeString& path, TiXmlDocument& document)
{
    CGeFileData file = ReadWholeFile(path.c_str());
    return ParseFileData(file, path, document, true);
}
