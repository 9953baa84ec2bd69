-- The demo's second location: the ship's deck, a crate on it.

function loc02_init()
    VarSet("loc02_entered", 1)
    StartMainBgSound("Sounds/deck_theme.ogg", 0.8, 2.0, true)
    -- On the test's tour the game goes back to the yard after a second.
    if VarGet("demo_tour") == 1 then
        SysDelayedCall("loc02_tour_back", 1.0)
    end
end

function loc02_tour_back()
    ChangeLocation("loc01", "")
end
