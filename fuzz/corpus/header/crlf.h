#ifndef G
#define G
// above
#define A 1 /* c */
#endif
