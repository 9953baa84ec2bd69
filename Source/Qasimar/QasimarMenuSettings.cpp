// The settings page: resolution, shadows, sound and music volume and gamma.
// Volumes and gamma take effect while their bars move and are undone unless
// "but_ok" keeps them; a new resolution goes to the settings file only and is
// used at the next start.
//
// Choice: the settings in memory always keep the running video mode, also
// when it is not among the listed modes; the file gets the chosen one.
#include "Source/Qasimar/QasimarMenu.h"

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Sound/SmSoundManager.h"
#include "Engine/Gui/GuiComboBox.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPropertyIds.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiSwitch.h"
#include "Engine/Gui/GuiValues.h"
#include "Source/GameClasses/QmBgSoundManager.h"
#include "Source/GameClasses/QmGameConfig.h"
#include "Source/GameClasses/QmUserFolder.h"

namespace {

// Only modes of this depth-stencil format can draw shadow volumes.
const int32_t kStencilFormat = 21;

template <typename T>
T* Typed(CGuiControl* control, uint32_t type)
{
    return control && control->ControlType() == type ? static_cast<T*>(control) : nullptr;
}

bool ShadowsPossible()
{
    return g_videoSettings && g_videoSettings->depthStencilFormat == kStencilFormat;
}

void SetBar(CGuiScrollBar* bar, float value)
{
    if (!bar)
        return;
    bar->position = value < bar->minPos ? bar->minPos : (value > bar->maxPos ? bar->maxPos : value);
    bar->Recalc();
}

float ConfiguredGamma()
{
    return g_videoSettings ? g_videoSettings->gamma : 1.0f;
}

void ApplyGamma(float gamma)
{
    if (g_pGmDevice)
        g_pGmDevice->SetGamma(gamma);
}

bool WriteSettingsFile()
{
    return CQmGameConfig::Save(FormatString("%s/config.cfg", GetUserDataFolder()).c_str());
}

} // namespace

void CQasimarMenu::ShowSettingsPage()
{
    if (g_guiManager)
        g_guiManager->SetCurrentControlSetByName(CGeString("settings_menu"));

    resolutions.Clear();
    if (g_pGmDevice)
        for (const GmDisplayMode& mode : g_pGmDevice->m_modes)
            if (mode.width >= 800 && mode.width <= 1280 && mode.refreshRate < 121)
                resolutions.Add(MenuResolution{mode.width, mode.height, mode.refreshRate});
    CGeString text;
    currentResolution = -1;
    for (uint32_t i = 0; i < resolutions.Count(); ++i) {
        const MenuResolution& mode = resolutions[i];
        text.Append(FormatString("%d:%d:%d\n", (int)mode.width, (int)mode.height, (int)mode.refreshRate).c_str());
        if (g_videoSettings && mode.width == (uint32_t)g_videoSettings->width &&
            mode.height == (uint32_t)g_videoSettings->height &&
            mode.refreshRate == (uint32_t)g_videoSettings->refreshRate)
            currentResolution = (int32_t)i;
    }
    if (auto* combo = Typed<CGuiComboBox>(Control("settings_menu", "combo_resolution"), EGCT_COMBOBOX)) {
        if (combo->listBox) {
            combo->listBox->SetProperty(EP_Items, CGeValue(Utf8StringToWide(text)), true);
            combo->listBox->SetCurItem(currentResolution);
            combo->listBox->EnsureVisible();
        }
        combo->SetProperty(EP_CurItem, GuiMakeInt(currentResolution), true);
    }

    if (auto* shadows = Typed<CGuiSwitch>(Control("settings_menu", "switch_shadows"), EGCT_SWITCH)) {
        if (ShadowsPossible()) {
            shadows->currentState = CQmGameConfig::s_shadowVolumesOn ? 1 : 0;
            shadows->SetVisualState(1);
        } else {
            shadows->currentState = 0;
            shadows->SetVisualState(0);
        }
        shadows->Refresh();
    }

    appliedSoundVolume = g_soundManager ? g_soundManager->volume : 1.0f;
    appliedMusicVolume = g_bgSoundManager ? g_bgSoundManager->master : 1.0f;
    SetBar(Typed<CGuiScrollBar>(Control("settings_menu", "volume"), EGCT_SCROLLBAR), appliedSoundVolume);
    SetBar(Typed<CGuiScrollBar>(Control("settings_menu", "music_volume"), EGCT_SCROLLBAR), appliedMusicVolume);
    SetBar(Typed<CGuiScrollBar>(Control("settings_menu", "gamma"), EGCT_SCROLLBAR), ConfiguredGamma());
    if (CGuiControl* warning = Control("settings_menu", "warning"))
        warning->visible = 0;
}

void CQasimarMenu::RestoreSettings()
{
    if (g_soundManager)
        g_soundManager->SetVolume(appliedSoundVolume);
    if (g_bgSoundManager)
        g_bgSoundManager->SetVolume(appliedMusicVolume);
    ApplyGamma(ConfiguredGamma());
}

void CQasimarMenu::SetSettingsControls(uint8_t state)
{
    for (const char* name : {"combo_resolution", "switch_shadows", "volume", "music_volume", "but_ok", "but_cancel"})
        if (CGuiControl* control = Control("settings_menu", name))
            control->SetVisualState(state);
}

void CQasimarMenu::ApplySettings()
{
    if (!IsCurrent("settings_menu"))
        return;
    auto* volume = Typed<CGuiScrollBar>(Control("settings_menu", "volume"), EGCT_SCROLLBAR);
    auto* music = Typed<CGuiScrollBar>(Control("settings_menu", "music_volume"), EGCT_SCROLLBAR);
    auto* gamma = Typed<CGuiScrollBar>(Control("settings_menu", "gamma"), EGCT_SCROLLBAR);
    auto* shadows = Typed<CGuiSwitch>(Control("settings_menu", "switch_shadows"), EGCT_SWITCH);
    if (volume)
        appliedSoundVolume = volume->position;
    if (music)
        appliedMusicVolume = music->position;
    CQmGameConfig::s_shadowVolumesOn = ShadowsPossible() && shadows && shadows->currentState != 0;
    CQmGameConfig::s_musicVolume = appliedMusicVolume;
    if (g_videoSettings) {
        g_videoSettings->soundVolume = appliedSoundVolume;
        if (gamma)
            g_videoSettings->gamma = gamma->position;
    }
    ApplyGamma(ConfiguredGamma());

    auto* combo = Typed<CGuiComboBox>(Control("settings_menu", "combo_resolution"), EGCT_COMBOBOX);
    const int32_t chosen = combo && combo->listBox ? combo->listBox->curItem : -1;
    if (chosen < 0 || (uint32_t)chosen >= resolutions.Count() || !g_videoSettings) {
        WriteSettingsFile();
        return;
    }
    const GeDeviceConfig running = *g_videoSettings;
    g_videoSettings->width = (int32_t)resolutions[(uint32_t)chosen].width;
    g_videoSettings->height = (int32_t)resolutions[(uint32_t)chosen].height;
    g_videoSettings->refreshRate = (int32_t)resolutions[(uint32_t)chosen].refreshRate;
    WriteSettingsFile();
    g_videoSettings->width = running.width;
    g_videoSettings->height = running.height;
    g_videoSettings->refreshRate = running.refreshRate;
    if (chosen != currentResolution) {
        if (CGuiControl* warning = Control("settings_menu", "warning"))
            warning->visible = 1;
        SetSettingsControls(0);
    }
}

void CQasimarMenu::OnSettingsPage(CGuiControl* control, uint32_t code)
{
    const CGeString& name = control->name;
    if (code == GUI_EV_SCROLL_CHANGED) {
        auto* bar = Typed<CGuiScrollBar>(control, EGCT_SCROLLBAR);
        if (!bar)
            return;
        if (name == "volume" && g_soundManager)
            g_soundManager->SetVolume(bar->position);
        else if (name == "music_volume" && g_bgSoundManager)
            g_bgSoundManager->SetVolume(bar->position);
        else if (name == "gamma")
            ApplyGamma(bar->position);
        return;
    }
    if (code != GUI_EV_CLICK)
        return;
    if (name == "but_cancel") {
        ClickSound();
        RestoreSettings();
        Open(QM_MENU_MAIN);
    } else if (name == "but_ok") {
        ClickSound();
        ApplySettings();
        CGuiControl* warning = Control("settings_menu", "warning");
        if (!warning || !warning->visible)
            Open(QM_MENU_MAIN);
    } else if (name == "but_warning_ok") {
        ClickSound();
        if (CGuiControl* warning = Control("settings_menu", "warning"))
            warning->visible = 0;
        SetSettingsControls(1);
        Open(QM_MENU_MAIN);
    }
}
