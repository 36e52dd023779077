/*
** The emulated front panel drawn live in a terminal (lcdEmu.x -v): the
** 4 x 20 screen with the display's glyphs as terminal characters, the four
** LEDs in their colours, the backlight and contrast levels, and the six
** keys on the keyboard.  It shows one emuLine and differs from the command
** mode of lcdEmu.x only in how keys come in and the panel goes out.
**
** Keys (one line of the view lists them):
**   arrows        up, down, left, right        Enter      select (the tick)
**   x, Esc        X pressed and released alone (back; "no" in a box)
**   Space         X held for the next key: Space then Up is X+up (x5),
**                 Down backspace, Left delete, Right insert, Enter help
**   q             quit the view and the emulator
**
** Not for: the command language of lcdEmu.x (tests keep using it).
*/
#ifndef TOOLS_LCDEMU_PANELVIEW_H
#define TOOLS_LCDEMU_PANELVIEW_H

#include <csignal>
#include <string>

class emuLine;

/* Runs until q or *stop; device is the slave path shown in the title.
** Returns 0, or 1 when the terminal cannot be driven (message printed). */
int runPanelView(emuLine& line, const std::string& device, volatile sig_atomic_t* stop);

#endif
