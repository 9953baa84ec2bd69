// The display modes of the settings adapter and the choice of the largest one
// that fits the request.
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"

#include <algorithm>

namespace {

// Ascending by width, then height, then refresh rate, compared as signed values.
bool ModeLess(const GmDisplayMode& a, const GmDisplayMode& b)
{
    if (a.width != b.width)
        return (int32_t)a.width < (int32_t)b.width;
    if (a.height != b.height)
        return (int32_t)a.height < (int32_t)b.height;
    return (int32_t)a.refreshRate < (int32_t)b.refreshRate;
}

} // namespace

void CGmDeviceWrapper::EnumerateModes()
{
    m_modes.Clear();
    if (!m_d3d)
        return;
    const D3DFORMAT format = D3DFORMAT(GetD3DFormat(m_settings.backBufferFormat));
    const UINT count = m_d3d->GetAdapterModeCount(m_settings.adapter, format);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode = {};
        m_d3d->EnumAdapterModes(m_settings.adapter, format, i, &mode);
        m_modes.Add(GmDisplayMode{mode.Width, mode.Height, mode.RefreshRate});
    }
    std::sort(m_modes.begin(), m_modes.end(), ModeLess);
}

GmDisplayMode CGmDeviceWrapper::ChooseMode(uint32_t width, uint32_t height, uint32_t refreshRate) const
{
    // Nothing that fits keeps the request as it is.
    for (uint32_t i = m_modes.Count(); i-- > 0;) {
        const GmDisplayMode& mode = m_modes[i];
        if (mode.width <= width && mode.height <= height && mode.refreshRate == refreshRate)
            return mode;
    }
    return GmDisplayMode{width, height, refreshRate};
}
