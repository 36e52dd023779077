/*
** The menu display of the console unit: making and initialising the front
** end (miniDispInit), the display loop of RUNMODE_DISPLAY, and what the
** loop does with changed configuration items (indicators, boot text,
** alerts, the power-down confirmation, the operating-mode change).
**
**   frontEndInit       miniDispInit(hardware): clamp the size, (re)make the
**                      front end, open the device or initialise the menu;
**                      0 ok, non-zero failed
**   runDisplayLoop     powerWatch, serviceCfg(0, 0), service until the
**                      front end ends, the master drops the registration
**                      or a stop is requested
**   handleChangedData  one pass over the front end's changed-item queue
**
** The front end is the front-panel module (treeEditorModule, on the LCD
** found by LCD4x20) when lcdMode is set, else the console window
** (treeEditorCnsl).
*/
#ifndef APP_DISPLAYLOOP_H
#define APP_DISPLAYLOOP_H

struct consoleApp;

/* Status indicators of the display and the item each one shows. */
enum { dispINDICATORS = 4 };

int frontEndInit(consoleApp& app, bool hardware);
void runDisplayLoop(consoleApp& app);
void handleChangedData(consoleApp& app);
/* Forget the operating mode seen last: the next handleChangedData sets
** call sign and band without an alert (the start of every display loop). */
void resetChangeHandling();

/* Boot text: four rows, the third " for station %s" (item 135) cut to 19
** characters; committed with the last row. */
void showBootText(consoleApp& app);
/* Indicator n (0..3) := item 55, 57, 60, 61 as an integer; other n: no-op. */
void updateIndicator(consoleApp& app, int n);
/* A message box without completion; dropped while another is shown.
** Returns 1 when shown. */
int showAlert(consoleApp& app, const char* title, const char* body);

/* Start-up progress text on the front end's log (the window ignores it). */
void frontEndLogLine(consoleApp& app, const char* text);
/* The AM flag of the front end (header "AM" / "FM"), when one exists. */
void setFrontEndBand(consoleApp& app, bool am);
/* Step 13: the front end is destroyed (a console window leaves raw mode). */
void destroyFrontEnd(consoleApp& app);

/* The item an indicator shows, -1 for a bad n. */
int indicatorItem(int n);
/* The indicator a changed item refreshes, -1 for none (55/56 -> 0,
** 57 -> 1, 59/60 -> 2, 61/62 -> 3). */
int indicatorForItem(int item);

#endif
