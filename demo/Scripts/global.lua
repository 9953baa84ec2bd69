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
