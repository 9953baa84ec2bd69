-- The keys game's room: opened from the mini-games page, it starts the game
-- in its first frames, once the page has handed the screen back; Escape goes
-- back to the menu.

function loc03_init()
    SysDelayedCall("loc03_start_keys", 0.1)
end

function loc03_start_keys()
    StartArcadeGame("arcade: keys")
end
