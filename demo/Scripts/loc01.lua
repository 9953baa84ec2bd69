-- The demo's first location: a yard before a brick wall, the harbour water
-- beside it.

function loc01_init()
    VarSet("loc01_entered", 1)
    -- The player's hand: the hero walks where the floor is clicked, uses the
    -- door and talks to the keeper.
    SetMainHero("hero")
    PermitActorAction("door", "USE")
    PermitActorAction("keeper", "TALK")
    PermitActorAction("key_chest", "USE")
    -- The location asks for the theme the new game started, so the music check
    -- of a location change keeps it playing; the crate chimes from its place.
    StartMainBgSound("Sounds/harbour_theme.ogg", 0.8, 2.0, true)
    StartSound("front_crate", "bell", "Sounds/chime.ogg", true)
    -- The gull circles above the yard (a location starts with its curve
    -- motions switched off).
    EnableEntityProperty("gull", 13, true)
    MoveEntityOnCurve("gull", "gull_way")
    -- The puzzle of the three tiles opens a while after the arrival, until it
    -- is solved.
    if not QuestIsPassed("three_tiles", "voyage") then
        SysDelayedCall("TilesPuzzleOpen", 3)
    end
    -- The curtain beside the pillar hangs in the fan's gusts.
    EnableEntityProperty("curtain", 16, true)
    EnableEntityProperty("fan", 17, true)
    -- The clouds drift above the wall; the harbour water rolls in the corner
    -- with a buoy floating on it; the flag waves; the notice waits to be shown.
    -- Entering again (or restoring a save) finds the water and the buoy there.
    ActivateSkySphere(1)
    AddWater("harbour_water", 300, 200, 16, 12, "materials/water.xml", -250, 3, -100, 4, 0.5)
    AddStone("buoy", 1, "Stones/buoy.xml", -250, 0, -100, "harbour_water", 0)
    SetEntityScale("buoy", 0.4)
    Start2DLinkedAnim("flag", "wave")
    LoadOverlayDocument("Documents/notice.xml")
    -- The hero sets out with his tinderbox; the taper lies in the yard until
    -- he picks it up, and the lantern stays lit once lit.
    PermitActorAction("taper", "USE")
    if not QuestIsPassed("tinderbox_given", "voyage") then
        QuestPass("tinderbox_given", "voyage", 1)
        AddToInventory("tinderbox")
    end
    if QuestIsPassed("taper_taken", "loc01") then
        EnableEntityProperty("taper", -1, false)
    end
    if QuestIsPassed("lantern_lit", "loc01") then
        StartSpriteAnim("lantern", "lit")
    end
    -- The tour: only a test sets demo_tour. A second after the entry the tour
    -- marker walks into the second camera's zone, a second later the game
    -- goes to loc02, which sends it back. The shipped demo stays here, on the
    -- first camera.
    if VarGet("demo_tour") == 1 then
        if VarGet("tour_done") == 0 then
            SysDelayedCall("loc01_tour_camera", 1.0)
        else
            SetCameraDeterminantEntity("")
            VarSet("tour_back", 1)
        end
    end
end

function loc01_tour_camera()
    SetCameraDeterminantEntity("tour_marker")
    SetEntityPosition("tour_marker", -700, 100, -700)
    SysDelayedCall("loc01_tour_leave", 1.0)
end

function loc01_tour_leave()
    VarSet("tour_done", 1)
    ChangeLocation("loc02", "")
end

-- The gull starts its round again whenever it has flown one.
function curve_finish(entity, way)
    if entity == "gull" then
        MoveEntityOnCurve(entity, way)
    end
end

-- The hero on the porch: the door slides open and he waves.
function loc01_trigger_enter(zone, entity)
    if zone == "porch" and entity == "hero" then
        VarSet("porch_visits", VarGet("porch_visits") + 1)
        DispatchEntityToPoint("door", 780, 100, 492, 120, false)
        StartObjectAnim("hero", "wave")
    end
end

function loc01_stop_linear_moving(entity)
    if entity == "door" then
        VarSet("door_open", 1)
    end
end

-- The keeper of the yard greets the hero when he is clicked.
function KeeperGreets()
    InitiateDialog("keeper_greeting")
end

-- The taper in hand: a hint says what it is for and the arrow turns above the
-- lantern, pointing down at it, until the taper is used there.
function loc01_guide_to_lantern()
    ShowHint(460, 640, false, 230, "hint_taper", 6, 1)
    local x, y, z = GetEntityPosition("lantern")
    Show3dArrow(x, y + 170, z, x, y + 40, z)
end

-- The lantern lit: the arrow goes and the clip of the voyage plays over the
-- yard with its own music and subtitles.
function loc01_lantern_used()
    Hide3dArrow()
    PlayVideoWithAudio("Videos/voyage.ogv", "Sounds/voyage.ogg", 0.2, 0.15, 0.6, 0.6)
end

function loc01_video_end()
    VarSet("voyage_seen", 1)
end

function loc01_dlg_initiate(entity)
    if entity == "keeper" then
        KeeperGreets()
    end
end

-- What a click on an object does, by the object's name.
loc01_uses = loc01_uses or {}

function loc01_use_object(entity)
    local use = loc01_uses[entity]
    if use then
        use(entity)
    end
end

loc01_uses["door"] = function(entity)
    VarSet("door_uses", VarGet("door_uses") + 1)
    local x, y, z = GetEntityPosition("hero")
    SysLog(string.format("loc01: the hero uses the door from %.1f %.1f %.1f\n", x, y, z))
end

-- The taper: picked up, it leaves the yard and flies into the inventory from
-- where it lay on the screen (its place on the reference screen as the first
-- camera sees it); a hint and the arrow then show what it is for.
function PickUpTaper()
    if QuestIsPassed("taper_taken", "loc01") then
        return
    end
    QuestPass("taper_taken", "loc01", 1)
    EnableEntityProperty("taper", -1, false)
    AddToInventory("taper", 582, 611)
    loc01_guide_to_lantern()
end

loc01_uses["taper"] = PickUpTaper

-- Items used on the yard's objects: the lit taper lights the lantern, the
-- yard shakes as it flares up, and the clip of the voyage plays.
function loc01_test_use_invitem(entity, item)
    if entity == "lantern" and item == "lit_taper" then
        SysReturn("true")
    end
end

function loc01_use_invitem(entity, item)
    if entity == "lantern" and item == "lit_taper" then
        DeleteFromInventory(item)
        StartSpriteAnim("lantern", "lit")
        QuestPass("lantern_lit", "loc01", 1)
        ScreenTint(12, 0.3)
        loc01_lantern_used()
    end
end

function loc01_on_inventory_item_add(item)
    VarSet("arrived_" .. item, 1)
end

-- The chest of keys opens the keys game over the yard.
loc01_uses["key_chest"] = function(entity)
    StartArcadeGame("arcade: keys")
end

-- The hero's arrivals: where a walk ended, for the log and the tests.
function loc01_stop_moving(entity)
    if entity == "hero" then
        VarSet("hero_arrivals", VarGet("hero_arrivals") + 1)
        local x, y, z = GetEntityPosition("hero")
        SysLog(string.format("loc01: the hero arrived at %.1f %.1f %.1f\n", x, y, z))
    end
end

function loc01_cant_walk()
    VarSet("cant_walk", VarGet("cant_walk") + 1)
    SysLog("loc01: the hero cannot walk there\n")
end
