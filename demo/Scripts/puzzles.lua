-- The demo game's puzzles, run once at start-up. "The three tiles": three
-- tiles on a board, each turned a quarter further by a click; once all three
-- stand upright (their light mark on top) they fade out, the quest
-- "three_tiles" of "voyage" passes and the puzzle closes. A location opens it
-- with TilesPuzzleOpen(); its clicks come back as global_puzzle_btn1_click.

local tiles = {
    {name = "tile_1", picture = "Textures/puzzle_tile1.tga", x = 480, turned = 90},
    {name = "tile_2", picture = "Textures/puzzle_tile2.tga", x = 640, turned = 180},
    {name = "tile_3", picture = "Textures/puzzle_tile3.tga", x = 800, turned = 270},
}
local kTileY = 512
local kTurnSeconds = 0.25
local kFadeSeconds = 1.0

-- The angle each tile is turning to, in degrees; nil while no puzzle is open.
local angles = nil
local solved = false

function TilesPuzzleOpen()
    if angles then
        return
    end
    angles = {}
    solved = false
    PuzzleAddControl("tiles_board", 384, 400, 512, 224)
    PuzzleAssignSprite("tiles_board", "Textures/puzzle_board.tga", 1, 1, 0, 0)
    for _, tile in ipairs(tiles) do
        -- Placed by its middle, about which it turns.
        PuzzleAddControl(tile.name, tile.x, kTileY, 128, 128)
        PuzzleSetPivot(tile.name, 64, 64)
        PuzzleAssignSprite(tile.name, tile.picture, 1, 1, 0, 0)
        SetPuzzleControlCursorType(tile.name, 8, 5)
        PuzzleAddTask(tile.name, 2, 0, tile.turned)
        angles[tile.name] = tile.turned
    end
    SysLog("The three tiles: opened")
end

local function AllUpright()
    for _, angle in pairs(angles) do
        if angle % 360 ~= 0 then
            return false
        end
    end
    return true
end

function global_puzzle_btn1_click(control)
    if not angles or solved or not angles[control] then
        return
    end
    angles[control] = angles[control] + 90
    PuzzleBringToFront(control)
    PuzzleAddTask(control, 2, kTurnSeconds, angles[control])
    if AllUpright() then
        solved = true
        for _, tile in ipairs(tiles) do
            PuzzleAddTask(tile.name, 4, kFadeSeconds, 0)
        end
        PuzzleAddTask("tiles_board", 4, kFadeSeconds, 0)
        SysDelayedCall("TilesPuzzleClose", kFadeSeconds + 0.1)
    end
end

function TilesPuzzleClose()
    if not angles then
        return
    end
    angles = nil
    QuestPass("three_tiles", "voyage", 1)
    PuzzleReset()
    SysLog("The three tiles: solved")
end
