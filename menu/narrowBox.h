/*
** narrowBox: a message box laid out again for a display narrower than the
** box's own 20 columns (a small terminal window).  The 20-column box and
** everything wider are composed by treeEditor as they always were; this is
** only for the narrow case, and only computes rows (no editor state).
**
** The box texts are drawn for the panel: a title centred over a bar of
** '!', body rows of exactly 20 characters, framed or closed by '!'.  Cut at
** a narrower width they lose the question or the keys that answer it, so:
**   - the header row keeps the bar with the title centred in it; a title
**     too long for the row loses its '!' and '*' decoration, then wraps at
**     word boundaries, the rest centred at the top of the body;
**   - a body row framed by '!' loses the frame, a row of '!' alone goes,
**     and the text flows again as one paragraph (a word split "re-" /
**     "start" over two rows is joined);
**   - a row naming an answer key (one character, then "to": "V to
**     continue") stays a row of its own, after the text.
** When the rows cannot hold it all, the answer keys win: they keep the
** bottom rows (the header's too when there are fewer body rows than keys)
** and the title and text are cut at a line end above them, the last line
** shown ending in "..".  A word longer
** than the display is cut at the display's width.
*/
#ifndef MENU_NARROWBOX_H
#define MENU_NARROWBOX_H

#include <string>
#include <vector>

/* The rows of the box (title and text as given to showMessageBox) for a
** display of `rows` rows (header included when `header`) and `columns`
** columns: out[0] is the header row when `header`, then the body rows that
** carry something.  Every row is exactly `columns` characters; there are
** at most `rows` of them. */
void narrowBoxRows(const char* title, const char* text, int columns, int rows, bool header,
                   std::vector<std::string>* out);

#endif
