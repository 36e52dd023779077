/*
** The panel page (HTML with its style and script inline), built into the
** program from panel.html so the panel needs no files and no network.
*/
#ifndef TOOLS_WEBPANEL_PANELPAGE_H
#define TOOLS_WEBPANEL_PANELPAGE_H

extern const char panelPageHtml[];

#endif
