// engine_test.h — the benchmark that sizes the per-frame drawing budgets.
//
// Runs at every application of the graphics settings (from the game's asset
// hook): the two logos slide in, then ever more invisible rotated sprites
// are drawn per frame until the measured rate drops below target − 6.
#pragma once

// target: frames per second to hold (30 in slow-system mode, whatever is
// passed); spriteScale: the scale of the test sprites. Sets TargetFps,
// DrawLimit[1..3], possibly Settings[7] (slow-system mode), logs the result
// and leaves the overlay off.
void EngineTest(int target, int spriteScale);

// The main-sprite budget for the largest count that held the rate: 90 % of
// it, computed on integers so that 12000 gives exactly 10800.
int MainSpriteBudget(int best);
