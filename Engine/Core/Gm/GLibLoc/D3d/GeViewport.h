// A device viewport: the layout of D3DVIEWPORT9.
#pragma once

#include <cstdint>

struct GeViewport {
    uint32_t X = 0;
    uint32_t Y = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    float MinZ = 0.0f;
    float MaxZ = 1.0f;
};
