// The game processor: the object that owns the main loop and the frame step.
//
// Only its existence is used so far: the script bridge refuses to call script
// events until the processor has been created, because handlers reach the game
// through it. Its state and operations come with the program's main loop.
#pragma once

class CQmGameProcessor {
public:
    CQmGameProcessor() = default;
    CQmGameProcessor(const CQmGameProcessor&) = delete;
    CQmGameProcessor& operator=(const CQmGameProcessor&) = delete;
};

// Null until start-up creates the processor and again after shutdown.
extern CQmGameProcessor* g_gameProcessor;
