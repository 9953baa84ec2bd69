// What the game runtime calls of the puzzle manager. It comes with the game
// features; until it exists g_puzzleManager stays null.
#pragma once

class CQmPuzzleManager {
public:
    virtual ~CQmPuzzleManager() = default;
    virtual void Update() {}
    // Deletes every puzzle control, task and the puzzle control set.
    virtual void Reset() {}
};

extern CQmPuzzleManager* g_puzzleManager;
