/*
** cmdLine: parsing argc/argv against a SwitchDef table, the queries by
** switch identity, and the help listing built from the same table.
**
** Trace levels: "at level n" below means the line is written when the
** level the parser points at is n or more (a TRACE threshold of n - 1).
** User errors are traced at level 0, so they show even at the default.
*/
#include "cmdline/cmdLine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "diag/numParse.h"
#include "diag/trace.h"

namespace {

/* TRACE threshold for "written at level n or more" */
constexpr int atLevel(int n) { return n - 1; }

/* Error-code texts; anything else reads as one blank. */
const char* const kErrorTexts[] = {
    " ",                        /* 0: no error */
    "Too many switches",        /* 1 */
    "Parameter quantity error", /* 2 */
    "Duplicated switch",        /* 3 */
};

bool looksLikeSwitch(const char* arg) {
  return arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

}  // namespace

cmdLine::cmdLine()
    : ownTraceLevel(0),
      pTraceLevel(&ownTraceLevel),
      pErrLog(nullptr),
      nSwitches(0),
      nParams(0),
      progName(nullptr),
      errCode(ERR_NONE),
      table(nullptr),
      rowCount(0),
      current(nullptr) {
  switches.reserve(10);
  params.reserve(10);
}

cmdLine::~cmdLine() = default;

/* Clears used flags, settles maxima and counts the rows.  Returns -1 when
** a row's identity is outside 0..1000, which is how a table without its
** -1 row shows itself (the walk has run into other data). */
int cmdLine::walkTable(SwitchDef* t) {
  int n = 0;
  for (SwitchDef* row = t; row->switchId != -1; ++row) {
    if (row->switchId < 0 || row->switchId > MAX_SWITCH_ID) {
      /* reported as absorb's: the walk is part of it */
      reportError(pErrLog, 4, 12001, "cmdLine", "absorb", __LINE__, "%s",
                  "Parameter list must end with a '-1' parameter ID entry.");
      return -1;
    }
    row->used = false;
    if (row->minParams != 0 && row->maxParams == 0) row->maxParams = row->minParams;
    ++n;
  }
  return n;
}

int cmdLine::absorb(int argc, char** argv, SwitchDef* t) {
  TRACE(pTraceLevel, atLevel(4), "Arguments are:\n");
  switches.clear();
  params.clear();
  index.clear();
  current = nullptr;
  nSwitches = nParams = 0;
  errCode = ERR_NONE;
  table = t;
  rowCount = 0;
  if (t == nullptr) return 1;
  int rows = walkTable(t);
  if (rows < 0) return 1;
  rowCount = rows;
  progName = argc > 0 ? argv[0] : nullptr;

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i] != nullptr ? argv[i] : "";
    TRACE(pTraceLevel, atLevel(4), "%i %5s (is ", i, arg);
    if (looksLikeSwitch(arg))
      takeSwitch(i, arg);
    else
      takeParameter(i, arg);
  }
  TRACE(pTraceLevel, atLevel(4), "Switch check. Quant = %i\n", rowCount);
  checkCounts();
  TRACE(pTraceLevel, atLevel(4), "Absorb done\n");
  return errCode;
}

const SwitchDef* cmdLine::findRow(const char* arg) {
  for (int r = 0; r < rowCount; ++r) {
    SwitchDef* row = &table[r];
    if (row->name == nullptr) continue;
    if (row->caseSensitive) {
      if (strcmp(row->name, arg) != 0) continue;
      TRACE(pTraceLevel, atLevel(9), "Found case sensitive: %s\n", arg);
    } else {
      if (strcasecmp(row->name, arg) != 0) continue;
      TRACE(pTraceLevel, atLevel(9), "Found case IN-sensitive: %s\n", arg);
    }
    row->used = true;
    return row;
  }
  return nullptr;
}

void cmdLine::takeSwitch(int i, const char* arg) {
  switches.emplace_back(new cmdSwitch{arg, pTraceLevel, -1, 0, nullptr, {}});
  cmdSwitch* sw = switches.back().get();
  sw->params.reserve(3);
  current = sw;

  const SwitchDef* row = findRow(arg);
  if (row != nullptr) {
    sw->switchId = row->switchId;
    sw->row = row;
    if (index.count(row->switchId) != 0) {
      TRACE(pTraceLevel, atLevel(0), "Duplicated switch: %s\n", arg);
      errCode = ERR_DUPLICATE;
    } else {
      index[row->switchId] = sw;
    }
  } else {
    TRACE(pTraceLevel, atLevel(0), "Invalid switch: %s\n", arg);
    errCode = ERR_INVALID;
  }
  ++nSwitches;
  TRACE(pTraceLevel, atLevel(4), "switch %i)\n", i);
}

void cmdLine::takeParameter(int i, const char* arg) {
  params.emplace_back(new cmdParam{arg, pTraceLevel});
  if (current != nullptr) {
    current->paramCount++;
    current->params.push_back(params.back().get());
  }
  ++nParams;
  TRACE(pTraceLevel, atLevel(4), "parameter %i)\n", i);
}

/* "%i parameter%s.\n" or "between %i and %i parameters.\n" */
void cmdLine::formatRequirement(const SwitchDef* row, char* out, int size) const {
  if (row->minParams == row->maxParams)
    snprintf(out, size, "%i parameter%s.\n", row->minParams, row->minParams == 1 ? "" : "s");
  else
    snprintf(out, size, "between %i and %i parameters.\n", row->minParams, row->maxParams);
}

/* Only the first offending switch is reported: once any error is known
** (including a duplicate or unknown switch) no further count is tested. */
void cmdLine::checkCounts() {
  for (size_t k = 0; k < switches.size() && errCode == ERR_NONE; ++k) {
    const cmdSwitch* sw = switches[k].get();
    TRACE(pTraceLevel, atLevel(4), "Switch %i\n", (int)k);
    const SwitchDef* row = sw->row;
    if (row == nullptr) continue;
    if (sw->paramCount < row->minParams || sw->paramCount > row->maxParams) {
      errCode = ERR_PARAM_QTY;
      char need[64];
      formatRequirement(row, need, sizeof need);
      TRACE(pTraceLevel, atLevel(0), "Error:\nSwitch %s requires %s", row->name, need);
    }
    TRACE(pTraceLevel, atLevel(4), "%i (%s) is used: %s\n", (int)k, row->name,
          row->used ? "yes" : " no");
  }
}

bool cmdLine::isPresent(int switchId) const { return index.count(switchId) != 0; }

const cmdSwitch* cmdLine::getSwitch(int switchId) const {
  auto it = index.find(switchId);
  return it == index.end() ? nullptr : it->second;
}

int cmdLine::paramCount(int switchId) const {
  const cmdSwitch* sw = getSwitch(switchId);
  return sw == nullptr ? 0 : sw->paramCount;
}

const char* cmdLine::paramText(int switchId, int i) const {
  const cmdSwitch* sw = getSwitch(switchId);
  if (sw == nullptr || i < 0 || i >= sw->paramCount) return nullptr;
  return sw->params[i]->text;
}

long cmdLine::paramInt(int switchId, int i) const {
  const char* text = paramText(switchId, i);
  return atoiSat(text);
}

const char* cmdLine::parameterAt(int i) const {
  if (i < 0 || i >= (int)params.size()) return nullptr;
  return params[i]->text;
}

int cmdLine::join(int switchId, int maxCount, char* dest, int destSize, char sep) const {
  const cmdSwitch* sw = getSwitch(switchId);
  if (sw == nullptr || dest == nullptr || destSize < 1) return 0;
  const int n = maxCount < sw->paramCount ? maxCount : sw->paramCount;
  const int last = destSize - 1; /* room kept for the terminator */
  int p = 0;
  for (int i = 0; i < n && p < last; ++i) {
    if (i > 0 && sep != '\0') dest[p++] = sep;
    for (const char* s = sw->params[i]->text; *s != '\0' && p < last; ++s) dest[p++] = *s;
  }
  dest[p] = '\0';
  return p;
}

const char* cmdLine::errorText() const {
  if (errCode >= ERR_TOO_MANY && errCode <= ERR_DUPLICATE) return kErrorTexts[errCode];
  return " ";
}

/* Each piece is its own trace print at level 0, so with a trace level set
** every piece carries its own time prefix, mid-row included; scripts that
** read the help skip the stamps.  A row: the name right-aligned in 7, the
** parameter text, the help text, then the parameter rule in parentheses. */
void cmdLine::printHelp(const char* header) const {
  TRACE(pTraceLevel, atLevel(0), header, progName != nullptr ? progName : "");
  TRACE(pTraceLevel, atLevel(0), "\nSwitches:\n");
  for (int r = 0; r < rowCount; ++r) {
    const SwitchDef* row = &table[r];
    if (row->name == nullptr || row->helpText == nullptr) break;
    TRACE(pTraceLevel, atLevel(0), "%7s %s :  %s (", row->name,
          row->paramText != nullptr ? row->paramText : "", row->helpText);
    if (row->caseSensitive) TRACE(pTraceLevel, atLevel(0), "Case sensitive, ");
    if (row->minParams != row->maxParams)
      TRACE(pTraceLevel, atLevel(0), "%i to %i parameters", row->minParams, row->maxParams);
    else if (row->minParams == 0)
      TRACE(pTraceLevel, atLevel(0), "no parameters");
    else
      TRACE(pTraceLevel, atLevel(0), "%i parameter%s", row->minParams,
            row->minParams > 1 ? "s" : "");
    TRACE(pTraceLevel, atLevel(0), ")\n");
  }
  TRACE(pTraceLevel, atLevel(0), "\n");
}
