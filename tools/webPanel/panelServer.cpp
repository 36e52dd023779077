/*
** The web side of webPanel.x (see panelServer.h).
*/
#include "tools/webPanel/panelServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <civetweb.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "tools/webPanel/panelPage.h"

const char* const panelServer::REALM = "doVA";

struct panelServer::page {
  mg_connection* conn = nullptr;
  std::thread sender;
  uint64_t sent = 0;      /* version last written to this page */
  bool closing = false;
  bool xHeld = false;     /* this page holds X down */
  std::chrono::steady_clock::time_point burstStart;
  int burstKeys = 0;
};

namespace {

/* Key messages from a page and the key codes they give; ended by a null
** text. */
struct keyMessage {
  const char* text;
  int code;
};
const keyMessage keyMessages[] = {
    {"key up", 1}, {"key down", 2}, {"key left", 3}, {"key right", 4}, {"key select", 5},
    {"x down", 6}, {"x up", 12},    {nullptr, 0},
};

panelServer* serverOf(const mg_connection* c) {
  return (panelServer*)mg_get_user_data(mg_get_context(c));
}
int requestCb(mg_connection* c, void*) { return serverOf(c)->onRequest(c); }
int authCb(mg_connection* c, void*) { return serverOf(c)->onAuthorize(c); }
int connectCb(const mg_connection* c, void*) { return serverOf(c)->onConnect(c); }
void readyCb(mg_connection* c, void*) { serverOf(c)->onReady(c); }
int dataCb(mg_connection* c, int bits, char* d, size_t n, void*) {
  return serverOf(c)->onData(c, bits, d, n);
}
void closeCb(const mg_connection* c, void*) { serverOf(c)->onClose(c); }
/* civetweb's own complaints (bad requests, closed sockets) are not the
** operator's business; a failure to start is reported by start(). */
int quietLog(const mg_connection*, const char*) { return 1; }

/* An error answer written out in full: civetweb's own error page leaves the
** status line out on a WebSocket upgrade request. */
void refuse(mg_connection* c, int code, const char* reason) {
  mg_printf(c,
            "HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\n"
            "Connection: close\r\n\r\n%s\n",
            code, reason, strlen(reason) + 1, reason);
}

bool isLoopbackName(const std::string& host) {
  std::string name = host.substr(0, host.rfind(':'));
  return name == "localhost" || name.compare(0, 4, "127.") == 0;
}

}  // namespace

panelServer::panelServer() : ctx(nullptr), loopback(true), version(1) {
  wake[0] = wake[1] = -1;
  if (pipe(wake) == 0) {
    fcntl(wake[0], F_SETFL, O_NONBLOCK);
    fcntl(wake[1], F_SETFL, O_NONBLOCK);
  }
}

panelServer::~panelServer() {
  stop();
  if (wake[0] >= 0) close(wake[0]);
  if (wake[1] >= 0) close(wake[1]);
}

int panelServer::start(const std::string& listen, const std::string& users, std::string* why) {
  size_t colon = listen.rfind(':');
  struct in_addr a;
  std::string host = colon == std::string::npos ? "" : listen.substr(0, colon);
  std::string port = colon == std::string::npos ? "" : listen.substr(colon + 1);
  char* end = nullptr;
  long p = strtol(port.c_str(), &end, 10);
  if (inet_pton(AF_INET, host.c_str(), &a) != 1 || port.empty() || *end != '\0' || p < 0 ||
      p > 65535) {
    *why = "bad listen address '" + listen + "' (ADDRESS:PORT, e.g. 127.0.0.1:8080)";
    return 1;
  }
  loopback = (ntohl(a.s_addr) >> 24) == 127;
  if (!users.empty() && access(users.c_str(), R_OK) != 0) {
    *why = "cannot read the user file " + users + ": " + strerror(errno);
    return 1;
  }
  userFile = users;
  std::string threads = std::to_string(MAX_PAGES + 8);
  const char* options[] = {"listening_ports", listen.c_str(),
                           "num_threads", threads.c_str(),
                           "request_timeout_ms", "10000",
                           "websocket_timeout_ms", "3600000",
                           "enable_keep_alive", "no",
                           "max_request_size", "8192",
                           "authentication_domain", REALM,
                           nullptr};
  mg_callbacks cb;
  memset(&cb, 0, sizeof cb);
  cb.log_message = quietLog;
  mg_init_library(0);
  ctx = mg_start(&cb, this, options);
  if (ctx == nullptr) {
    *why = "cannot serve on " + listen + " (address in use or not this host's)";
    mg_exit_library();
    return 1;
  }
  mg_server_port ports[4];
  int n = mg_get_server_ports(ctx, 4, ports);
  bound = host + ":" + std::to_string(n > 0 ? ports[0].port : (int)p);
  mg_set_auth_handler(ctx, "/", authCb, nullptr);
  mg_set_request_handler(ctx, "/", requestCb, nullptr);
  mg_set_websocket_handler(ctx, "/ws", connectCb, readyCb, dataCb, closeCb, nullptr);
  return 0;
}

void panelServer::stop() {
  if (ctx == nullptr) return;
  mg_stop(ctx);  /* closes every page (onClose joins its sender) */
  ctx = nullptr;
  mg_exit_library();
}

void panelServer::publish(const std::string& s) {
  std::lock_guard<std::mutex> lk(mu);
  if (s == state) return;
  state = s;
  ++version;
  changed.notify_all();
}

void panelServer::takeKeys(std::vector<int>* keys) {
  char drain[64];
  while (read(wake[0], drain, sizeof drain) > 0) {
  }
  std::lock_guard<std::mutex> lk(mu);
  keys->insert(keys->end(), inbox.begin(), inbox.end());
  inbox.clear();
}

int panelServer::pages() {
  std::lock_guard<std::mutex> lk(mu);
  return (int)open.size();
}

/* ---- HTTP ------------------------------------------------------------------ */

/* Every request passes here first: with a user file it needs a valid digest
** login (else 401 with the challenge); the WebSocket also needs the page's
** own origin (else 403).  Returns 1 to go on, 0 when answered here. */
int panelServer::onAuthorize(mg_connection* c) {
  if (!userFile.empty() && mg_check_digest_access_authentication(c, REALM, userFile.c_str()) <= 0) {
    mg_send_digest_access_authentication_request(c, REALM);
    return 0;
  }
  const mg_request_info* r = mg_get_request_info(c);
  if (r->local_uri != nullptr && strcmp(r->local_uri, "/ws") == 0 && !sameOrigin(c)) {
    refuse(c, 403, "Forbidden");
    return 0;
  }
  return 1;
}

/* The page at "/" (GET or HEAD); any other path is 404, any other method
** 405.  The page carries its script and style inline and may talk only to
** its own host. */
int panelServer::onRequest(mg_connection* c) {
  const mg_request_info* r = mg_get_request_info(c);
  std::string uri = r->local_uri != nullptr ? r->local_uri : "";
  if (uri != "/" && uri != "/index.html") {
    refuse(c, 404, "Not Found");
    return 404;
  }
  bool head = strcmp(r->request_method, "HEAD") == 0;
  if (!head && strcmp(r->request_method, "GET") != 0) {
    refuse(c, 405, "Method Not Allowed");
    return 405;
  }
  size_t len = strlen(panelPageHtml);
  mg_printf(c,
            "HTTP/1.1 200 OK\r\n"
            "Content-Type: text/html; charset=utf-8\r\n"
            "Content-Length: %zu\r\n"
            "Cache-Control: no-store\r\n"
            "X-Frame-Options: DENY\r\n"
            "X-Content-Type-Options: nosniff\r\n"
            "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
            "style-src 'unsafe-inline'; img-src data:; connect-src 'self'; "
            "frame-ancestors 'none'\r\n"
            "Connection: close\r\n\r\n",
            len);
  if (!head) mg_write(c, panelPageHtml, len);
  return 200;
}

/* ---- the WebSocket ------------------------------------------------------- */

bool panelServer::sameOrigin(const mg_connection* c) const {
  const char* origin = mg_get_header(c, "Origin");
  const char* host = mg_get_header(c, "Host");
  if (origin == nullptr || host == nullptr) return false;
  if (std::string("http://") + host != origin) return false;
  return !loopback || isLoopbackName(host);
}

/* Returns 0 to accept the page, anything else refuses the upgrade (the
** connection is closed without an answer). */
int panelServer::onConnect(const mg_connection* c) {
  std::lock_guard<std::mutex> lk(mu);
  if (open.size() >= MAX_PAGES) return 1;
  page* p = new page;
  p->conn = (mg_connection*)c;
  open.push_back(p);
  mg_set_user_connection_data(c, p);
  return 0;
}

void panelServer::onReady(mg_connection* c) {
  page* p = (page*)mg_get_user_connection_data(c);
  if (p != nullptr) p->sender = std::thread(&panelServer::sendLoop, this, p);
}

/* The newest state goes out; states published while a write was under way
** are skipped. */
void panelServer::sendLoop(page* p) {
  std::unique_lock<std::mutex> lk(mu);
  while (!p->closing) {
    changed.wait(lk, [&] { return p->closing || p->sent != version; });
    if (p->closing) break;
    std::string s = state;
    p->sent = version;
    lk.unlock();
    int w = mg_websocket_write(p->conn, MG_WEBSOCKET_OPCODE_TEXT, s.data(), s.size());
    lk.lock();
    if (w <= 0) break;  /* the page is going; onClose follows */
  }
}

void panelServer::pushKey(page* p, int code) {
  auto now = std::chrono::steady_clock::now();
  if (now - p->burstStart > std::chrono::seconds(1)) {
    p->burstStart = now;
    p->burstKeys = 0;
  }
  if (code == 6 && p->xHeld) return;   /* a held key repeating */
  if (code == 12 && !p->xHeld) return;
  bool isX = code == 6 || code == 12;
  /* a release always goes through, or X would stay held */
  if (code != 12 && (++p->burstKeys > KEY_BURST || inbox.size() >= INBOX_MAX)) return;
  if (isX) p->xHeld = code == 6;
  inbox.push_back(code);
  ssize_t w = write(wake[1], "k", 1);
  (void)w;  /* a full pipe already wakes the owner */
}

int panelServer::onData(mg_connection* c, int bits, char* data, size_t len) {
  int opcode = bits & 0x0F;
  if (opcode == MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE) return 0;
  if (opcode != MG_WEBSOCKET_OPCODE_TEXT || len > 32) return 1;
  page* p = (page*)mg_get_user_connection_data(c);
  if (p == nullptr) return 0;
  std::string text(data, len);
  for (const keyMessage* k = keyMessages; k->text; ++k) {
    if (text != k->text) continue;
    std::lock_guard<std::mutex> lk(mu);
    pushKey(p, k->code);
    break;
  }
  return 1;
}

void panelServer::onClose(const mg_connection* c) {
  page* p = (page*)mg_get_user_connection_data(c);
  if (p == nullptr) return;
  {
    std::lock_guard<std::mutex> lk(mu);
    p->closing = true;
    changed.notify_all();
    if (p->xHeld) pushKey(p, 12);  /* a page gone with X held lets it go */
    for (size_t i = 0; i < open.size(); ++i)
      if (open[i] == p) open.erase(open.begin() + (long)i);
  }
  if (p->sender.joinable()) p->sender.join();
  mg_set_user_connection_data(c, nullptr);
  delete p;
}
