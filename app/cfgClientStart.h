/*
** The console unit as a client of the configuration master: building the
** data set object, linking it to the master with a bounded number of
** attempts, subscribing to every item, and announcing the user-interface
** version once linked.  The start-up (doVA.cpp) calls these in order;
** showStatus() carries the progress texts to the display's start-up log.
**
**   cfgCreateDataSet    app.cfg = a new dovidu_config (never fails)
**   cfgClientStart      "Cfg Init %i" x at most 4, "Cfg Subscribe",
**                       addAllItems(2), subscribeListSend, "Subscribe
**                       Done"; failures count one start-up error each
**                       (20002 no link after 4 attempts, 20003 no data)
**   cfgAnnounceVersion  item 0 = 0x01080003; item 77 read: AM mode or not
**   cfgDestroyDataSet   delete app.cfg (a registered client says goodbye)
*/
#ifndef APP_CFGCLIENTSTART_H
#define APP_CFGCLIENTSTART_H

struct consoleApp;

enum { cfgSTART_ATTEMPTS = 4 };

/* Build app.cfg with the process trace level and error log. */
void cfgCreateDataSet(consoleApp& app);
/* Link and subscribe; adds to app.startupErrors on failure.  Returns 0
** when subscribed, 1 otherwise. */
int cfgClientStart(consoleApp& app);
/* Write the user-interface version to item 0 and read the operating mode
** (item 77).  Returns true for the AM modes 4 and 5: the front end's AM
** flag. */
bool cfgAnnounceVersion(consoleApp& app);
void cfgDestroyDataSet(consoleApp& app);

#endif
