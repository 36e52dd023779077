/*
** The one door to the shell.  Every system() and popen() of the console
** unit goes through here, so that a test can capture the command line
** instead of changing the clock or restarting the box.
**
** runShell returns system()'s status; openShell/closeShell wrap
** popen/pclose.  With a capture hook installed, runShell hands the command
** to the hook and returns the hook's result; openShell then runs the hook
** and returns a stream over the hook's output text (or null).
**
** Nothing from an item value may reach a command unquoted: build commands
** with shellQuote().
*/
#ifndef DIAG_SHELLSEAM_H
#define DIAG_SHELLSEAM_H

#include <cstdio>
#include <functional>
#include <string>

int runShell(const char* command);
FILE* openShell(const char* command, const char* mode);
int closeShell(FILE* f);

/* Single-quote a text for /bin/sh: abc'd -> 'abc'\''d'. */
std::string shellQuote(const char* text);
/* One shell word: the text as it stands when it holds only letters, digits
** and "/._+-" (so the box's own commands read exactly as always), quoted
** otherwise; an empty text becomes ''. */
std::string shellWord(const char* text);

/* Test hook: receives every command; the int is the status to return,
** the string (for openShell) the text the command "prints". */
using shellHook = std::function<int(const std::string& cmd, std::string* output)>;
void setShellHook(shellHook hook); /* an empty hook restores the real shell */

#endif
