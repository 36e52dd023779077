/*
** treeEditControl: laying out the edit rows, the three kinds of entry,
** the confirmation and saving per data type.
*/
#include "menu/editControl.h"

#include "config/genericConfig.h"
#include "diag/cppUtils.h"
#include "diag/numParse.h"
#include "diag/trace.h"
#include "menu/cfgAccess.h"
#include "menu/treeDefs.h"
#include "menu/treeItem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

const char* const DEFAULT_CHARS =
    "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ -!0123456789.";
const char* const DIGITS = "0123456789";
const char* const SIGNED_DIGITS = "0123456789-";
const char* const DECIMAL_CHARS = "0123456789.-+";
const char* const HEX_DIGITS = "0123456789ABCDEF";
const int DEFAULT_DISPLAY_CHARS[4] = {'^', 'v', '<', '>'};

int printedLength(const char* fmt, double v) {
  char buf[64];
  return snprintf(buf, sizeof buf, fmt, v);
}

int printedLengthInt(int v) {
  char buf[24];
  return snprintf(buf, sizeof buf, "%i", v);
}

/* An item's float limit as the whole number the field works with; the
** catalogue writes "no limit" as 2^31, which does not fit an int. */
int wholeLimit(float f) {
  if (!(f == f)) return 0;
  if (f >= 2147483647.0f) return 2147483647;
  if (f <= -2147483648.0f) return -2147483647 - 1;
  return (int)f;
}

/* A field holds every value of the range: as wide as the wider of the
** printed minimum and maximum ("-800" is four columns, "800" three). */
int wholeRangeWidth(float min, float max) {
  return std::max(printedLengthInt(wholeLimit(min)), printedLengthInt(wholeLimit(max)));
}
int decimalRangeWidth(float min, float max) {
  return std::max(printedLength("%f", min), printedLength("%f", max));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

treeEditControl::treeEditControl()
    : editKind(EK_TEXT), dataType(0), result(ER_REFUSED), item(nullptr), cfg(nullptr),
      pErrLog(nullptr), data(nullptr), rows(nullptr), nRows(0), width(0),
      dispChars(DEFAULT_DISPLAY_CHARS), saveChar(0), cancelChar(0), saveName("Enter"),
      quitName("Esc"), confirming(false), choiceCount(0), highlighted(0), firstShown(0),
      listRows(0), number(0), minVal(0), maxVal(0), field(nullptr), fieldCol(0), lastCol(0),
      cur(0), setPos(-1), freeForm(false), winOffset(0) {
  for (bool& s : overlaySaved) s = false;
}

/* ---- rows ------------------------------------------------------------ */

void treeEditControl::blank(int row) {
  if (row < 0 || row >= nRows) return;
  memset(rows[row], ' ', width);
  rows[row][width] = '\0';
}

void treeEditControl::putText(int row, int column, const char* text, int maxLen) {
  if (row < 0 || row >= nRows || column < 0 || column >= width) return;
  int n = (int)strnlen(text, maxLen < 0 ? (size_t)width : (size_t)maxLen);
  n = std::min(n, width - column);
  memcpy(rows[row] + column, text, n);
}

void treeEditControl::prompt(int row, const char* text) {
  if (row < 0 || row >= nRows) return;
  if (row < OVERLAY_ROWS && !overlaySaved[row]) {
    overlay[row].assign(rows[row], width);
    overlaySaved[row] = true;
  }
  blank(row);
  putText(row, 0, text, -1);
}

void treeEditControl::restoreOverlay() {
  for (int r = 0; r < OVERLAY_ROWS && r < nRows; ++r) {
    if (!overlaySaved[r]) continue;
    memcpy(rows[r], overlay[r].data(), std::min((int)overlay[r].size(), width));
    overlaySaved[r] = false;
  }
}

/* ---- start ----------------------------------------------------------- */

int treeEditControl::editControlInit(generic_cfg* c, treeItem* it, char* const* r, int n, int w,
                                     ErrTrcLog* errLog, int saveCh, int cancelCh,
                                     const char* saveNm, const char* quitNm) {
  cfg = c;
  item = it;
  rows = r;
  nRows = n;
  width = w;
  pErrLog = errLog;
  saveChar = saveCh;
  cancelChar = cancelCh;
  saveName = saveNm ? saveNm : "Enter";
  quitName = quitNm ? quitNm : "Esc";
  confirming = false;
  for (bool& s : overlaySaved) s = false;
  result = ER_REFUSED;
  data = it ? it->data : nullptr;
  if (data == nullptr || nRows < 1 || width < 1) return 0;
  dataType = data->typeCode;
  if (!item->choices.empty()) {
    editKind = EK_CHOICE;
    highlighted = -1;
    int v = data->intValue();
    for (int i = 0; i < (int)item->choices.size(); ++i)
      if (item->choices[i].value == v) highlighted = i;
    if (highlighted < 0) {
      ERRLOG(pErrLog, 4, 21004, "treeEdit", "Current value not in list of choices for item");
      return 0;
    }
  } else if ((dataType == dtNONE || dataType == dtINT) &&
             (long long)wholeLimit(data->max) - wholeLimit(data->min) < STEP_RANGE) {
    editKind = EK_NUMBER;
  } else {
    editKind = EK_TEXT;
  }
  result = ER_EDITING;
  layout();
  return 1;
}

void treeEditControl::layout() {
  for (int r = 0; r < nRows; ++r) blank(r);
  layoutTitle();
  if (editKind == EK_CHOICE)
    setupChoices();
  else
    layoutPrevNew();
}

void treeEditControl::layoutTitle() {
  const char* label = item->longLabel();
  if ((int)strlen(label) > width) label = item->shortLabel();
  int len = std::min((int)strlen(label), width);
  int left = std::min(3, (width - len) / 2);
  int right = std::min(3, width - left - len);
  for (int i = 0; i < left; ++i) rows[0][i] = '*';
  putText(0, left, label, len);
  for (int i = 0; i < right; ++i) rows[0][left + len + i] = '*';
}

/* The previous value in the field's own format, without units. */
static void previousText(data_itm_Base* data, int dataType, char* out, int size) {
  if (dataType == dtIP_ADDR) {
    auto* ip = static_cast<data_itm<ip_addr_s>*>(data);
    snprintf(out, size, "%03i.%03i.%03i.%03i", ip->value.octet[0], ip->value.octet[1],
             ip->value.octet[2], ip->value.octet[3]);
  } else if (dataType == dtKVTIME || dataType == dtOLD_TIME) {
    char now[32];
    formatDateTime(now, -1);
    snprintf(out, size, "%s", now);
  } else if (dataType == dtSTRING) {
    snprintf(out, size, "%s", cfgItemString(data));
  } else {
    cfgItemValueText(data, out, size);
  }
}

void treeEditControl::layoutPrevNew() {
  char prev[LONG_TEXT_MAX + 64];
  previousText(data, dataType, prev, sizeof prev);
  int prevLen = (int)strlen(prev);
  int freeCols = width - prevLen;
  const char* pp = freeCols > 5 ? " Prev:" : freeCols == 5 ? "Prev:" : freeCols >= 3 ? "P:" : "";
  int ppLen = (int)strlen(pp);
  const char* np = ppLen == 6 ? "  New:" : ppLen == 5 ? " New:" : ppLen >= 2 ? "N:" : "";
  if (nRows > 1) {
    putText(1, 0, pp, -1);
    putText(1, ppLen, prev, -1);
  }
  int fieldRow = nRows > 2 ? 2 : nRows - 1;
  fieldCol = std::min((int)strlen(np), width - 1);
  putText(fieldRow, 0, np, fieldCol);
  field = rows[fieldRow] + fieldCol;
  cur = 0;
  if (editKind == EK_NUMBER)
    setupNumber();
  else
    setupText();
}

/* ---- number stepping --------------------------------------------------- */

void treeEditControl::setupNumber() {
  minVal = wholeLimit(data->min);
  maxVal = wholeLimit(data->max);
  number = data->intValue();
  freeForm = false;
  int limit = wholeRangeWidth(data->min, data->max) + 5;
  lastCol = std::max(0, std::min(limit, width - fieldCol) - 1);
  writeNumber();
}

void treeEditControl::writeNumber() {
  char buf[32];
  snprintf(buf, sizeof buf, "%i    ", number);
  int n = std::min((int)strlen(buf), lastCol + 1);
  memcpy(field, buf, n);
}

int treeEditControl::numberKey(int key) {
  int before = number;
  if (key == treeKEY_UP || key == treeKEY_RIGHT) ++number;
  else if (key == treeKEY_DOWN || key == treeKEY_LEFT) --number;
  else return 1;
  number = std::max(minVal, std::min(maxVal, number));
  if (number != before) writeNumber();
  return 1;
}

/* ---- choice list ------------------------------------------------------- */

void treeEditControl::setupChoices() {
  choiceCount = (int)item->choices.size();
  listRows = std::max(1, nRows - 1);
  firstShown = 0;
  scrollChoices();
  drawChoices();
}

void treeEditControl::scrollChoices() {
  int last = choiceCount - 1;
  if (highlighted <= firstShown && highlighted > 0) firstShown = highlighted - 1;
  else if (highlighted >= firstShown + listRows - 1)
    firstShown = highlighted == last ? highlighted - listRows + 1 : highlighted - listRows + 2;
  firstShown = std::max(firstShown, highlighted - listRows + 1);
  firstShown = std::min(firstShown, highlighted);
  firstShown = std::max(0, firstShown);
}

void treeEditControl::choiceLine(int choice, char* out, int size) const {
  std::string line = choice == highlighted ? ">>" : "  ";
  line.append(item->choices[choice].text, 0, std::max(0, width - 2));
  if (choice == highlighted) line += " <<<";
  snprintf(out, size, "%.*s", width, line.c_str());
}

void treeEditControl::drawChoices() {
  char line[320];
  int first = nRows > 1 ? 1 : 0;
  for (int r = first; r < nRows; ++r) {
    blank(r);
    int choice = firstShown + (r - first);
    if (choice >= choiceCount) continue;
    choiceLine(choice, line, sizeof line);
    putText(r, 0, line, -1);
  }
}

int treeEditControl::choiceKey(int key) {
  int before = highlighted;
  if (key == treeKEY_UP || key == treeKEY_RIGHT) highlighted = std::max(0, highlighted - 1);
  else if (key == treeKEY_DOWN || key == treeKEY_LEFT)
    highlighted = std::min(choiceCount - 1, highlighted + 1);
  if (highlighted != before) {
    scrollChoices();
    drawChoices();
  }
  return 1;
}

/* ---- text entry -------------------------------------------------------- */

int treeEditControl::setPosOf(char c) const {
  size_t p = validSet.find(c);
  return p == std::string::npos || c == '\0' ? -1 : (int)p;
}

void treeEditControl::setupText() {
  char buf[LONG_TEXT_MAX + 64];
  int limit;
  freeForm = true;
  winOffset = 0;
  switch (dataType) {
    case dtNONE:
    case dtINT:
      validSet = data->min >= 0 ? DIGITS : SIGNED_DIGITS;
      limit = wholeRangeWidth(data->min, data->max);
      cfgItemValueText(data, buf, sizeof buf);
      break;
    case dtFLOAT:
      validSet = DECIMAL_CHARS;
      limit = decimalRangeWidth(data->min, data->max) + 3;
      cfgItemValueText(data, buf, sizeof buf);
      break;
    case dtBOOL:
      validSet = "01";
      limit = 0;
      buf[0] = '\0';
      break;
    case dtIP_ADDR:
    case dtMAC_ADDR:
    case dtOLD_TIME:
    case dtKVTIME:
      validSet = dataType == dtMAC_ADDR ? HEX_DIGITS : DIGITS;
      limit = dataType == dtIP_ADDR ? 15 : dataType == dtMAC_ADDR ? 17 : 19;
      freeForm = false;
      previousText(data, dataType, buf, sizeof buf);
      break;
    default: {
      validSet = (data->validChars && *data->validChars) ? data->validChars : DEFAULT_CHARS;
      int maxLen = std::max(1, std::min(wholeLimit(data->max), (int)LONG_TEXT_MAX));
      longBuf.assign(maxLen, ' ');
      std::string v = cfgItemString(data);
      longBuf.replace(0, std::min((int)v.size(), maxLen), v, 0, std::min((int)v.size(), maxLen));
      limit = maxLen;
      buf[0] = '\0';
      break;
    }
  }
  int room = width - fieldCol;
  lastCol = std::min(limit, room) - 1;
  if (lastCol < 0) {
    lastCol = 0;
    freeForm = false;
    validSet.clear();  /* no free column: the field cannot be typed into */
  }
  if (dataType == dtSTRING) {
    loadWindow();
  } else {
    memset(field, ' ', lastCol + 1);
    memcpy(field, buf, std::min((int)strlen(buf), lastCol + 1));
  }
  fixCursorChar();
}

void treeEditControl::loadWindow() {
  int n = std::min(lastCol + 1, (int)longBuf.size() - winOffset);
  memset(field, ' ', lastCol + 1);
  if (n > 0) memcpy(field, longBuf.data() + winOffset, n);
}

void treeEditControl::storeWindow() {
  int n = std::min(lastCol + 1, (int)longBuf.size() - winOffset);
  if (n > 0) longBuf.replace(winOffset, n, field, n);
}

bool treeEditControl::skipAt(int column) const {
  char c = field[column];
  /* Only the IPv4 and date-time layouts (4, 7) step over separators. */
  if (dataType == dtIP_ADDR || dataType == dtKVTIME) return !isDigit(c);
  if (dataType == dtMAC_ADDR) return !isxdigit((unsigned char)c);
  return false;
}

void treeEditControl::moveRight() {
  if (cur < lastCol) {
    ++cur;
    if (skipAt(cur) && cur < lastCol) ++cur;
  } else if (dataType == dtSTRING && winOffset + lastCol + 1 < (int)longBuf.size()) {
    storeWindow();
    ++winOffset;
    loadWindow();
  }
}

void treeEditControl::moveLeft() {
  if (cur > 0) {
    --cur;
    if (skipAt(cur) && cur > 0) --cur;
  } else if (dataType == dtSTRING && winOffset > 0) {
    storeWindow();
    --winOffset;
    loadWindow();
  }
}

void treeEditControl::stepChar(int delta) {
  int n = (int)validSet.size();
  if (n == 0) return;
  int pos = setPos;
  if (pos < 0) pos = delta > 0 ? -1 : 0;
  pos = ((pos + delta) % n + n) % n;
  field[cur] = validSet[pos];
  setPos = pos;
}

void treeEditControl::fixCursorChar() {
  if (validSet.empty()) return;
  setPos = setPosOf(field[cur]);
  if (setPos >= 0) return;
  bool blanksAfter = true;
  for (int i = cur + 1; i <= lastCol; ++i)
    if (field[i] != ' ') blanksAfter = false;
  if (!blanksAfter) {
    field[cur] = validSet[0];
    setPos = 0;
    return;
  }
  field[cur] = ' ';
  setPos = setPosOf(' ');
  if (setPos < 0 && cur > 0 && setPosOf(field[cur - 1]) < 0) {
    --cur;
    setPos = setPosOf(field[cur]);
  }
}

void treeEditControl::showHints() {
  char line[64];
  snprintf(line, sizeof line, " %c=x5 %c=bckspce ", dispChars[0], dispChars[1]);
  prompt(0, line);
  snprintf(line, sizeof line, " %c=delete %c=insert ", dispChars[2], dispChars[3]);
  prompt(1, line);
}

int treeEditControl::textKey(int key) {
  switch (key) {
    case treeKEY_UP: stepChar(1); break;
    case treeKEY_DOWN: stepChar(-1); break;
    case treeKEY_UP5: stepChar(5); break;
    case treeKEY_RIGHT: moveRight(); break;
    case treeKEY_LEFT: moveLeft(); break;
    case treeKEY_HELP: showHints(); return 1;
    case treeKEY_BACKSPACE:
      if (freeForm && cur > 0) {
        memmove(field + cur - 1, field + cur, lastCol - cur + 1);
        field[lastCol] = ' ';
        --cur;
      }
      break;
    case treeKEY_DELETE:
      if (freeForm) {
        memmove(field + cur, field + cur + 1, lastCol - cur);
        field[lastCol] = ' ';
      }
      break;
    case treeKEY_INSERT:
      if (freeForm && cur < lastCol) {
        memmove(field + cur + 1, field + cur, lastCol - cur);
        field[cur] = ' ';
      }
      break;
    default: {
      if (key < 32 || key > 127 || validSet.empty()) return 1;
      char c = (char)key;
      if (setPosOf(c) < 0) c = (char)toupper(key);
      if (setPosOf(c) < 0) c = (char)tolower(key);
      if (setPosOf(c) < 0) return 1;
      field[cur] = c;
      moveRight();
      break;
    }
  }
  fixCursorChar();
  return 1;
}

/* ---- confirmation and saving ----------------------------------------- */

void treeEditControl::openConfirm() {
  char line[320];
  if (saveChar && cancelChar)
    snprintf(line, sizeof line, "  %c=Save  %c=Cancel ", saveChar, cancelChar);
  else
    snprintf(line, sizeof line, "%s=Save %s=Quit ", saveName.c_str(), quitName.c_str());
  prompt(0, line);
  snprintf(line, sizeof line, "'%c'=continue editing", dispChars[3]);
  prompt(1, line);
  if (editKind == EK_CHOICE && nRows > 2) {
    choiceLine(highlighted, line, sizeof line);
    prompt(2, line);
  }
  confirming = true;
}

int treeEditControl::confirmKey(int key) {
  if (key == treeKEY_ENTER) {
    restoreOverlay();
    confirming = false;
    return save();
  }
  if (key == treeKEY_ESCAPE) {
    restoreOverlay();
    confirming = false;
    result = ER_CANCELLED;
    return result;
  }
  if (key == treeKEY_RIGHT) {
    restoreOverlay();
    confirming = false;
  }
  return 1;
}

int treeEditControl::submit(const char* text, bool quoted) {
  if (cfg == nullptr) return 1;
  return cfg->sendChangeRequest(data->name.c_str(), text, quoted);
}

/* The text of a text field: the field cut after its last non-blank, or
** for a long text (8) the whole value with the window put back, cut the
** same way, two blanks when nothing is left. */
void treeEditControl::saveText(std::string* text) {
  if (dataType == dtSTRING) {
    storeWindow();
    std::string whole = longBuf;
    for (char& c : whole)
      if (c == '\0') c = ' ';
    whole.erase(whole.find_last_not_of(' ') + 1);
    /* a value the operator did not change goes back as it was: a blank
    ** value must not become two blanks because it was looked at */
    std::string now = cfgItemString(data);
    std::string nowCut = now.substr(0, now.find_last_not_of(' ') + 1);
    if (whole == nowCut) whole = now;
    if (whole.empty()) whole = "  ";
    *text = whole;
    return;
  }
  std::string f(field, lastCol + 1);
  f.erase(f.find_last_not_of(' ') + 1);
  *text = f;
}

/* The date-time field "YYYY/MM/DD hh:mm:ss" sets the system clock.  Its
** zero-padded fields are read as decimals and handed on without the
** padding, so that "08" and "09" are not taken for octal numbers. */
static void setClockFrom(const std::string& text) {
  int32_t v[6] = {0, 0, 0, 0, 0, 0};
  scanInt32(text.c_str(), "%d/%d/%d %d:%d:%d", v, 6);
  char plain[96];
  snprintf(plain, sizeof plain, "%d/%d/%d %d:%d:%d", v[0], v[1], v[2], v[3], v[4], v[5]);
  setSystemDate(plain);
}

/* Save per data type: 7 sets the clock and sends nothing; 8 goes quoted;
** any other non-empty text is applied to the local item, then sent. */
int treeEditControl::save() {
  std::string text;
  if (editKind == EK_CHOICE)
    text = std::to_string(item->choices[highlighted].value);
  else if (editKind == EK_NUMBER)
    text = std::to_string(number);
  else
    saveText(&text);
  if (dataType == dtKVTIME) {
    setClockFrom(text);
  } else if (dataType == dtSTRING) {
    submit(text.c_str(), true);
  } else if (!text.empty() && submit(text.c_str(), false) == 0) {
    data->strIn(text.c_str()); /* a refused change leaves the value as it was */
  }
  result = ER_SAVED;
  return result;
}

/* ---- keys -------------------------------------------------------------- */

int treeEditControl::processKey(int key) {
  if (result != ER_EDITING) return result;
  /* Redraw takes every prompt off the rows, the confirmation's too; the
  ** confirmation itself stays in force (Enter saves, Escape cancels). */
  if (key == treeKEY_REDRAW) {
    restoreOverlay();
    return 1;
  }
  if (confirming) return confirmKey(key);
  if (key == treeKEY_ENTER || key == treeKEY_ESCAPE) {
    openConfirm();
    return 1;
  }
  if (editKind == EK_CHOICE) return choiceKey(key);
  if (editKind == EK_NUMBER) return numberKey(key);
  return textKey(key);
}

bool treeEditControl::cursor(int* row, int* column) const {
  if (result != ER_EDITING || confirming || editKind != EK_TEXT || field == nullptr) return false;
  *row = nRows > 2 ? 2 : nRows - 1;
  *column = fieldCol + cur;
  return true;
}

void treeEditControl::redrawAll() {
  /* The field lives in row 2 and is kept; rows under a prompt come back. */
  restoreOverlay();
}
