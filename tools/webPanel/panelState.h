/*
** The display's state as the page reads it: one JSON object, built from
** the firmware emulation after every change and sent to every page.
**
**   screen     80 display codes, row by row (4 rows of 20)
**   cursor     [row, column, style]   style 0 off, 4 shown at the edit position
**   backlight  the level sent last, 0..100
**   normal     the operator's normal backlight level (user block byte 2)
**   contrast   5..250
**   leds       [red0, green0, red1, green1, ... red3, green3] element levels
**              0..100 (red: output 2L+6, green: output 2L+5)
**   glyphs     8 custom characters x 8 pattern rows (5 bits each)
**   link       false while no console has talked to the display for 2 s
*/
#ifndef TOOLS_WEBPANEL_PANELSTATE_H
#define TOOLS_WEBPANEL_PANELSTATE_H

#include <string>

#include "tools/lcdEmu/emuPanel.h"

std::string panelStateJson(const emuPanel& panel, bool link);

#endif
