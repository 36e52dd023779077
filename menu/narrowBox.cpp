/*
** narrowBox: a message box on a display narrower than 20 columns (see
** narrowBox.h).  The texts are at most 19 + 62 characters: plain strings
** and a few passes over them cost nothing next to painting the rows.
*/
#include "menu/narrowBox.h"

#include <algorithm>
#include <cctype>

namespace {

const char BAR = '!';

std::string trimmed(const std::string& s) {
  size_t from = s.find_first_not_of(' ');
  if (from == std::string::npos) return std::string();
  return s.substr(from, s.find_last_not_of(' ') - from + 1);
}

/* The words of text in lines of at most width characters. */
void wrapWords(const std::string& text, int width, std::vector<std::string>* out) {
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(at, end - at);
    at = end;
    if (!line.empty() && (int)(line.size() + 1 + word.size()) <= width) {
      line += ' ' + word;
      continue;
    }
    if (!line.empty()) out->push_back(line);
    while ((int)word.size() > width) {
      out->push_back(word.substr(0, width));
      word.erase(0, width);
    }
    line = word;
  }
  if (!line.empty()) out->push_back(line);
}

/* s centred in a row of fill as the 20-column box centres its title: from
** half the width less half the text. */
std::string centred(const std::string& s, int width, char fill) {
  std::string row((size_t)width, fill);
  int n = std::min((int)s.size(), width);
  int start = std::max(0, std::min(width / 2 - n / 2, width - n));
  row.replace((size_t)start, (size_t)n, s, 0, (size_t)n);
  return row;
}

std::string padded(const std::string& s, int width) {
  std::string row = s.substr(0, (size_t)width);
  row.resize((size_t)width, ' ');
  return row;
}

/* A line that the box had to cut ends in "..", after its last word that
** leaves room for it. */
std::string cutMark(std::string line, int width) {
  if (width < 3) return line;
  while ((int)line.size() + 2 > width) {
    size_t blank = line.rfind(' ');
    line.resize(blank == std::string::npos ? (size_t)width - 2 : blank);
  }
  return line + "..";
}

/* The title in lines of the width: as given when it fits, else without its
** decoration (with a blank each side when there is room), else wrapped. */
void titleLines(const std::string& title, int width, std::vector<std::string>* out) {
  if ((int)title.size() <= width) {
    if (!title.empty()) out->push_back(title);
    return;
  }
  size_t from = title.find_first_not_of("!* ");
  if (from == std::string::npos) return;
  std::string core = title.substr(from, title.find_last_not_of("!* ") - from + 1);
  if ((int)core.size() + 2 <= width)
    out->push_back(' ' + core + ' ');
  else
    wrapWords(core, width, out);
}

/* The body's flowing text and its answer-key rows. */
void splitBody(const std::string& text, std::string* flow, std::vector<std::string>* keys) {
  size_t at = 0;
  while (at <= text.size()) {
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    std::string row = trimmed(text.substr(at, nl - at));
    at = nl + 1;
    if (row.size() >= 2 && row.front() == BAR && row.back() == BAR)
      row = trimmed(row.substr(1, row.size() - 2));
    if (row.find_first_not_of(BAR) == std::string::npos) continue;   /* empty, or a bar */
    if (row.size() > 4 && row[1] == ' ' && row.compare(2, 3, "to ") == 0) {
      keys->push_back(row);
      continue;
    }
    bool split = flow->size() >= 2 && flow->back() == '-' &&
                 islower((unsigned char)(*flow)[flow->size() - 2]) && islower((unsigned char)row[0]);
    if (split)
      flow->pop_back();
    else if (!flow->empty())
      *flow += ' ';
    *flow += row;
  }
}

}  // namespace

void narrowBoxRows(const char* title, const char* text, int columns, int rows, bool header,
                   std::vector<std::string>* out) {
  out->clear();
  if (columns < 1 || rows < 1) return;
  std::vector<std::string> heads, keys, keyRows, textRows;
  std::string flow;
  titleLines(title ? title : "", columns, &heads);
  splitBody(text ? text : "", &flow, &keys);
  for (const std::string& k : keys) wrapWords(k, columns, &keyRows);
  wrapWords(flow, columns, &textRows);

  int bodyRows = rows - (header ? 1 : 0);
  int keyCount = std::min((int)keyRows.size(), rows);
  std::vector<std::string> above;   /* title and text above the keys */
  if (keyCount <= bodyRows) {
    size_t first = 0;
    if (header) {
      out->push_back(centred(heads.empty() ? std::string() : heads[0], columns, BAR));
      first = 1;
    }
    for (size_t h = first; h < heads.size(); ++h) above.push_back(centred(heads[h], columns, ' '));
    for (const std::string& t : textRows) above.push_back(padded(t, columns));
    size_t room = (size_t)(bodyRows - keyCount);
    if (above.size() > room) {
      above.resize(room);
      if (room > 0)
        above.back() = padded(cutMark(trimmed(above.back()), columns), columns);
      else if (header && heads.size() > 1)   /* the title itself was cut */
        out->back() = centred(cutMark(heads[0], columns), columns, BAR);
    }
    out->insert(out->end(), above.begin(), above.end());
  }
  for (int k = 0; k < keyCount; ++k) out->push_back(padded(keyRows[k], columns));
}
