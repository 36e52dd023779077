/*
** treeEditor: composing the rows for the current mode (header, browsing
** list, value view, help view, screens, message box) and the bookkeeping
** of which rows changed.
**
** Composition writes into the row buffers only; a front end paints them.
** Every row stays blank-filled to the column count with its terminator in
** place, whatever the length of labels and values: long texts are cut.
*/
#include "menu/treeEditor.h"

#include "config/genericConfig.h"
#include "diag/cppUtils.h"
#include "diag/trace.h"
#include "menu/cfgAccess.h"
#include "menu/narrowBox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
bool isData(const treeItem* it) { return it && (it->kind == tit_EDIT || it->kind == tit_VIEW); }
const int VALUE_TEXT_MAX = 1100;
}  // namespace

/* ---- row bookkeeping --------------------------------------------------- */

const char* treeEditor::rowText(int row) const {
  return (row >= 0 && row < totalRows) ? rows[row] : "";
}

int treeEditor::rowChangedFrom(int row) const {
  return (row >= 0 && row < totalRows) ? changedFrom[row] : -1;
}

int treeEditor::takeRowChange(int row) {
  if (row < 0 || row >= totalRows) return -1;
  int c = changedFrom[row];
  changedFrom[row] = -1;
  return c;
}

void treeEditor::somethingChanged(int row, int column) {
  if (row < 0 || row >= totalRows) {
    ERRLOG(pErrLog, 4, 21005, "treeEdit", "Invalid lineNum for 'somethingChanged'.  value=%i", row);
    return;
  }
  if (column < 0) column = 0;
  if (column >= columns) column = columns - 1;
  if (changedFrom[row] < 0 || column < changedFrom[row]) changedFrom[row] = column;
  screenChanged = true;
}

void treeEditor::markAllChanged() {
  for (int r = 0; r < totalRows; ++r) somethingChanged(r, 0);
}

void treeEditor::snapshotBody() {
  for (int r = headerRows; r < headerRows + bodyRows; ++r) memcpy(shadow[r], rows[r], columns);
}

/* Mark body rows from the first column that differs from the snapshot. */
void treeEditor::markBodyDiffs() {
  for (int r = headerRows; r < headerRows + bodyRows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (rows[r][c] != shadow[r][c]) {
        somethingChanged(r, c);
        break;
      }
    }
  }
}

void treeEditor::blankRow(int row, char fill) {
  if (row < 0 || row >= totalRows) return;
  memset(rows[row], fill, columns);
  rows[row][columns] = '\0';
}

/* Write at most maxLen characters of text (maxLen < 0: all) from column on,
** never past the row's end. */
void treeEditor::putRow(int row, int column, const char* text, int maxLen) {
  if (row < 0 || row >= totalRows || column < 0 || column >= columns || text == nullptr) return;
  int room = columns - column;
  int n = (int)strnlen(text, (size_t)room);
  if (maxLen >= 0 && n > maxLen) n = maxLen;
  memcpy(rows[row] + column, text, n);
}

/* Write the row only where it differs, marking the first differing column:
** composing the same screen twice paints nothing the second time. */
static void diffWrite(char* dst, const char* src, int columns, int* firstDiff) {
  *firstDiff = -1;
  for (int c = 0; c < columns; ++c) {
    if (dst[c] != src[c]) {
      if (*firstDiff < 0) *firstDiff = c;
      dst[c] = src[c];
    }
  }
}

/* ---- refresh ----------------------------------------------------------- */

void treeEditor::refresh() {
  if (totalRows == 0 || root == nullptr) return;
  if (boxShown) {
    composeMessageBox();
    return;
  }
  if (dispMode == tdm_EDIT) return;   /* the edit control owns the body */
  for (int r = 0; r < totalRows; ++r) memcpy(shadow[r], rows[r], columns);
  composeHeader();
  switch (dispMode) {
    case tdm_MENU:
      if (cursorState == MC_HELP) composeHelp();
      else if (cursorState == MC_VALUE) composeValueView();
      else composeBrowse();
      break;
    case tdm_VIEW: {
      for (int r = headerRows; r < headerRows + bodyRows; ++r) blankRow(r, ' ');
      char v[VALUE_TEXT_MAX];
      valueText(current, v, sizeof v);
      putRow(headerRows, 0, current->longLabel(), -1);
      if (bodyRows > 1) putRow(headerRows + 1, 0, v, -1);
      break;
    }
    default: composeSpecial(); break;
  }
  for (int r = 0; r < totalRows; ++r) {
    int first;
    char tmp[ROW_BYTES];
    memcpy(tmp, rows[r], columns);
    memcpy(rows[r], shadow[r], columns);
    diffWrite(rows[r], tmp, columns, &first);
    if (first >= 0) somethingChanged(r, first);
  }
}

void treeEditor::composeHeader() {
  for (int r = 0; r < headerRows; ++r) blankRow(r, ' ');
  if (headerRows == 0) return;
  if (columns >= 2) putRow(0, columns - 2, band ? "AM" : "FM", 2);
  if (current->parent != nullptr) {
    putRow(0, 0, current->shortLabel(), columns);
  } else {
    putRow(0, 0, "MAIN MENU  ", -1);
    putRow(0, 13, callSign, 4);
    putRow(0, 17, "-", 1);
  }
}

/* Keep the selected child within the body rows with one line of context. */
void treeEditor::scrollWindow(treeItem* menu) {
  int sel = menu->selected;
  if (sel < 0) {
    menu->firstShown = 0;
    return;
  }
  int r = bodyRows - 1;
  int last = menu->visibleCount() - 1;
  int& first = menu->firstShown;
  if (sel <= first && sel != 0) first = sel - 1;
  else if (sel >= first + r) first = sel == last ? sel - r : sel - r + 1;
  first = std::max(first, sel - r);
  first = std::min(first, sel);
  first = std::max(first, 0);
}

void treeEditor::composeBrowse() {
  treeItem* menu = current;
  scrollWindow(menu);
  int n = menu->visibleCount();
  int mlen = (int)strlen(marker);
  for (int b = 0; b < bodyRows; ++b) {
    int row = headerRows + b;
    blankRow(row, ' ');
    int i = menu->firstShown + b;
    if (i >= n) continue;
    char c0 = ' ';
    if (i == menu->selected) c0 = '-';
    else if (b == 0 && menu->firstShown > 0) c0 = (char)dispChars[DC_MORE_ABOVE];
    else if (b == bodyRows - 1 && i < n - 1) c0 = (char)dispChars[DC_MORE_BELOW];
    rows[row][0] = c0;
    if (i == menu->selected) putRow(row, 1, marker, -1);
    putRow(row, 1 + mlen, menu->visibleChild(i)->longLabel(), -1);
  }
}

bool treeEditor::dataNeighbour(treeItem* menu, int from, int step) const {
  for (int i = from + step; i >= 0 && i < menu->visibleCount(); i += step)
    if (isData(menu->visibleChild(i))) return true;
  return false;
}

void treeEditor::valueText(treeItem* item, char* out, int size) {
  if (item == nullptr || item->data == nullptr) {
    snprintf(out, size, "(NO DATA)");
    return;
  }
  data_itm_Base* d = item->data;
  if (!item->choices.empty()) {
    snprintf(out, size, "%s", d->lookupText());
  } else if (d->typeCode == dtKVTIME || d->typeCode == dtOLD_TIME) {
    char now[32];
    formatDateTime(now, -1);
    snprintf(out, size, "%.19s", now);
  } else {
    int n = cfgItemValueText(d, out, size);
    snprintf(out + n, size - n, "%s", cfgItemUnits(d));
  }
}

void treeEditor::composeValueView() {
  treeItem* menu = current;
  treeItem* sel = menu->selectedChild();
  int top = headerRows;
  for (int b = 0; b < bodyRows; ++b) blankRow(top + b, b == 0 ? fillChar : ' ');
  char v[VALUE_TEXT_MAX];
  valueText(sel, v, sizeof v);
  const char* label = sel ? sel->longLabel() : "";
  if (bodyRows < 3) {
    std::string joined = std::string(label) + ":" + v;
    putRow(top, 0, joined.c_str(), -1);
    return;
  }
  int width = columns - 1;
  rows[top][0] = dataNeighbour(menu, menu->selected, -1) ? (char)dispChars[DC_MORE_ABOVE] : fillChar;
  int len = std::min((int)strlen(label), width);
  putRow(top, 1 + (width - len) / 2, label, len);
  len = std::min((int)strlen(v), width);
  putRow(top + 1, 1 + (width - len) / 2, v, len);
  if (dataNeighbour(menu, menu->selected, 1)) rows[top + 2][0] = (char)dispChars[DC_MORE_BELOW];
  if (sel && sel->kind == tit_EDIT) putRow(top + bodyRows - 1, 1, editHint.c_str(), -1);
}

/* ---- special and text screens ----------------------------------------- */

void treeEditor::composeSpecial() {
  char* body[MAX_ROWS];
  for (int b = 0; b < bodyRows; ++b) {
    blankRow(headerRows + b, ' ');
    body[b] = rows[headerRows + b];
  }
  int id = current->itemID;
  if (id == treeSCR_SW_UPDATE) {
    composeUpdate(body);
    return;
  }
  if (screens.draw(id, body, bodyRows, columns) != 0) {
    for (int b = 0; b < bodyRows && b < 3; ++b) putRow(headerRows + b, 0, " -no data available-", -1);
  }
}

/* The software update screen: one owner's step per draw, its text wrapped
** to the width.  While the installer's output is read the view follows
** the end: its first line is three lines before the last, not below 0. */
void treeEditor::composeUpdate(char* const* body) {
  static char text[ssTEXT_BUF_SIZE];
  if (updateFn && !updateFinished) {
    int ran = updateStep;
    text[0] = '\0';
    updateFn(updateCtx, &updateStep, text, sizeof text);
    if (updateStep == 1) updateFinished = true;
    screens.wrapText(text, (int)strnlen(text, sizeof text), columns);
    if (ran == 2) updateScroll = std::max(0, screens.textLines() - 3);
  } else if (updateFn == nullptr) {
    screens.wrapText("", 0, columns);   /* no update here: not another screen's text */
  }
  int lines = screens.textLines();
  updateScroll = std::max(0, std::min(updateScroll, lines - 1));
  const char* buf = screens.textBuffer();
  for (int b = 0; b < bodyRows; ++b) {
    int l = updateScroll + b;
    if (l < lines) memcpy(body[b], buf + (size_t)l * columns, columns);
  }
}

/* Keys on the update screen scroll its own view (one line per key). */
int treeEditor::updateScrollKey(int key) {
  if (key == treeKEY_DOWN && updateScroll + bodyRows < screens.textLines()) {
    ++updateScroll;
    return 1;
  }
  if (key == treeKEY_UP && updateScroll > 0) {
    --updateScroll;
    return 1;
  }
  return 0;
}

/* ---- message box ------------------------------------------------------- */

int treeEditor::showMessageBox(const char* title, const char* text) {
  if (boxShown || totalRows == 0) return 0;
  snprintf(boxTitle, sizeof boxTitle, "%s", title ? title : "");
  snprintf(boxText, sizeof boxText, "%s", text ? text : "");
  boxSaved.clear();
  if (dispMode == tdm_EDIT)
    for (int r = 0; r < totalRows; ++r) boxSaved.emplace_back(rows[r], columns);
  boxShown = true;
  refresh();
  return 1;
}

int treeEditor::showMessageBox(const char* title, const char* text, treeMsgBoxDone done,
                               void* user) {
  if (boxShown || totalRows == 0) return 0;
  setMessageBoxCallback(done, user);
  return showMessageBox(title, text);
}

void treeEditor::setMessageBoxCallback(treeMsgBoxDone done, void* user) {
  boxDone = done;
  boxUser = user;
}

/* The 20-column box as the panel draws it; on a narrower display the box
** is laid out again (narrowBox.h) over as many body rows as it needs, at
** least the three of the 20-column box. */
void treeEditor::composeMessageBox() {
  if (columns < MSG_WIDTH) {
    std::vector<std::string> box;
    int head = headerRows > 0 ? 1 : 0;
    narrowBoxRows(boxTitle, boxText, columns, head + bodyRows, head > 0, &box);
    if (head > 0) {
      blankRow(0, ' ');
      if (!box.empty()) putRow(0, 0, box[0].c_str(), columns);
      somethingChanged(0, 0);
    }
    int used = std::min(bodyRows, std::max(3, (int)box.size() - head));
    for (int b = 0; b < used; ++b) {
      blankRow(headerRows + b, ' ');
      if (head + b < (int)box.size()) putRow(headerRows + b, 0, box[head + b].c_str(), columns);
      somethingChanged(headerRows + b, 0);
    }
    return;
  }
  int w = std::min((int)MSG_WIDTH, columns);
  if (headerRows > 0) {
    blankRow(0, ' ');
    memset(rows[0], '!', w);
    int len = (int)strlen(boxTitle);
    putRow(0, std::max(0, MSG_WIDTH / 2 - len / 2), boxTitle, -1);
    somethingChanged(0, 0);
  }
  const char* p = boxText;
  for (int b = 0; b < 3 && b < bodyRows; ++b) {
    int row = headerRows + b;
    memset(rows[row], ' ', w);
    const char* nl = strchr(p, '\n');
    int len = nl ? (int)(nl - p) : (int)strlen(p);
    putRow(row, 0, p, std::min(len, w));
    p = nl ? nl + 1 : p + len;
    somethingChanged(row, 0);
  }
}

/* ---- help view ---------------------------------------------------------- */

/* An item limit as a whole number ("no limit" is written as 2^31). */
static int wholeNumber(float f) {
  if (!(f == f)) return 0;
  if (f >= 2147483647.0f) return 2147483647;
  if (f <= -2147483648.0f) return -2147483647 - 1;
  return (int)f;
}

/* The help text of an item: its label, its help, then what it accepts
** (range with units for numbers, the length for texts). */
static std::string helpTextOf(const treeItem* sel) {
  std::string text = std::string(sel->longLabel()) + ":\n";
  text += sel->helpText ? sel->helpText : "No help available for this item.";
  const data_itm_Base* d = sel->data;
  if (d == nullptr || !sel->choices.empty()) return text;
  char buf[160];
  buf[0] = '\0';
  if (d->typeCode == dtFLOAT)
    snprintf(buf, sizeof buf, "\nRange: %g to %g%s", d->min, d->max, cfgItemUnits(d));
  else if (d->typeCode == dtINT || d->typeCode == dtNONE)
    snprintf(buf, sizeof buf, "\nRange: %i to %i%s", wholeNumber(d->min), wholeNumber(d->max),
             cfgItemUnits(d));
  else if (d->typeCode == dtSTRING)
    snprintf(buf, sizeof buf, "\nUp to %i characters", wholeNumber(d->max));
  return text + buf;
}

/* Word-wrap into lines of at most width characters (line feeds end lines;
** a word longer than the width is cut). */
static void wrapHelp(const std::string& text, int width, std::vector<std::string>* out) {
  out->clear();
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      out->push_back(line);
      line.clear();
      continue;
    }
    line += c;
    if ((int)line.size() <= width) continue;
    size_t cut = line.rfind(' ', width);
    std::string rest;
    if (cut == std::string::npos || cut == 0) {
      rest = line.substr(width);
      line.resize(width);
    } else {
      rest = line.substr(cut + 1);
      line.resize(cut);
    }
    out->push_back(line);
    line = rest;
  }
  if (!line.empty()) out->push_back(line);
}

int treeEditor::resizeDisplay(int body, int cols) {
  if (root == nullptr || dispMode == tdm_EDIT) return 1;
  bodyRows = body < 1 ? 1 : body;
  if (headerRows + bodyRows + footerRows > MAX_ROWS) bodyRows = MAX_ROWS - headerRows - footerRows;
  columns = cols < 1 ? 1 : cols > MAX_COLS ? MAX_COLS : cols;
  allocRows();
  if (cursorState == MC_HELP) openHelp();   /* wrapped again for the new width */
  refresh();
  markAllChanged();
  return 0;
}

int treeEditor::openHelp() {
  treeItem* sel = current->selectedChild();
  if (sel == nullptr) return 0;
  wrapHelp(helpTextOf(sel), std::max(1, columns - 1), &helpLines);
  helpScroll = 0;
  cursorState = MC_HELP;
  markAllChanged();
  return 1;
}

int treeEditor::helpKey(int key) {
  int maxScroll = std::max(0, (int)helpLines.size() - bodyRows);
  switch (key) {
    case treeKEY_UP:
      if (helpScroll == 0) return 0;
      --helpScroll;
      return 1;
    case treeKEY_DOWN:
      if (helpScroll >= maxScroll) return 0;
      ++helpScroll;
      return 1;
    case treeKEY_LEFT:
    case treeKEY_ESCAPE:
    case treeKEY_ENTER:
      cursorState = MC_VALUE;
      markAllChanged();
      return 1;
    default: return 0;
  }
}

void treeEditor::composeHelp() {
  /* The header stays the menu's own (label and band), as in every view
  ** of menu mode. */
  int n = (int)helpLines.size();
  for (int b = 0; b < bodyRows; ++b) {
    int row = headerRows + b;
    blankRow(row, ' ');
    int i = helpScroll + b;
    if (i >= n) continue;
    if (b == 0 && helpScroll > 0) rows[row][0] = (char)dispChars[DC_MORE_ABOVE];
    else if (b == bodyRows - 1 && i < n - 1) rows[row][0] = (char)dispChars[DC_MORE_BELOW];
    putRow(row, 1, helpLines[i].c_str(), -1);
  }
}

/* ---- changes, decorations --------------------------------------------- */

void treeEditor::queueChanged(int id) {
  if (std::find(changedIds.begin(), changedIds.end(), id) == changedIds.end())
    changedIds.push_back(id);
  getTimeStamp(&lastChange);
}

int treeEditor::changedItem(int k) const {
  return (k >= 0 && k < (int)changedIds.size()) ? changedIds[k] : -1;
}

int treeEditor::pollChanges() {
  if (cfg) {
    std::vector<int32_t> ids;
    if (cfg->takeChangedIndexes(&ids) > 0)
      for (int32_t id : ids) queueChanged(id);
  }
  int n = (int)changedIds.size();
  if (dispMode == tdm_SPECIAL || dispMode == tdm_TEXT) n += screens.screenChangePending();
  return n;
}

void treeEditor::setBand(int am) {
  band = am ? 1 : 0;
}

void treeEditor::setCallSign(const char* tag) {
  memset(callSign, ' ', 4);
  callSign[4] = '\0';
  for (int i = 0; i < 4 && tag && tag[i]; ++i) callSign[i] = tag[i];
}

void treeEditor::setStatusLabel(int index, const char* text) {
  if (index < 0 || index >= STATUS_LINES) return;
  labels[index] = text ? text : "";
  size_t longest = 0;
  for (const std::string& l : labels) longest = std::max(longest, l.size());
  labelWidth = (int)longest + 1;
  snprintf(labelFormat, sizeof labelFormat, "%%%is: ", labelWidth);
}

const char* treeEditor::statusLabel(int index) const {
  return (index >= 0 && index < STATUS_LINES) ? labels[index].c_str() : "";
}

int treeEditor::setSelectionMarker(const char* text) {
  if (text == nullptr || strlen(text) >= 5) return 1;
  strcpy(marker, text);
  return 0;
}

void treeEditor::setDisplayChar(int index, int c) {
  if (index >= 0 && index < DISPLAY_CHARS) dispChars[index] = c;
}

int treeEditor::displayChar(int index) const {
  return (index >= 0 && index < DISPLAY_CHARS) ? dispChars[index] : 0;
}

void treeEditor::setMarkerChars(int first, int second) {
  markerChar1 = (char)first;
  markerChar2 = (char)second;
}

void treeEditor::setEditHint(const char* text) { editHint = text ? text : ""; }

void treeEditor::setSaveCancelChars(int save, int cancel) {
  saveChar = save;
  cancelChar = cancel;
}

void treeEditor::setKeyNames(const char* save, const char* quit) {
  saveName = save ? save : "Enter";
  quitName = quit ? quit : "Esc";
}

void treeEditor::setUpdateStep(treeUpdateStepFn fn, void* ctx) {
  updateFn = fn;
  updateCtx = ctx;
}
