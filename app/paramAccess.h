/*
** Parameter access by name: "doVA.x -v Name" prints one parameter,
** "doVA.x -s Name Value" sets it, waits about 100 ms for the master's echo
** and prints it; both end the process with status 0.
**
** Every public name is one row of a table (data, not code): the name, the
** item it maps to, the value kind that decides parsing and printing, and an
** optional special treatment.  Two tables: names that must equal the typed
** name, tried first, and names the typed name only has to begin with (first
** hit in table order wins).  Live-status names are rows of kind pkSTATUS
** carrying their own print function; they never set anything.
**
** Extending: add a row to paramExactNames[] or paramPrefixNames[] in
** paramAccess.cpp.  A status row is
**     { pkSTATUS, "AudioStatus", -1, psNONE, printAudioStatus },
** where printAudioStatus(app, typedName) prints the lines itself.
*/
#ifndef APP_PARAMACCESS_H
#define APP_PARAMACCESS_H

struct consoleApp;

/* Value kinds: how "-s" parses a value and how the value is printed. */
enum paramKind {
  pkEND = -1,     /* ends a table */
  pkTEXT = 0,     /* "%s=%s\n", set as a quoted change request */
  pkINT = 1,      /* "%s=%d\n", set with atoi */
  pkFLOAT = 2,    /* "%s=%9.6f\n", set with atof */
  pkIP = 3,       /* "%s=%u.%u.%u.%u\n", set from "%u.%u.%u.%u" */
  pkYESNO = 4,    /* "%s=yes" / "%s=no", set 1 when atoi is non-zero */
  pkMAC = 5,      /* "ExgineMac=%02x:...\n", set from "%x:%x:%x:%x:%x:%x" */
  pkSTATUS = 6    /* live status from the shared memory; print only */
};

/* Special treatment of a row besides its kind. */
enum paramSpecial {
  psNONE = 0,
  psOPMODE = 1,   /* print the operating mode's name line first */
  psHDCMODE = 2,  /* a value other than 1, 2 or 4 is set as 1 */
  psSIS = 3       /* "SisScheduleB%dPL%d" picks the item; prints the schedule */
};

/* Prints a status name's lines (typedName is the name as the user typed
** it); used by rows of kind pkSTATUS. */
typedef void (*paramStatusPrinter)(consoleApp& app, const char* typedName);

struct paramRow {
  int kind;                    /* paramKind; pkEND ends the table */
  const char* name;            /* the public name */
  int item;                    /* item index; -1 for status rows */
  int special;                 /* paramSpecial */
  paramStatusPrinter status;   /* pkSTATUS rows only */
};

extern const paramRow paramExactNames[];
extern const paramRow paramPrefixNames[];

/* Buffers of the typed name and of the joined "-s" text. */
enum { paramNAME_SIZE = 128, paramSET_SIZE = 1024 };

/* The row for a typed name: exact names first, then by beginning; null
** when no row matches. */
const paramRow* findParam(const char* typedName);

/* Name of operating mode 1..5 ("FM MP1-MP3 Dynamic" ...), null otherwise. */
const char* operatingModeName(int mode);
/* Name of SIS message number 0..15 ("STATION ID" ...; 10..15 are empty);
** null outside the table. */
const char* sisMessageName(int payload);

/* Run "-v" or "-s" against app.cfg (connected or not), print to standard
** output, destroy app.cfg.  Returns the exit status: always 0. */
int paramAccess(consoleApp& app);

#endif
