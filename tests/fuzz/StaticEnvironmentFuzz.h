// The static-environment loader's fuzz entry, shared by the libFuzzer target
// and the corpus replay test.
//
// The input is a whole static-environment file. It is parsed, loaded into the
// static body, checked (every geom is a known kind with positive sizes, owned
// by the static body, which is in the collision world) and then met by a
// small cloth for a few sub-steps. Returns the number of geoms loaded; aborts
// when a check fails.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzStaticEnvironment(const uint8_t* data, size_t size);
