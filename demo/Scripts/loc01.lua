-- The demo's first location: a yard before a brick wall.

function loc01_init()
    VarSet("loc01_entered", 1)
    -- The location asks for the theme global_init started, so the music check
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

-- The keeper of the yard greets the hero (his click will call this).
function KeeperGreets()
    InitiateDialog("keeper_greeting")
end
