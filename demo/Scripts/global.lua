-- The demo game's program-wide script: run once at start-up, before the logos.

function global_init()
    -- The logos give way to the menu; its "but_new" opens this location.
    SetStartLocation("loc01")
end

-- A new game starts from nothing: the processor has just emptied the quests,
-- the variables and the inventory, and the start location loads after this.
function on_start_new_game()
    VarSet("demo_started", 1)
    QuestPass("prologue", "voyage", 1)
    -- The first location fades in from black.
    StartScreenEffect("fading", -2)
    -- The harbour theme fades in over two seconds; the surf rolls beside it.
    StartMainBgSound("Sounds/harbour_theme.ogg", 0.8, 2.0, true)
    StartAmbBgSound("Sounds/surf.ogg", 0.5, 0.0, true)
    -- The keeper may be asked about the harbour; the kettle is listed, dimmed.
    AddAvailableTopic("harbour")
    AddAvailableTopic("kettle", false)
end

-- The menu opens over the game.
function global_on_menu_start()
    VarSet("menu_opened", (VarGet("menu_opened") or 0) + 1)
end

function global_on_location_load(name)
    VarSet("loading_" .. name, 1)
end

-- The dialog's events, each noted in a variable.
function on_sentence_begin(conversation, node, replica, actor)
    VarSet("said_" .. conversation .. "_" .. node, 1)
end

function on_sentence_end(conversation, node, replica, actor)
    VarSet("heard_" .. conversation .. "_" .. node, 1)
end

function on_dialog_end(conversation, node, actor)
    VarSet("dialog_end_" .. conversation, 1)
end

-- The inventory's mixing rules: the taper and the tinderbox, in either
-- order, make the lit taper. It takes the place of the clicked item: after
-- that item's predecessor, or at the front when it had none.
local function IsTaperAndTinderbox(a, b)
    return (a == "taper" and b == "tinderbox") or (a == "tinderbox" and b == "taper")
end

function global_test_mix_invitems(selected, clicked)
    if IsTaperAndTinderbox(selected, clicked) then
        SysReturn("true")
    end
end

function global_mix_invitems(selected, clicked, before)
    AddToInventory("lit_taper", before or "")
    DeleteFromInventory(selected)
    DeleteFromInventory(clicked)
    VarSet("mixed_lit_taper", 1)
end

-- The keys game won, from the yard or from the mini-games page: the page
-- lists it from now on (its place in menu/gamelist.xml is bit 3).
function keys_arcade_end()
    VarSet("keys_won", (VarGet("keys_won") or 0) + 1)
    ActivateMinigame(3)
end
