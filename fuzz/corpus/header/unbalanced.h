#define A don't
#define B "open
/* never closed
#define C 3
