// Taking an entity out of the game in the middle of a frame.
//
// A script event fired from inside an update (an entity's "%s_stop_moving",
// a click's "%s_use_object") may remove or unload any entity, the one being
// updated included. Such an entity is never used again and nothing keeps
// pointing at it: the location's actors drop it as their target or look-at
// when it leaves the location, the game processor as its hero or hint. While
// an update holds deletes, it stays allocated (marked removed) until the outermost hold ends,
// so that the code on the stack below the script returns through live memory.
#pragma once

class CQmEntity;

// Holds entity deletes while it lives; holds nest.
class QmEntityDeleteHold {
public:
    QmEntityDeleteHold();
    ~QmEntityDeleteHold();
    QmEntityDeleteHold(const QmEntityDeleteHold&) = delete;
    QmEntityDeleteHold& operator=(const QmEntityDeleteHold&) = delete;
};

// The game processor forgets entity (its hero, its hint) and entity is
// deleted, at once or when the outermost hold ends.
void QmDestroyEntity(CQmEntity* entity);
