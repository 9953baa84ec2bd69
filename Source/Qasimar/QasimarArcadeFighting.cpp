#include "Source/Qasimar/QasimarArcadeFighting.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmColorFader.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Source/GameClasses/QmEntity.h"
#include "Source/Qasimar/QasimarArcadeLocation.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Source/GameClasses/QmInputCodes.h"
#include "Source/GameClasses/QmLocation.h"
#include "Source/GameClasses/QmLocationManager.h"
#include "Source/GameClasses/QmPropAnimController.h"
#include "Source/GameClasses/QmScriptProcessor.h"

#include <cstring>
#include <string>

namespace {

constexpr float kBlend = 0.2f;
constexpr float kDamage = 10.0f;
constexpr float kMarkerHeight = 35.0f;

void FireEvent(const char* event)
{
    ScriptCallFunction(event, nullptr, 0, true);
}

CGmColorFader* Fader()
{
    return g_gameProcessor ? g_gameProcessor->effectFader : nullptr;
}

// rand() scaled to 0..limit, as the enemy's and the dodge's waits use it.
float RandomSeconds(float limit)
{
    return float(GeRand()) * limit / 32767.0f;
}

} // namespace

CQasimarArcade_Fighting::CQasimarArcade_Fighting() : CQmBaseArcade(CGeString("arcade: fighting"))
{
    hero.prefix = "qasimar_";
    enemy.prefix = "glavar_";
}

CQasimarArcade_Fighting::~CQasimarArcade_Fighting()
{
    Listen(false);
}

CGuiControl* CQasimarArcade_Fighting::IntroText() const
{
    return controlSet ? controlSet->FindControl(CGeString("txt_lbl")) : nullptr;
}

void CQasimarArcade_Fighting::Listen(bool on)
{
    for (Fighter* fighter : {&hero, &enemy})
        if (CJaAnimController* controller = ArcadeJointController(fighter->entity)) {
            if (on)
                controller->AddChainCallback(this);
            else
                controller->RemoveChainCallback(this);
        }
}

void CQasimarArcade_Fighting::ShowMarkers(bool shown)
{
    for (Fighter* fighter : {&hero, &enemy})
        if (fighter->marker)
            if (CQmProp* visual = fighter->marker->GetProp(QM_PROP_VISUAL_OBJECT))
                visual->SetEnabled(shown);
}

void CQasimarArcade_Fighting::Play(Fighter& fighter, const char* track, float blend)
{
    PlayHeroTrack(fighter.entity, (std::string(fighter.prefix) + track).c_str(), blend);
}

void CQasimarArcade_Fighting::StartGame()
{
    active = 1;
    if (!layoutLoaded) {
        CreateControlSet("gui/arcades/fight.xml");
        layoutLoaded = 1;
    }
    hero.entity = ArcadeFindEntity("qasimar");
    enemy.entity = ArcadeFindEntity("glavar");
    hero.marker = ArcadeFindEntity("qasimar_hi");
    enemy.marker = ArcadeFindEntity("glavar_hi");
    const char* missing = !IntroText()                     ? "control 'txt_lbl'"
                          : !hero.entity                   ? "entity 'qasimar'"
                          : !enemy.entity                  ? "entity 'glavar'"
                          : !hero.marker                   ? "entity 'qasimar_hi'"
                          : !enemy.marker                  ? "entity 'glavar_hi'"
                          : !ArcadeJointController(hero.entity)  ? "the animation controller of 'qasimar'"
                          : !ArcadeJointController(enemy.entity) ? "the animation controller of 'glavar'"
                                                           : nullptr;
    if (missing) {
        hero.entity = enemy.entity = hero.marker = enemy.marker = nullptr;
        RefuseStart(missing);
        return;
    }
    IntroText()->visible = 1;
    introShown = 1;
    GuiCursorShow(g_cursors, 0);
    Listen(true);
    ShowMarkers(true);
    for (Fighter* fighter : {&hero, &enemy}) {
        Play(*fighter, "fight_idle", kBlend);
        fighter->health = 100.0f;
        fighter->timer = 1.0f;
        fighter->state = kReady;
    }
    FireEvent("fighting_start");
}

void CQasimarArcade_Fighting::Finish()
{
    CQmBaseArcade::Finish();
    ReleaseControlSet();
    layoutLoaded = 0;
    ShowMarkers(false);
    if (g_cursors)
        g_cursors->ResetToDefault();
    Listen(false);
    if (CGmColorFader* fader = Fader())
        fader->Stop();
    endTimer = 0.0f;
    restarting = 0;
    over = 0;
    introShown = 0;
    hero.entity = enemy.entity = hero.marker = enemy.marker = nullptr;
}

void CQasimarArcade_Fighting::OnMessage(CCiMessageClient*, uint32_t code)
{
    if (introShown) {
        if (code == QM_MSG_LEFT_PRESS) {
            if (CGuiControl* text = IntroText())
                text->visible = 0;
            introShown = 0;
        }
        return;
    }
    if (hero.state == kDead || enemy.state == kDead) {
        // Only the end of the death track moves the game on; a track that
        // ends while the fight fades in again must not fade it out anew.
        if (code == kQmMsgAnimationEnded && !over && !restarting) {
            over = 1;
            if (CGmColorFader* fader = Fader())
                fader->Start(1, 0xFFFFFFFF, 0xFF000000, 1.5f);
            endTimer = 1.5f;
        }
        return;
    }
    if (code == QM_MSG_LEFT_PRESS) {
        if (hero.state == kReady && hero.timer < 0.0f) {
            hero.state = kAttacking;
            hero.timer = 1.2f;
            Play(hero, "kick_1", kBlend);
        }
    } else if (code == QM_MSG_RIGHT_PRESS) {
        if (hero.state == kReady) {
            hero.timer = 1.0f;
            hero.state = kDodging;
            Play(hero, "uklon_1", kBlend);
        }
    }
}

void CQasimarArcade_Fighting::Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification)
{
    const char* event = player ? player->GetEventName(notification) : nullptr;
    if (!event || notification == -2) {
        if (notification > 0)
            GeTrace("CQasimarArcade_Fighting::Callback\n");
        return;
    }
    CJaAnimController* heroController = ArcadeJointController(hero.entity);
    const bool heroOwns = heroController && heroController->ChannelPlayer(channel) == player;
    if (!active)
        return;
    GeTrace("CQasimarArcade_Fighting::HandleAnimationFrame\n");
    if (heroOwns)
        OnFrameEvent(hero, enemy, event);
    else
        OnFrameEvent(enemy, hero, event);
}

void CQasimarArcade_Fighting::OnFrameEvent(Fighter& attacker, Fighter& defender, const char* event)
{
    const bool heroAttacks = &attacker == &hero;
    if (attacker.state == kAttacking && std::strcmp(event, "punch") == 0) {
        if (defender.state != kProtected) {
            FireEvent(heroAttacks ? "fighting_damage_glavar" : "fighting_damage_hero");
            defender.health -= kDamage;
            if (defender.health < 0.1f) {
                Play(defender, "death", kBlend);
                defender.state = kDead;
            } else {
                Play(defender, "damage", kBlend);
                defender.timer = 0.5f;
                defender.state = kHit;
            }
        }
        if (heroAttacks) {
            hero.state = kReady;
            hero.timer = 0.7f;
        }
    } else if (attacker.state == kDodging && std::strcmp(event, "defence_start") == 0) {
        attacker.state = kProtected;
    } else if (attacker.state == kProtected && std::strcmp(event, "defence_end") == 0) {
        attacker.state = kReady;
        attacker.timer = RandomSeconds(heroAttacks ? 0.25f : 0.375f);
    }
}

void CQasimarArcade_Fighting::PlaceMarker(const Fighter& fighter)
{
    if (!fighter.entity || !fighter.marker)
        return;
    const Matrix4& world = fighter.entity->frame.world;
    fighter.marker->frame.SetPosition(Vec3{world.At(0, 3), world.At(1, 3) + kMarkerHeight, world.At(2, 3)});
}

void CQasimarArcade_Fighting::ResetFight()
{
    if (CGmColorFader* fader = Fader())
        fader->Stop();
    for (Fighter* fighter : {&hero, &enemy}) {
        Play(*fighter, "fight_idle", kBlend);
        fighter->health = 100.0f;
        fighter->state = kReady;
        fighter->timer = 1.0f;
    }
    endTimer = 0.0f;
    restarting = 0;
}

void CQasimarArcade_Fighting::Update()
{
    if (!active)
        return;
    GuiCursorShow(g_cursors, 0);
    PlaceMarker(hero);
    PlaceMarker(enemy);
    if (introShown)
        return;
    const float dt = g_geTimer ? g_geTimer->delta : 0.0f;

    if (over || restarting) {
        endTimer -= dt;
        if (endTimer < 0.0f) {
            if (over && enemy.state == kDead) {
                Finish();
                FireEvent("fighting_stop");
                return;
            }
            if (over) {
                Play(hero, "fight_idle", 0.0f);
                Play(enemy, "fight_idle", 0.0f);
                endTimer = 1.0f;
                over = 0;
                restarting = 1;
                if (CGmColorFader* fader = Fader())
                    fader->Start(1, 0xFF000000, 0xFFFFFFFF, 1.0f);
            } else {
                ResetFight();
            }
        }
    }

    hero.timer -= dt;
    if (hero.timer < 0.0f && (hero.state == kAttacking || hero.state == kHit)) {
        hero.timer = 0.25f;
        hero.state = kReady;
        Play(hero, "fight_idle", kBlend);
    }

    if (enemy.state == kDead)
        return;
    enemy.timer -= dt;
    if (enemy.timer < 0.0f && (enemy.state == kAttacking || enemy.state == kHit || enemy.state == kDodging)) {
        enemy.state = kReady;
        enemy.timer = 0.5f + RandomSeconds(0.5f);
        Play(enemy, "fight_idle", kBlend);
    }
    if (hero.state == kAttacking && enemy.state == kReady) {
        enemy.state = kDodging;
        if (GeRand() % 4 == 0)
            enemy.timer = 2.0f;
        else
            Play(enemy, "uklon_1", kBlend);
    } else if (enemy.state == kReady && enemy.timer < 0.0f && hero.state != kDead) {
        enemy.state = kAttacking;
        enemy.timer = 1.0f;
        Play(enemy, GeRand() % 2 ? "kick_1" : "kick_2", kBlend);
    }
}
