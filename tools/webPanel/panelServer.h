/*
** The web side of webPanel.x: an HTTP server (civetweb, from the system's
** packages) that serves the panel page built into the program at "/" and
** the panel itself over a WebSocket at "/ws".  It knows nothing of the LCD
** link: the thread that owns the line publishes the display's state as a
** text (publish) and takes the keys the browsers sent (takeKeys).
**
** Threads: civetweb's workers run the request and WebSocket callbacks; each
** open page also has a sender thread of its own that writes the newest
** state to it.  A slow page only delays its own sender, which then skips
** the states it missed, so it never slows the panel, the console or the
** other pages.
**
** Wire (WebSocket text messages):
**   server -> page   the state as publish() was given it (JSON, see
**                    panelState.h), sent at once on connect and after
**                    every change
**   page -> server   "key up|down|left|right|select"  one key pressed
**                    "x down" / "x up"                X pressed / released
** Anything else from a page is ignored; a page that sends more than
** KEY_BURST keys within a second loses the extra ones.
**
** Safety: with a user file every request (page and WebSocket) needs a
** digest login for the realm REALM; the WebSocket is refused (403) when its
** Origin is not the page's own host, and, when serving on a loopback
** address, when the Host is not a loopback name (a rebound DNS name).
*/
#ifndef TOOLS_WEBPANEL_PANELSERVER_H
#define TOOLS_WEBPANEL_PANELSERVER_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct mg_context;
struct mg_connection;

class panelServer {
public:
  enum { MAX_PAGES = 16, KEY_BURST = 30, INBOX_MAX = 64 };
  static const char* const REALM;

  /* Key events taken by the owner: the display's key codes 1..5, and
  ** 6 (X pressed) and 12 (X released). */
  panelServer();
  ~panelServer();

  /* listen: "ADDRESS:PORT" (port 0: any free port); userFile: an
  ** htdigest-style file ("user:realm:md5(user:realm:password)") or empty.
  ** Returns 0, or 1 with the reason in *why. */
  int start(const std::string& listen, const std::string& userFile, std::string* why);
  void stop();
  /* "ADDRESS:PORT" as bound (the port chosen when 0 was asked for). */
  std::string address() const { return bound; }
  bool loopbackOnly() const { return loopback; }

  void publish(const std::string& state);
  /* Keys sent since the last call, in the order they arrived. */
  void takeKeys(std::vector<int>* keys);
  /* Readable while keys wait (the owner polls it beside the line). */
  int wakeFd() const { return wake[0]; }
  int pages();

  /* civetweb callbacks (public for the C trampolines only) */
  struct page;
  int onRequest(mg_connection* c);
  int onAuthorize(mg_connection* c);
  int onConnect(const mg_connection* c);
  void onReady(mg_connection* c);
  int onData(mg_connection* c, int bits, char* data, size_t len);
  void onClose(const mg_connection* c);

private:
  void sendLoop(page* p);
  void pushKey(page* p, int code);
  bool sameOrigin(const mg_connection* c) const;

  mg_context* ctx;
  std::string userFile;
  std::string bound;
  bool loopback;
  int wake[2];
  std::mutex mu;
  std::condition_variable changed;
  std::string state;
  uint64_t version;
  std::vector<page*> open;
  std::deque<int> inbox;
};

#endif
