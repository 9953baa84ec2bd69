#include "tests/Engine/Core/Gm/VideoFixtures.h"

#include "tests/Engine/Core/Gm/ImageFixtures.h"

#include <algorithm>
#include <cstring>

namespace videofixture {

Bytes MakeGeav(uint8_t kind, const std::vector<Bytes>& planes, const char* signature, std::vector<uint32_t> offsets)
{
    Bytes file(16, 0);
    memcpy(file.data(), signature, std::min<size_t>(strlen(signature), 4));
    const uint32_t frames = uint32_t(planes.size());
    memcpy(&file[8], &frames, 4);
    file[12] = kind;
    file.resize(16 + 4 * size_t(frames));
    const bool ownOffsets = offsets.empty();
    for (uint32_t i = 0; i < frames; ++i) {
        const Bytes data = kind == 2 ? imagefixture::EncodeRunLength(planes[i], 1) : planes[i];
        const Bytes record = imagefixture::MakePlane(data);
        if (ownOffsets)
            offsets.push_back(uint32_t(file.size()));
        file.insert(file.end(), record.begin(), record.end());
    }
    for (uint32_t i = 0; i < frames && i < offsets.size(); ++i)
        memcpy(&file[16 + 4 * size_t(i)], &offsets[i], 4);
    return file;
}

} // namespace videofixture
