#ifndef APP_H
#define APP_H

#include "board.h"

/* clock */
#define APPCFG_EXTCLK 8000000L // crystal
#define NAME "two  words"
#define JOIN 1 + \
  2
#endif
