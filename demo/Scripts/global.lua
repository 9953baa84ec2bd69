-- The demo game's program-wide script: run once at start-up, before the logos.

function global_init()
    VarSet("demo_started", 1)
    QuestPass("prologue", "voyage", 1)
    SetStartLocation("loc01")
end

function global_on_location_load(name)
    VarSet("loading_" .. name, 1)
end
