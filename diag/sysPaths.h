/*
** Where the console unit meets the machine: names and paths that default to
** the box's own values and can be moved by environment variables, so tests
** and a second system on one machine do not collide.
**
**   DOVA_STATUS_SHM  shared status region name   default "/kvMainStatusShare"
**   DOVA_LCD_DEVICE  one serial device path       default: search "/dev/ttyS%i"
**   DOVA_RUN_DIR     dir of kvUpgrade.x, update/  default "/mnt/run"
*/
#ifndef DIAG_SYSPATHS_H
#define DIAG_SYSPATHS_H

const char* statusShmName();   /* never null */
const char* lcdDeviceOverride(); /* null when not set */
const char* runDir();          /* never null, no trailing '/' */

#endif
