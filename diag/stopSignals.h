/*
** The peer programs stop cleanly on SIGTERM (a supervisor or a test) and on
** SIGINT (an operator's Ctrl-C) alike: one handler for both, installed with
** sigaction so a blocking call is not restarted behind the handler's back.
*/
#ifndef DIAG_STOPSIGNALS_H
#define DIAG_STOPSIGNALS_H

/* Returns 0, or -1 when either signal could not be set. */
int installStopSignals(void (*handler)(int));

#endif
