/*
** cmdInterp: line reader, matching, argument checks, help and the level
** stack of the command console (see cmdInterp.h for the contract).
**
** The input is read one character per system call without blocking, so a
** half-typed line survives across the command loop's 10 ms passes while the
** configuration link and the power watch keep running.  End of input (a
** closed pipe, /dev/null, a hung-up terminal) is reported as
** CMD_END_OF_INPUT so the console ends instead of polling a dead input.
*/
#include "cmdline/cmdInterp.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "diag/cppUtils.h"
#include "diag/numParse.h"

static const char SEPARATORS[] = " ,\t";
static const char TERMINATORS[] = "\r\n";
static const char DEFAULT_PROMPT[] = ">>";

/* ---- building a level ---------------------------------------------------- */

cmdList::cmdList(const CmdDef* table, const CmdDef* common, const char* prompt, int fd, FILE* out)
    : inFd(fd), outFile(out ? out : stdout),
      promptText(prompt && *prompt ? prompt : DEFAULT_PROMPT), promptDue(true),
      nonBlocking(false), skipLf(false), lineLen(0), tokenCount(0) {
  line[0] = '\0';
  addRows(table, false);
  addRows(common, true);
}

cmdList::~cmdList() {
  if (!nonBlocking) return;
  int flags = fcntl(inFd, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK)) fcntl(inFd, F_SETFL, flags & ~O_NONBLOCK);
}

void cmdList::out(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vfprintf(outFile, fmt, ap);
  va_end(ap);
  fflush(outFile);
}

/* Takes the rows of one table.  The first table may end with {0, ""} as
** well as {-1, ""}; the common table only with a negative number.  Any
** other row with an empty name or a negative number is a broken table. */
void cmdList::addRows(const CmdDef* table, bool commonTable) {
  if (table == nullptr) return;
  for (const CmdDef* r = table;; r++) {
    const char* name = r->name ? r->name : "";
    bool noName = name[0] == '\0';
    if (noName && (r->cmdId < 0 || (!commonTable && r->cmdId == 0))) return;
    if (r->cmdId < 0 || noName) {
      out("\n\n Command list must be terminated with command id -1 and a null command\n");
      if (r->cmdId < 0)
        out(" Found -1 cmd but command = '%s'\n\n", name);
      else
        out(" Found empty command but command id = %i\n\n", r->cmdId);
      throw 1;
    }
    auto num = byNumber.find(r->cmdId);
    if (num != byNumber.end()) {
      out("\n\n Duplicated command id: %i\n Used with commands '%s' and '%s'\n\n", r->cmdId,
          num->second.c_str(), name);
      throw 1;
    }
    if (byName.count(name)) {
      out("\n\n Duplicated command: '%s'\n\n", name);
      throw 1;
    }
    byNumber[r->cmdId] = name;
    byName[name] = r;
    rows.push_back(r);
  }
}

void cmdList::resume() {
  promptDue = true;
  nonBlocking = false;
}

/* ---- reading a line ------------------------------------------------------ */

bool cmdList::ensureNonBlocking() {
  if (nonBlocking) return true;
  int flags = fcntl(inFd, F_GETFL);
  if (flags < 0) return false;
  if (!(flags & O_NONBLOCK) && fcntl(inFd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  nonBlocking = true;
  return true;
}

/* Gathers characters until an end of line.  Characters past 120 are
** dropped; the line still ends at its CR or LF.  An LF right after a
** CR-ended line is the second half of a CR LF pair, not an empty line.
** Returns true for a complete line; *endOfInput when nothing more comes
** (a last line without its end of line still counts as complete). */
bool cmdList::gatherLine(bool* endOfInput) {
  for (;;) {
    char c;
    ssize_t n = read(inFd, &c, 1);
    if (n == 1) {
      bool wasCr = skipLf;
      skipLf = false;
      if (wasCr && c == '\n' && lineLen == 0) continue;
      if (lineLen < CMD_LINE_MAX) line[lineLen++] = c;
      line[lineLen] = '\0';
      if (c == '\n' || c == '\r') {
        skipLf = (c == '\r');
        return true;
      }
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return false;
    *endOfInput = true;
    return lineLen > 0;
  }
}

/* "r" alone repeats the previous line; any other line of more than two
** characters (its end of line included) becomes the previous line. */
void cmdList::recallOrRemember() {
  bool isRecall = lineLen == 2 && line[0] == 'r' && (line[1] == '\n' || line[1] == '\r');
  if (isRecall && !prevLine.empty()) {
    memcpy(line, prevLine.data(), prevLine.size());
    lineLen = (int)prevLine.size();
    line[lineLen] = '\0';
    char last = line[lineLen - 1];
    out("%s%s%s", promptText.c_str(), line, (last == '\n' || last == '\r') ? "" : "\n");
  } else if (lineLen > 2) {
    prevLine.assign(line, (size_t)lineLen);
  }
}

int cmdList::matchLine() {
  auto it = byName.find(tokens[0]);
  if (it == byName.end()) {
    out("Invalid command\n");
    return CMD_REJECTED;
  }
  const CmdDef& row = *it->second;
  int n = tokenCount - 1;
  if (n < row.minParms) {
    out(" Too few arguments (minimum=%i)\n", row.minParms);
    return CMD_REJECTED;
  }
  if (n > row.maxParms) {
    out(" Too many arguments (maximum=%i)\n", row.maxParms);
    return CMD_REJECTED;
  }
  return row.cmdId;
}

int cmdList::readCommand() {
  if (promptDue) {
    out("%s", promptText.c_str());
    lineLen = 0;
    line[0] = '\0';
    tokenCount = 0;
    promptDue = false;
  }
  ensureNonBlocking();
  bool endOfInput = false;
  if (!gatherLine(&endOfInput)) {
    if (!endOfInput) return CMD_NO_LINE;
    out("\n");  /* leave the shell's prompt on a line of its own */
    promptDue = true;
    return CMD_END_OF_INPUT;
  }
  recallOrRemember();
  int count = 0;
  tokenize(line, &count, lineLen, CMD_MAX_TOKENS, tokens, SEPARATORS, TERMINATORS);
  tokenCount = count < CMD_MAX_TOKENS ? count : CMD_MAX_TOKENS;
  promptDue = true;
  if (tokenCount == 0) return CMD_NO_LINE;
  return matchLine();
}

const char* cmdList::arg(int k) const {
  return (k >= 0 && k < tokenCount) ? tokens[k] : "";
}

int cmdList::argInt(int k) const { return atoiSat(arg(k)); }

/* ---- help ---------------------------------------------------------------- */

/*   "%6s : %-32s (" + parameter count + ")" or ")*" when detailed help exists
**   "       : " + parameter text                  (when there is one)
**   detailed help or the not-available text       (detailed form only) */
void cmdList::writeHelpLine(const CmdDef& row, bool detailed) {
  out("%6s : %-32s (", row.name, row.help ? row.help : "");
  if (row.minParms != row.maxParms)
    out("%i to %i parameters", row.minParms, row.maxParms);
  else if (row.minParms != 0)
    out("%i parameter%s", row.minParms, row.minParms > 1 ? "s" : "");
  else
    out("no parameters");
  out("%s\n", (row.detailHelp != nullptr && !detailed) ? ")*" : ")");
  if (row.parmText != nullptr && row.parmText[0] != '\0') out("%6s : %s\n", "", row.parmText);
  if (detailed)
    out("%s\n", row.detailHelp ? row.detailHelp : "Detailed help not available for this command.");
}

void cmdList::help() {
  if (tokenCount >= 2) {
    auto it = byName.find(tokens[1]);
    if (it == byName.end()) {
      out("%s is not an available command.\n", tokens[1]);
      return;
    }
    out("Detailed help for '%s':\n", it->second->name);
    writeHelpLine(*it->second, true);
    return;
  }
  out("Available commands....\n");
  for (const CmdDef* row : rows) writeHelpLine(*row, false);
  writeHelpLine(recallCmd, false);
}

/* ---- the level stack ----------------------------------------------------- */

cmdInterp::cmdInterp(int fd, FILE* out) : inFd(fd), outFile(out ? out : stdout), cur(nullptr) {}

cmdInterp::~cmdInterp() {
  delete cur;
  while (!stack.empty()) {
    delete stack.back();
    stack.pop_back();
  }
}

cmdList* cmdInterp::pushLevel(const CmdDef* table, const CmdDef* common, const char* prompt) {
  cmdList* level = new cmdList(table, common, prompt, inFd, outFile);  // may throw 1
  if (cur != nullptr) stack.push_back(cur);
  cur = level;
  return cur;
}

cmdList* cmdInterp::popLevel() {
  if (stack.empty()) return cur;
  delete cur;
  cur = stack.back();
  stack.pop_back();
  cur->resume();
  return cur;
}

int cmdInterp::readCommand() { return cur ? cur->readCommand() : CMD_NO_LINE; }
int cmdInterp::argCount() const { return cur ? cur->argCount() : -1; }
const char* cmdInterp::arg(int k) const { return cur ? cur->arg(k) : ""; }
int cmdInterp::argInt(int k) const { return cur ? cur->argInt(k) : 0; }
void cmdInterp::help() {
  if (cur) cur->help();
}
