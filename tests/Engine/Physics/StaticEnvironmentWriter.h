// Writes static-environment files for the tests and the fuzz corpus: a
// "static_environment" root with one "geom" element per call, attributes in
// the order given and written as they stand (so broken values can be made).
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class CStaticEnvironmentWriter {
public:
    using Attributes = std::initializer_list<std::pair<const char*, const char*>>;

    CStaticEnvironmentWriter& Geom(Attributes attributes)
    {
        std::string element = "  <geom";
        for (const auto& attribute : attributes)
            element += std::string(" ") + attribute.first + "=\"" + attribute.second + "\"";
        m_elements.push_back(element + "/>\n");
        return *this;
    }

    // Any other element, written as it stands.
    CStaticEnvironmentWriter& Raw(const std::string& text)
    {
        m_elements.push_back("  " + text + "\n");
        return *this;
    }

    std::string Text(const char* root = "static_environment") const
    {
        std::string text = std::string("<?xml version=\"1.0\"?>\n<") + root + ">\n";
        for (const std::string& element : m_elements)
            text += element;
        return text + "</" + root + ">\n";
    }

    bool WriteFile(const std::string& path, const char* root = "static_environment") const
    {
        const std::string text = Text(root);
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            return false;
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        return std::fclose(file) == 0 && written;
    }

private:
    std::vector<std::string> m_elements;
};

// The fuzz corpus's seeds: one file of each kind, the defaults, and the
// refusals. With the number of geoms each gives.
struct StaticEnvironmentSeed {
    const char* name;
    std::string text;
    unsigned geoms;
};

inline std::vector<StaticEnvironmentSeed> StaticEnvironmentSeeds()
{
    using W = CStaticEnvironmentWriter;
    return {
        {"every_kind",
         W().Geom({{"type", "plane"}, {"rot_euler", "0 0 90"}})
             .Geom({{"type", "aabb"}, {"size", "4 2 4"}, {"pos", "10, 1, 0"}})
             .Geom({{"type", "sphere"}, {"radius", "3"}, {"pos", "0 5 0"}})
             .Geom({{"type", "box"}, {"size", "2 2 2"}, {"rot_euler", "0 45 0"}, {"euler_type", "XYZ"}})
             .Geom({{"type", "cylinder"}, {"height", "6"}, {"radius", "1"}, {"pos", "-5 0 0"}})
             .Geom({{"type", "capsule"}, {"height", "4"}, {"radius", "1.5"}, {"rot_euler", "90 0 0"}})
             .Text(),
         6},
        {"refused",
         W().Geom({{"size", "1 1 1"}})
             .Geom({{"type", "cone"}, {"radius", "1"}})
             .Geom({{"type", "aabb"}, {"size", "1 0 1"}})
             .Geom({{"type", "box"}, {"size", "1 1"}})
             .Geom({{"type", "sphere"}, {"radius", "-2"}})
             .Geom({{"type", "cylinder"}, {"radius", "1"}})
             .Geom({{"type", "capsule"}, {"height", "nan"}, {"radius", "1"}})
             .Geom({{"type", "sphere"}, {"radius", "0.5"}})
             .Text(),
         1},
        {"other_root", W().Geom({{"type", "plane"}}).Text("location"), 0},
        {"empty", W().Text(), 0},
        {"other_elements",
         W().Raw("<light pos=\"1 2 3\"/>").Geom({{"type", "sphere"}, {"radius", "1"}}).Raw("<geom>text</geom>").Text(),
         1},
    };
}
