/*
** Live status in the console unit: the status names of the parameter
** access ("doVA.x -v GPSStatus" ...) and the display loop's idle refresh,
** which hands every new shared-memory record to the menu editor's screens.
**
** Both read the status region the start-up attached (app.statusMem).  A
** channel that offers no record prints nothing / hands over nothing.
*/
#ifndef APP_STATUSACCESS_H
#define APP_STATUSACCESS_H

class kvSharedMem;
class statusScreens;
struct consoleApp;

/* Printers of the status rows of the parameter tables (paramStatusPrinter).
**   SoftwareVersion  the nine version texts, one a line, in the order of
**                    their offsets 96, 0, 32, 64, 192, 128, 160, 224, 256
**   MonitorDivDelay  "DiversityDelay=%9.6f s\n" with the current delay
**   AudioStatus      the audio status text
**   SystemStatus     the status-and-alarms text
**   GPSStatus, SystemTime, Eth0Status, Eth1Status
**                    the three rows of the matching screen, 20 wide */
void printSoftwareVersion(consoleApp& app, const char* typedName);
void printMonitorDivDelay(consoleApp& app, const char* typedName);
void printAudioStatus(consoleApp& app, const char* typedName);
void printSystemStatus(consoleApp& app, const char* typedName);
void printGpsStatus(consoleApp& app, const char* typedName);
void printSystemTime(consoleApp& app, const char* typedName);
void printEth0Status(consoleApp& app, const char* typedName);
void printEth1Status(consoleApp& app, const char* typedName);

/* Reads configuration item `item` of a generic_cfg (ctx) as an integer:
** the status screens' item reader. */
int statusItemReader(void* cfg, int item);

/* Poll channels 0, 1, 4, 3, 2, 5 and 7 once and give each new record to
** its setter (channel 1 to both the audio status and the diversity delay).
** Returns the number of channels that had a new record. */
int pollStatusChannels(kvSharedMem& shm, statusScreens& screens);

/* The DSP fault alert is shown once per run: true (and remembered) the
** first time the fault item is seen set. */
struct dspFaultLatch {
  bool shown = false;
  bool due(bool faultSet);
};

/* The display loop's idle pass: pollStatusChannels into the front end's
** screens, then the DSP fault alert ("!! DSP HW FAULT !!") once per run
** when item 53 (DSPHwFault) is set. */
void idleRefresh(consoleApp& app);

#endif
