#pragma once

#include <QtGlobal>
#include <vector>

// The game's one source of chance. It lives in namespace dice because the C
// library already declares a global ::random().
namespace dice {

// Uniform integer in 0..bound, both included; 0 when bound <= 0. The generator
// seeds itself from the clock's milliseconds at its first use in a run.
int random(int bound);

// Reseeds the generator and drops any scripted values, so a run can be replayed.
void seedRandom(quint64 seed);

// The next calls of random return these values in order (each clamped into
// 0..bound), without advancing the generator; afterwards the generator resumes.
// Replaces any scripted values still pending.
void scriptRandom(std::vector<int> values);

} // namespace dice
