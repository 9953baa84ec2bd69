-- The demo game's program-wide script: run once at start-up, before the logos.

function global_init()
    VarSet("demo_started", 1)
    QuestPass("prologue", "voyage", 1)
    SetStartLocation("loc01")
    -- The first location is asked for now; the change, and the screen's fade
    -- in from black, run in the game's first frames, once the logos are over.
    ChangeLocation("loc01", "")
    StartScreenEffect("fading", -2)
    -- The harbour theme fades in over two seconds; the surf rolls beside it.
    StartMainBgSound("Sounds/harbour_theme.ogg", 0.8, 2.0, true)
    StartAmbBgSound("Sounds/surf.ogg", 0.5, 0.0, true)
end

function global_on_location_load(name)
    VarSet("loading_" .. name, 1)
end
