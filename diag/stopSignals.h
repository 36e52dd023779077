/*
** The long-running programs stop cleanly on SIGTERM (a supervisor or a
** test), SIGINT (an operator's Ctrl-C), SIGHUP (the terminal went away) and
** SIGQUIT alike: one handler for all four, installed with sigaction so a
** blocking call is not restarted behind the handler's back.  SIGPIPE is
** ignored: a reader that went away (a closed standard output, a pipe whose
** other end died) makes a write fail with EPIPE instead of ending the
** program without saving anything.
*/
#ifndef DIAG_STOPSIGNALS_H
#define DIAG_STOPSIGNALS_H

/* Returns 0, or -1 when any of the signals could not be set. */
int installStopSignals(void (*handler)(int));

#endif
