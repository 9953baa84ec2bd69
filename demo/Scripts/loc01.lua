-- The demo's first location: a yard before a brick wall.

function loc01_init()
    VarSet("loc01_entered", 1)
end
