-- The demo game's program-wide script: run once at start-up, before the logos.

function global_init()
    VarSet("demo_started", 1)
    QuestPass("prologue", "voyage", 1)
    SetStartLocation("loc01")
    -- The first location is asked for now; the change, and the screen's fade
    -- in from black, run in the game's first frames, once the logos are over.
    ChangeLocation("loc01", "")
    StartScreenEffect("fading", -2)
end

function global_on_location_load(name)
    VarSet("loading_" .. name, 1)
end
