/*
** hostLink: the console unit's link to the background supervisor, the
** "Console to Host" queue pair (key byte 104).  It exists only in the kill
** path ("-kill"): the console registers, and when the supervisor grants the
** registration within 5 seconds the process ends by sending it the shutdown
** request (code 5).  Without an answer the link is dropped and, with "-i",
** the interactive command console runs instead.
**
** The queue keys come from the program's directory (the error log's
** setProgramDir), so the supervisor must run from the same directory.
**
** Not here: the configuration link (queue "doVA.x", key byte 65), which
** the configuration object owns.
*/
#ifndef APP_HOSTLINK_H
#define APP_HOSTLINK_H

struct consoleApp;
class msgQ_IO;
class ErrTrcLog;

enum {
  hostKEY_BYTE = 104,        /* master-to-client 104, client-to-master 151 */
  hostRX_CAPACITY = 50000,
  hostGRANT_WAIT_SEC = 5,    /* the kill path's wait for the grant */
  hostMAX_WAIT_SEC = 20      /* longest wait waitForHostMessage accepts */
};
extern const char hostQUEUE_NAME[];  /* "Console to Host" */

/* Create the client endpoint (which sends the registration request).
** Never null; check linkOk() for the outcome. */
msgQ_IO* openHostLink(const int* pTraceLevel, ErrTrcLog* pErrLog);

/* Step 11, the kill path: open app.hostQueue, wait up to 5 s for the grant
** and choose app.runMode (and app.killRequested).  Without a grant the
** queue is closed and dropped: nothing is sent on it later. */
void runKillPath(consoleApp& app);

/* Poll app.hostQueue until a message of wantedCode (any message for 0)
** arrives, the timeout passes or app.stopRequested is set.  The timeout is
** clamped to 20 s; a negative one becomes 1 s; 0 is one look at the queue.
** Every message met on the way is handled:
**   3  grant, traced          6  deny: returns 6 at once when waiting for 3
**   8 15 17 19 24 25  data, traced with its text
**   10 ping: answered with 11, otherwise ignored (not "a message")
**   11 ping response, traced  other codes traced with their text
** Returns the code that ended the wait, 0 when none did (or no queue). */
int waitForHostMessage(consoleApp& app, int timeoutSec, int wantedCode);

/* Step 14: send code 5 ("Registration Shutdown") when app.killRequested,
** else code 4 ("Registration Goodbye"), and close the queue.  Nothing
** happens when no host queue exists. */
void closeHostLink(consoleApp& app);

#endif
