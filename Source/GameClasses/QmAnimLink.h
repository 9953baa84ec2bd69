// The game's join between the resource collector and the animation library:
// graphics lies below animation, so the collector makes skeletal mesh
// resources and joint-animation tracks through makers the game installs.
#pragma once

// Installs the animation library's makers into the collector (program-wide;
// the other kinds' makers stay as they are). Start-up calls it once.
void QmAnimInstallMakers();
