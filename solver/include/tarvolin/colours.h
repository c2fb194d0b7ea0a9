/* Tarvolin cutting optimizer: the colours of the progress and process
 * windows, as the view callbacks (tarvolin/solver.h) take them: 0xBBGGRR
 * integers, red in the low byte and blue in the high byte. */
#ifndef TARVOLIN_COLOURS_H
#define TARVOLIN_COLOURS_H

#define TARVOLIN_COLOUR_RED 0x0000FF
#define TARVOLIN_COLOUR_BLUE 0xFF0000
#define TARVOLIN_COLOUR_NAVY 0x800000
#define TARVOLIN_COLOUR_GREY 0x808080

#endif
