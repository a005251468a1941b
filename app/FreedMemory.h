#pragma once

// Gives the memory the allocator holds free back to the system. A long walk's levels are kept
// until STOP; freed then, they leave holes between the blocks allocated meanwhile (the coverage's
// bins, the painting), which the allocator keeps for itself and never returns on its own: the
// window's resident memory would grow with each long walk of the day. Called once a segment's
// walk has ended and its levels are freed; a few milliseconds, once per walk.
void GiveBackFreedMemory();
