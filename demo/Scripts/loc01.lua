-- The demo's first location: a yard before a brick wall.

function loc01_init()
    VarSet("loc01_entered", 1)
    -- The location asks for the theme global_init started, so the music check
    -- of a location change keeps it playing; the crate chimes from its place.
    StartMainBgSound("Sounds/harbour_theme.ogg", 0.8, 2.0, true)
    StartSound("front_crate", "bell", "Sounds/chime.ogg", true)
    -- The puzzle of the three tiles opens a while after the arrival, until it
    -- is solved.
    if not QuestIsPassed("three_tiles", "voyage") then
        SysDelayedCall("TilesPuzzleOpen", 3)
    end
end
