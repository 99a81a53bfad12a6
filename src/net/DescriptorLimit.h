#pragma once

// Every request of a run holds one socket, and a process may only hold so
// many descriptors: past that, a connect fails before it reaches the server.

// Raises the soft limit on open descriptors to the hard limit.
void raiseDescriptorLimit();
// The soft limit; a very large number when there is none.
long descriptorLimit();
// Descriptors the process has open now.
int openDescriptorCount();
// How many more sockets may be opened now, keeping `reserve` descriptors
// free for files, pipes and the window system; at least 1.
int socketBudget(int reserve);
