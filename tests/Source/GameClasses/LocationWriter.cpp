#include "tests/Source/GameClasses/LocationWriter.h"

#include "tools/locpictures/LocationPainter.h"

#include <filesystem>
#include <fstream>

namespace locwriter {

void WriteFile(const std::string& root, const std::string& relative, const std::vector<uint8_t>& bytes)
{
    const std::filesystem::path path = std::filesystem::path(root) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteFile(const std::string& root, const std::string& relative, const std::string& text)
{
    WriteFile(root, relative, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> SolidTga(uint32_t width, uint32_t height, uint32_t argb)
{
    return ColourTga(width, height, std::vector<uint32_t>(size_t(width) * height, argb));
}

void WriteSharedFiles(const std::string& root)
{
    WriteFile(root, kRedPicture, SolidTga(4, 4, 0xFFFF0000));
    WriteFile(root, kStripPicture, SolidTga(8, 2, 0xFF00FF00));
    WriteFile(root, kImageList,
              std::string("<imagelist><image filename=\"") + kRedPicture + "\"/><image filename=\"" + kStripPicture +
                  "\"/></imagelist>");
    const std::string vertices = "<VERTEX_DATA><VERTEX XYZ=\"0 0 0\"/><VERTEX XYZ=\"10 0 0\"/>"
                                 "<VERTEX XYZ=\"0 10 0\"/></VERTEX_DATA>";
    WriteFile(root, kOneRangeMesh,
              "<GE_MESH Type=\"GENERIC\" Name=\"tri\">" + vertices +
                  "<INDEX_DATA><FACE VERTS=\"0 1 2\"/></INDEX_DATA></GE_MESH>");
    WriteFile(root, kTwoRangeMesh,
              "<GE_MESH Type=\"GENERIC\" Name=\"two\">" + vertices +
                  "<INDEX_DATA><FACE VERTS=\"0 1 2\"/></INDEX_DATA><INDEX_DATA><FACE VERTS=\"2 1 0\"/></INDEX_DATA>"
                  "</GE_MESH>");
    WriteFile(root, kBlendMaterial, "<MATERIAL><COLORS/></MATERIAL>");
    WriteFile(root, kOpaqueMaterial, "<MATERIAL><COLORS/><RENDERSTATE ALPHABLEND=\"0\"/></MATERIAL>");
    WriteFile(root, kStaticEnvironment,
              "<static_environment><geom type=\"plane\"/><geom type=\"box\" size=\"2 2 2\" pos=\"0 1 0\"/>"
              "</static_environment>");
    WriteFile(root, kEffect,
              std::string("<PS_COLLECTION><PARTICLE_SYSTEM Name=\"spark\">"
                          "<PROPERTY Name=\"EP_PS_ParticleCount\">4</PROPERTY>"
                          "<PROPERTY Name=\"EP_PS_Image\">") +
                  kRedPicture +
                  "</PROPERTY></PARTICLE_SYSTEM><psys_effect><particle_system name=\"spark\">"
                  "<key time=\"0\" command=\"start\"/></particle_system></psys_effect></PS_COLLECTION>");
}

std::string LocationXml(const std::vector<std::string>& sections)
{
    std::string text = "<location>";
    for (const std::string& section : sections)
        text += section;
    return text + "</location>";
}

std::string Entity(const std::string& attributes, const std::vector<std::string>& tags)
{
    std::string text = "<entity " + attributes + ">";
    for (const std::string& tag : tags)
        text += tag;
    return text + "</entity>";
}

std::string MeshTag(const char* mesh, const char* material, const std::string& meshAttributes)
{
    std::string text = std::string("<visual_object><mesh filename=\"") + mesh + "\" " + meshAttributes + ">";
    if (material)
        text += std::string("<material filename=\"") + material + "\"/>";
    return text + "</mesh></visual_object>";
}

} // namespace locwriter
