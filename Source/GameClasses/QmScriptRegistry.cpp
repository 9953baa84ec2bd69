#include "Source/GameClasses/QmScriptActors.h"
#include "Source/GameClasses/QmScriptAnimations.h"
#include "Source/GameClasses/QmScriptApi.h"
#include "Source/GameClasses/QmScriptColliders.h"
#include "Source/GameClasses/QmScriptDialogs.h"
#include "Source/GameClasses/QmScriptEffects.h"
#include "Source/GameClasses/QmScriptEntities.h"
#include "Source/GameClasses/QmScriptGameControl.h"
#include "Source/GameClasses/QmScriptInventory.h"
#include "Source/GameClasses/QmScriptLocationObjects.h"
#include "Source/GameClasses/QmScriptMotion.h"
#include "Source/GameClasses/QmScriptPuzzles.h"
#include "Source/GameClasses/QmScriptSceneControls.h"
#include "Source/GameClasses/QmScriptSounds.h"
#include "Source/GameClasses/QmScriptSystem.h"
#include "Source/GameClasses/QmScriptVideoHints.h"

// The script functions in the order of registration. The order is not grouped:
// the comment gives each entry's index and the group whose source file holds the
// function. An entry whose engine part is not built yet points at Lua_NotBuilt,
// so that every name exists from the first script on; building a group replaces
// its entries with ScriptEntryPoint<Lua_Name>.
//
// Groups and their files: system (start location, quests, variables)
// QmScriptSystem.cpp; puzzles QmScriptPuzzles.cpp; actors (interaction
// permissions) QmScriptActors.cpp; dialogs (topics, the portrait camera's
// offset) QmScriptDialogs.cpp; animations (2D-linked objects, curves, sky)
// QmScriptAnimations.cpp; entities (transform, cameras, input lock, colliders,
// location change, look-at, walker) QmScriptEntities.cpp; video, hints and
// the 3D arrow QmScriptVideoHints.cpp; inventory (with "IsInventoryActive" and
// "ClearInventory") QmScriptInventory.cpp; effects (documents, interaction, mini-game start)
// QmScriptEffects.cpp; sounds QmScriptSounds.cpp; game control (time, screen
// effects, the loading screen, location change, saving, mini-game and menu
// calls, wherever their rows stand) QmScriptGameControl.cpp; scene controls
// (selection, points, puzzle controls, entity settings, screen shake,
// overlays, mini-game events) QmScriptSceneControls.cpp; location objects
// (inventory state, walk grids) QmScriptLocationObjects.cpp;
// motion (curve ways, straight moves, particle effects, joint-animation tracks,
// walker and default tracks, wherever their rows stand) QmScriptMotion.cpp.
const QmScriptFunctionEntry g_scriptFunctions[kScriptFunctionCount + 1] = {
    {"SysLog",                              ScriptEntryPoint<Lua_SysLog>},  //   0 system
    {"SysDelayedCall",                      ScriptEntryPoint<Lua_SysDelayedCall>},  //   1 system
    {"SysSetTimer",                         ScriptEntryPoint<Lua_SysSetTimer>},  //   2 system
    {"SysReturn",                           ScriptEntryPoint<Lua_SysReturn>},  //   3 system
    {"SysSetTimeScale",                     ScriptEntryPoint<Lua_SysSetTimeScale>},  //   4 game control
    {"SysSetMaxTimeQuantum",                ScriptEntryPoint<Lua_SysSetMaxTimeQuantum>},  //   5 game control
    {"SysGetTime",                          ScriptEntryPoint<Lua_SysGetTime>},  //   6 game control
    {"GetQuestValue",                       ScriptEntryPoint<Lua_GetQuestValue>},  //   7 system
    {"QuestIsPassed",                       ScriptEntryPoint<Lua_QuestIsPassed>},  //   8 system
    {"QuestPass",                           ScriptEntryPoint<Lua_QuestPass>},  //   9 system
    {"QuestFail",                           ScriptEntryPoint<Lua_QuestFail>},  //  10 system
    {"PuzzleAddControl",                    ScriptEntryPoint<Lua_PuzzleAddControl>},  //  11 puzzles
    {"PuzzleRemoveControl",                 ScriptEntryPoint<Lua_PuzzleRemoveControl>},  //  12 puzzles
    {"PuzzleReset",                         ScriptEntryPoint<Lua_PuzzleReset>},  //  13 puzzles
    {"PuzzleBringToFront",                  ScriptEntryPoint<Lua_PuzzleBringToFront>},  //  14 puzzles
    {"PuzzleAssignSprite",                  ScriptEntryPoint<Lua_PuzzleAssignSprite>},  //  15 puzzles
    {"PuzzleSetFlags",                      ScriptEntryPoint<Lua_PuzzleSetFlags>},  //  16 puzzles
    {"PuzzleSetPos",                        ScriptEntryPoint<Lua_PuzzleSetPos>},  //  17 puzzles
    {"PuzzleGetPos",                        ScriptEntryPoint<Lua_PuzzleGetPos>},  //  18 puzzles
    {"PuzzleSetPivot",                      ScriptEntryPoint<Lua_PuzzleSetPivot>},  //  19 puzzles
    {"PuzzleAddTask",                       ScriptEntryPoint<Lua_PuzzleAddTask>},  //  20 puzzles
    {"PuzzleRemoveTask",                    ScriptEntryPoint<Lua_PuzzleRemoveTask>},  //  21 puzzles
    {"PuzzleLoadControls",                  ScriptEntryPoint<Lua_PuzzleLoadControls>},  //  22 puzzles
    {"PuzzleSetText",                       ScriptEntryPoint<Lua_PuzzleSetText>},  //  23 puzzles
    {"PuzzleSetCtrlVisibility",             ScriptEntryPoint<Lua_PuzzleSetCtrlVisibility>},  //  24 puzzles
    {"PuzzleSetCtrlValue",                  ScriptEntryPoint<Lua_PuzzleSetCtrlValue>},  //  25 scene controls
    {"PuzzleIsMouseOver",                   ScriptEntryPoint<Lua_PuzzleIsMouseOver>},  //  26 puzzles
    {"VarSet",                              ScriptEntryPoint<Lua_VarSet>},  //  27 system
    {"VarGet",                              ScriptEntryPoint<Lua_VarGet>},  //  28 system
    {"VarsDump",                            ScriptEntryPoint<Lua_VarsDump>},  //  29 system
    {"SetStartLocation",                    ScriptEntryPoint<Lua_SetStartLocation>},  //  30 system
    {"GetLocationName",                     ScriptEntryPoint<Lua_GetLocationName>},  //  31 system
    {"LoadActor",                           ScriptEntryPoint<Lua_LoadActor>},  //  32 actors
    {"SetMainHero",                         ScriptEntryPoint<Lua_SetMainHero>},  //  33 actors
    {"AddActorToLocation",                  ScriptEntryPoint<Lua_AddActorToLocation>},  //  34 actors
    {"RemoveActorFromLocation",             ScriptEntryPoint<Lua_RemoveActorFromLocation>},  //  35 actors
    {"UnloadActor",                         ScriptEntryPoint<Lua_UnloadActor>},  //  36 actors
    {"InitiateDialog",                      ScriptEntryPoint<Lua_InitiateDialog>},  //  37 dialogs
    {"AddAvailableTopic",                   ScriptEntryPoint<Lua_AddAvailableTopic>},  //  38 dialogs
    {"RemoveAvailableTopic",                ScriptEntryPoint<Lua_RemoveAvailableTopic>},  //  39 dialogs
    {"GetTopicState",                       ScriptEntryPoint<Lua_GetTopicState>},  //  40 dialogs
    {"GlobalCommand",                       ScriptEntryPoint<Lua_GlobalCommand>},  //  41 game control
    {"UpdateScene",                         ScriptEntryPoint<Lua_UpdateScene>},  //  42 game control
    {"AttachEntity",                        ScriptEntryPoint<Lua_AttachEntity>},  //  43 entities
    {"PermitActorAction",                   ScriptEntryPoint<Lua_PermitActorAction>},  //  44 actors
    {"EnableWalkForInteraction",            ScriptEntryPoint<Lua_EnableWalkForInteraction>},  //  45 actors
    {"DispatchActorToPos",                  ScriptEntryPoint<Lua_DispatchActorToPos>},  //  46 actors
    {"ActorSmoothRotateY",                  ScriptEntryPoint<Lua_ActorSmoothRotateY>},  //  47 actors
    {"InitiateInteraction",                 ScriptEntryPoint<Lua_InitiateInteraction>},  //  48 actors
    {"Set2DLinkedVisibility",               ScriptEntryPoint<Lua_Set2DLinkedVisibility>},  //  49 animations
    {"Start2DLinkedAnim",                   ScriptEntryPoint<Lua_Start2DLinkedAnim>},  //  50 animations
    {"Set2DLinkedAlpha",                    ScriptEntryPoint<Lua_Set2DLinkedAlpha>},  //  51 animations
    {"StartSpriteAnim",                     ScriptEntryPoint<Lua_StartSpriteAnim>},  //  52 animations
    {"StartObjectAnim",                     ScriptEntryPoint<Lua_StartObjectAnim>},  //  53 motion
    {"PushObjectAnim",                      ScriptEntryPoint<Lua_PushObjectAnim>},  //  54 motion
    {"StartObjectMovingAnim",               ScriptEntryPoint<Lua_StartObjectMovingAnim>},  //  55 motion
    {"IsAseqPlaying",                       ScriptEntryPoint<Lua_IsAseqPlaying>},  //  56 motion
    {"MoveEntityOnCurve",                   ScriptEntryPoint<Lua_MoveEntityOnCurve>},  //  57 motion
    {"StopEntityOnCurve",                   ScriptEntryPoint<Lua_StopEntityOnCurve>},  //  58 motion
    {"ActivateSkySphere",                   ScriptEntryPoint<Lua_ActivateSkySphere>},  //  59 animations
    {"SetEntityPosition",                   ScriptEntryPoint<Lua_SetEntityPosition>},  //  60 entities
    {"GetEntityPosition",                   ScriptEntryPoint<Lua_GetEntityPosition>},  //  61 entities
    {"GetEntityDirection",                  ScriptEntryPoint<Lua_GetEntityDirection>},  //  62 entities
    {"GetEntityPositionFromMatrix",         ScriptEntryPoint<Lua_GetEntityPositionFromMatrix>},  //  63 entities
    {"SetEntityRotation",                   ScriptEntryPoint<Lua_SetEntityRotation>},  //  64 entities
    {"SetEntityScale",                      ScriptEntryPoint<Lua_SetEntityScale>},  //  65 entities
    {"SetCameraIndex",                      ScriptEntryPoint<Lua_SetCameraIndex>},  //  66 entities
    {"SetCameraDeterminantEntity",          ScriptEntryPoint<Lua_SetCameraDeterminantEntity>},  //  67 entities
    {"UnselectInventory",                   ScriptEntryPoint<Lua_UnselectInventory>},  //  68 video and inventory
    {"DeleteFromInventory",                 ScriptEntryPoint<Lua_DeleteFromInventory>},  //  69 video and inventory
    {"AddToInventory",                      ScriptEntryPoint<Lua_AddToInventory>},  //  70 video and inventory
    {"IsInInventory",                       ScriptEntryPoint<Lua_IsInInventory>},  //  71 video and inventory
    {"SetInventoryItemValue",               ScriptEntryPoint<Lua_SetInventoryItemValue>},  //  72 video and inventory
    {"GetInventoryItemValue",               ScriptEntryPoint<Lua_GetInventoryItemValue>},  //  73 video and inventory
    {"EnableEntityProperty",                ScriptEntryPoint<Lua_EnableEntityProperty>},  //  74 entities
    {"SetColliderAABB",                     ScriptEntryPoint<Lua_SetColliderAABB>},  //  75 entities
    {"SetColliderSphere",                   ScriptEntryPoint<Lua_SetColliderSphere>},  //  76 entities
    {"SetColliderBox",                      ScriptEntryPoint<Lua_SetColliderBox>},  //  77 entities
    {"LockInput",                           ScriptEntryPoint<Lua_LockInput>},  //  78 entities
    {"PlayVideo",                           ScriptEntryPoint<Lua_PlayVideo>},  //  79 video and hints
    {"PlayVideoWithAudio",                  ScriptEntryPoint<Lua_PlayVideoWithAudio>},  //  80 video and hints
    {"ChangeLocation",                      ScriptEntryPoint<Lua_ChangeLocation>},  //  81 game control
    {"SetLookAtAllocator",                  ScriptEntryPoint<Lua_SetLookAtAllocator>},  //  82 entities
    {"SetWalkerSlotAnim",                   ScriptEntryPoint<Lua_SetWalkerSlotAnim>},  //  83 motion
    {"SetDefaultAnim",                      ScriptEntryPoint<Lua_SetDefaultAnim>},  //  84 motion
    {"ShowDocument",                        ScriptEntryPoint<Lua_ShowDocument>},  //  85 effects
    {"StartPSysEffect",                     ScriptEntryPoint<Lua_StartPSysEffect>},  //  86 motion
    {"StartScreenEffect",                   ScriptEntryPoint<Lua_StartScreenEffect>},  //  87 game control
    {"StartArcadeGame",                     ScriptEntryPoint<Lua_StartArcadeGame>},  //  88 game control
    {"StartSound",                          ScriptEntryPoint<Lua_StartSound>},  //  89 sounds
    {"StopSound",                           ScriptEntryPoint<Lua_StopSound>},  //  90 sounds
    {"SoundSetVolume",                      ScriptEntryPoint<Lua_SoundSetVolume>},  //  91 sounds
    {"StartMainBgSound",                    ScriptEntryPoint<Lua_StartMainBgSound>},  //  92 sounds
    {"StopMainBgSound",                     ScriptEntryPoint<Lua_StopMainBgSound>},  //  93 sounds
    {"StartAmbBgSound",                     ScriptEntryPoint<Lua_StartAmbBgSound>},  //  94 sounds
    {"StopAllAmbBgSounds",                  ScriptEntryPoint<Lua_StopAllAmbBgSounds>},  //  95 sounds
    {"FinishGame",                          ScriptEntryPoint<Lua_FinishGame>},  //  96 game control
    {"SetLightIntensity",                   ScriptEntryPoint<Lua_SetLightIntensity>},  //  97 sounds (entity light)
    {"GameEnable",                          ScriptEntryPoint<Lua_GameEnable>},  //  98 game control
    {"GetSelectedEntity",                   ScriptEntryPoint<Lua_GetSelectedEntity>},  //  99 scene controls
    {"DispatchEntityToPoint",               ScriptEntryPoint<Lua_DispatchEntityToPoint>},  // 100 motion
    {"SetPuzzleControlCursorType",          ScriptEntryPoint<Lua_SetPuzzleControlCursorType>},  // 101 scene controls
    {"GetSelectedBackgroundPoint",          ScriptEntryPoint<Lua_GetSelectedBackgroundPoint>},  // 102 scene controls
    {"GetSelectedEntityPoint",              ScriptEntryPoint<Lua_GetSelectedEntityPoint>},  // 103 scene controls
    {"GetCameraPos",                        ScriptEntryPoint<Lua_GetCameraPos>},  // 104 scene controls
    {"GetDist3D",                           ScriptEntryPoint<Lua_GetDist3D>},  // 105 game control
    {"SetEntitySprite3DAlpha",              ScriptEntryPoint<Lua_SetEntitySprite3DAlpha>},  // 106 scene controls
    {"SetEntityActorIaZone",                ScriptEntryPoint<Lua_SetEntityActorIaZone>},  // 107 actors
    {"SetEntityActorRot",                   ScriptEntryPoint<Lua_SetEntityActorRot>},  // 108 actors
    {"GetEntityRotation",                   ScriptEntryPoint<Lua_GetEntityRotation>},  // 109 scene controls
    {"SetEntityActorName",                  ScriptEntryPoint<Lua_SetEntityActorName>},  // 110 actors
    {"SetPuzzleControlTranpForManipulator", ScriptEntryPoint<Lua_SetPuzzleControlTranpForManipulator>},  // 111 scene controls
    {"GetManipulatorPos",                   ScriptEntryPoint<Lua_GetManipulatorPos>},  // 112 scene controls
    {"Get2DScaleFactor",                    ScriptEntryPoint<Lua_Get2DScaleFactor>},  // 113 game control
    {"ChangeShadeLightPos",                 ScriptEntryPoint<Lua_ChangeShadeLightPos>},  // 114 scene controls
    {"SetLoadingScreenImage",               ScriptEntryPoint<Lua_SetLoadingScreenImage>},  // 115 game control
    {"SelectEntity",                        ScriptEntryPoint<Lua_SelectEntity>},  // 116 effects
    {"ScreenTint",                          ScriptEntryPoint<Lua_ScreenTint>},  // 117 effects
    {"StopMovingEntity",                    ScriptEntryPoint<Lua_StopMovingEntity>},  // 118 motion
    {"StopMovingActor",                     ScriptEntryPoint<Lua_StopMovingActor>},  // 119 actors
    {"LoadOverlayDocument",                 ScriptEntryPoint<Lua_LoadOverlayDocument>},  // 120 scene controls
    {"SendActiveArcadeEvent",               ScriptEntryPoint<Lua_SendActiveArcadeEvent>},  // 121 game control
    {"SetWalkerTrajectoryLength",           ScriptEntryPoint<Lua_SetWalkerTrajectoryLength>},  // 122 game control
    {"AddWater",                            ScriptEntryPoint<Lua_AddWater>},  // 123 location objects
    {"AddStone",                            ScriptEntryPoint<Lua_AddStone>},  // 124 location objects
    {"AutoSaveGame",                        ScriptEntryPoint<Lua_AutoSaveGame>},  // 125 game control
    {"SetActorCameraTranslation",           ScriptEntryPoint<Lua_SetActorCameraTranslation>},  // 126 dialogs
    {"IsWalkerActive",                      ScriptEntryPoint<Lua_IsWalkerActive>},  // 127 actors
    {"ShadeBoxEnable",                      ScriptEntryPoint<Lua_ShadeBoxEnable>},  // 128 location objects
    {"ShowHint",                            ScriptEntryPoint<Lua_ShowHint>},  // 129 video and hints
    {"IsInventoryActive",                   ScriptEntryPoint<Lua_IsInventoryActive>},  // 130 location objects
    {"ClearInventory",                      ScriptEntryPoint<Lua_ClearInventory>},  // 131 location objects
    {"DisableMenuItems",                    ScriptEntryPoint<Lua_DisableMenuItems>},  // 132 game control
    {"SetCurveSpeedMult",                   ScriptEntryPoint<Lua_SetCurveSpeedMult>},  // 133 motion
    {"ActivateMinigame",                    ScriptEntryPoint<Lua_ActivateMinigame>},  // 134 game control
    {"HideHint",                            ScriptEntryPoint<Lua_HideHint>},  // 135 video and hints
    {"SetCurrentAiMap",                     ScriptEntryPoint<Lua_SetCurrentAiMap>},  // 136 location objects
    {"GetCurrentAiMap",                     ScriptEntryPoint<Lua_GetCurrentAiMap>},  // 137 location objects
    {"Show3dArrow",                         ScriptEntryPoint<Lua_Show3dArrow>},  // 138 video and hints
    {"Hide3dArrow",                         ScriptEntryPoint<Lua_Hide3dArrow>},  // 139 video and hints
    {nullptr, nullptr},
};

int Lua_NotBuilt(lua_State*)
{
    return 0;
}
