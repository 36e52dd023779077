/*
** webPanel.x between real processes and a real headless Chromium: doVA.x -i
** runs its menu on the web panel's pty against cfgMaster.x and
** statusWriter.x (private bin directory, private status region), and the
** test reads and operates the page as an operator would, through
** browser.py (the DevTools protocol).  Bad requests go over raw sockets.
*/
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/appFixture.h"

using namespace testsup;

namespace {

/* Connect to the panel and send `data` (the server may close on a huge
** request: *all tells whether every byte went); the socket, -1 when none. */
int sendTo(int port, const std::string& data, bool* all = nullptr) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons((uint16_t)port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, (sockaddr*)&a, sizeof a) != 0) {
    close(fd);
    return -1;
  }
  size_t done = 0;
  for (ssize_t n; done < data.size(); done += (size_t)n)
    if ((n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL)) <= 0) break;
  if (all) *all = done == data.size();
  return fd;
}

/* Send a request; what the server answers within 3 s, until it closes or
** `until` shows ("no connection" when there was none). */
std::string answer(int port, const std::string& request, const std::string& until) {
  int fd = sendTo(port, request);
  if (fd < 0) return "no connection";
  std::string got;
  char buf[4096];
  for (int waited = 0; waited < 3000 && got.find(until) == std::string::npos; waited += 20) {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, (size_t)n);
  }
  close(fd);
  return got;
}

/* The answer's status line ("" when the request was dropped). */
std::string statusOf(int port, const std::string& request) {
  std::string a = answer(port, request, "\r\n");
  return a.substr(0, a.find("\r\n"));
}

/* A WebSocket upgrade; origin empty: none (the page's own when "self"). */
std::string upgrade(int port, const std::string& host, std::string origin) {
  std::string local = "127.0.0.1:" + std::to_string(port);
  if (origin == "self") origin = "http://" + local;
  return "GET /ws HTTP/1.1\r\nHost: " + (host.empty() ? local : host) +
         "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n" +
         (origin.empty() ? "" : "Origin: " + origin + "\r\n") + "\r\n";
}

/* A masked text frame as a page sends it. */
std::string wsText(const std::string& text) {
  std::string f = "\x81";
  f += (char)(0x80 | text.size());
  f += std::string("\x01\x02\x03\x04", 4);
  for (size_t i = 0; i < text.size(); ++i) f += (char)(text[i] ^ (i % 4 + 1));
  return f;
}

class WebPanel : public AppFixture {
protected:
  void SetUp() override {
    AppFixture::SetUp();
    bin.link("webPanel.x");
    startPanel(panel, {});
  }
  void TearDown() override {
    browser.stop(5000);
    console.stop(3000);
    panel.stop(6000);
    AppFixture::TearDown();
  }
  void startPanel(Proc& panel, const std::vector<std::string>& extra) {
    std::vector<std::string> args = argv("webPanel.x", {"-l", "127.0.0.1:0", "-o", work.file("lcd.dev")});
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(panel.start(args, {}, bin.path()));
    ASSERT_TRUE(panel.waitForOutput("Web panel: http://127.0.0.1:", 5000)) << panel.err();
    std::string out = panel.out();
    size_t at = out.find("Web panel: ") + 11;
    url = out.substr(at, out.find('\n', at) - at);
    port = atoi(url.c_str() + url.rfind(':') + 1);
    device = readFile(work.file("lcd.dev"));
    while (!device.empty() && device.back() == '\n') device.pop_back();
    ASSERT_EQ(0u, out.find("LCD device: " + device + "\n")) << out;
  }
  void startBrowser() {
    /* its profile lives in the test's directory, removed even after a crash */
    ASSERT_TRUE(browser.start({"/usr/bin/env", "python3", WEBPANEL_BROWSER},
                              {"TMPDIR=" + work.path()}, work.path(), true));
    ASSERT_TRUE(browser.waitForOutput("browser ready", 30000)) << browser.err();
  }
  /* One command to the browser driver; its answer ("" when none came). */
  std::string ask(const std::string& command, int timeoutMs = 20000) {
    std::string id = std::to_string(++asked);
    browser.writeStdin(id + " " + command + "\n");
    std::string tag = "#" + id + " ";
    if (!browser.waitForOutput(tag, timeoutMs)) return "";
    std::string out;  /* the line may still be arriving */
    waitUntil([&] { return (out = browser.out()).find('\n', out.find(tag)) != std::string::npos; }, 500);
    size_t at = out.find(tag) + tag.size();
    return out.substr(at, out.find('\n', at) - at);
  }
  /* The page's display shows `text` within ms. */
  bool shows(int page, const std::string& text, int ms) {
    std::string cond = screenText + ".includes(\"" + text + "\")";
    return ask("wait " + std::to_string(page) + " " + std::to_string(ms) + " " + cond, ms + 10000) == "ok";
  }
  std::string screenOf(int page) { return ask("eval " + std::to_string(page) + " " + screenText); }
  /* A panel key clicked ("down") or a keyboard event ("down Escape"), at a
  ** finger's pace: the console reads the key state between keys. */
  void click(int page, const std::string& key) {
    bool keyboard = key.find(' ') != std::string::npos;
    std::string command = (keyboard ? "key " : "click ") + std::to_string(page) + (keyboard ? " " : " #k-");
    ASSERT_EQ("ok", ask(command + key));
    usleep(150000);
  }
  /* Keys as click() takes them, then the page shows `text` within 3 s. */
  bool press(int page, std::initializer_list<const char*> keys, const std::string& text) {
    for (const char* k : keys) click(page, k);
    return shows(page, text, 3000);
  }

  const std::string screenText = "document.getElementById('screen').innerText";
  Proc panel, console, browser;
  std::string url, device;
  int port = 0;
  int asked = 0;
};

}  // namespace

/* The operator's road in the browser, with a page connected all along
** that never reads a byte: it must not hold the others up. */
TEST_F(WebPanel, menuAnEditSavedEveryPageShowsItAndTheLevelMetersMove) {
  startBrowser();
  ASSERT_EQ("0", ask("open " + url));
  // the master, the writer and the console on the panel (its start-up log: the lcdEmu.x run)
  startMaster();
  startWriter({"-lock", "0"});
  setenv("DOVA_LCD_DEVICE", device.c_str(), 1);
  startConsole(console, {"-i"}, false);
  ASSERT_TRUE(shows(0, "MAIN MENU", 10000)) << screenOf(0) << console.out();
  // the menu takes keys once the start-up log, which stays a second after
  // the menu is ready (the display shows the boot text meanwhile), is gone
  ASSERT_TRUE(shows(0, "\u25BAEdit Settings", 3000)) << screenOf(0) << console.out();
  usleep(1300000);
  int stuck = sendTo(port, upgrade(port, "", "self"));
  ASSERT_GE(stuck, 0);
  int rcv = 1024;
  setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv);

  // clicks walk the menu: down and back up, into the settings, to Station Info
  ASSERT_TRUE(press(0, {"down"}, "\u25BAView Status")) << screenOf(0);
  ASSERT_TRUE(press(0, {"up", "right"}, "SETTINGS")) << screenOf(0);
  ASSERT_TRUE(press(0, {"down", "down", "down", "down", "down", "down", "down"}, "\u25BAStation Info"))
      << screenOf(0);
  ASSERT_TRUE(press(0, {"right", "right"}, "Press \u2713 to EDIT")) << screenOf(0);
  // X combinations without a keyboard: "hold X" latches X for the next click
  // (drawn held), X+select opens the item's help and the click after it is
  // a plain key again (left closes the help); as does a finger holding X
  // while another taps select
  click(0, "hold");
  EXPECT_EQ("true", ask("eval 0 document.getElementById('k-x').classList.contains('held')"));
  ASSERT_TRUE(press(0, {"select"}, "4 character call")) << screenOf(0);
  ASSERT_TRUE(press(0, {"left"}, "Press \u2713 to EDIT")) << screenOf(0);
  ASSERT_EQ("ok", ask("touch 0 #k-x #k-select"));
  ASSERT_TRUE(shows(0, "4 character call", 3000)) << screenOf(0);
  ASSERT_TRUE(press(0, {"left"}, "Press \u2713 to EDIT")) << screenOf(0);

  // edit the short name: the first letter one step up (T -> U)
  ASSERT_TRUE(press(0, {"select", "up"}, "New:UORV")) << screenOf(0);
  EXPECT_TRUE(ask("eval 0 document.querySelector('.cur') !== null") == "true");
  // Esc held with the up arrow is X+up: five steps at once (U -> Z)
  ASSERT_TRUE(press(0, {"down Escape", "press ArrowUp", "up Escape"}, "New:ZORV")) << screenOf(0);
  ASSERT_TRUE(press(0, {"select"}, "\u2713=Save  \u2717=Cancel")) << screenOf(0);
  click(0, "select");
  EXPECT_TRUE(waitForFile(work.file("kvPrimeConfig.cfg"), "SIS_CsStdNme: ZORV", 8000))
      << readFile(work.file("kvPrimeConfig.cfg"));

  // a page opened late shows the same screen at once
  ASSERT_EQ("1", ask("open " + url));
  ASSERT_TRUE(shows(1, "ZORV", 3000)) << screenOf(1);
  EXPECT_EQ(screenOf(0), screenOf(1));

  // the keyboard: Esc alone (X pressed and released) goes back to the top
  ASSERT_EQ("ok", ask("key 1 press Escape"));
  EXPECT_TRUE(shows(0, "MAIN MENU", 3000)) << screenOf(0);
  EXPECT_TRUE(shows(1, "MAIN MENU", 3000)) << screenOf(1);

  // the level meters: the display's own glyphs, drawn from their patterns;
  // within two seconds the page shows several different meter screens
  ASSERT_TRUE(press(0, {"down", "right", "down", "down", "right"}, "ANALOG LEVELS")) << screenOf(0);
  EXPECT_EQ("ok", ask("wait 0 3000 document.querySelectorAll('.g').length > 0"));
  std::string distinct = ask(
      "eval 0 new Promise(done => { const seen = new Set(); const t = setInterval(() => "
      "seen.add(" + screenText + "), 40); setTimeout(() => { clearInterval(t); "
      "done(seen.size); }, 2000); })");
  EXPECT_GE(atoi(distinct.c_str()), 3) << distinct;
  close(stuck);

  // SIGTERM ends the web panel cleanly; the console sees a silent display
  EXPECT_EQ(0, panel.stop(6000));
  EXPECT_EQ(0, console.wait(10000)) << console.out();
  EXPECT_NE(std::string::npos, console.out().find("tem: LCD Communication failure"));
  EXPECT_EQ("ok", ask("wait 0 3000 document.getElementById('status').textContent"
                      ".includes('disconnected')"));
}

TEST_F(WebPanel, badRequestsAndSwitchesGetAnErrorAndAUserFileAsksForALogin) {
  struct { const char* what; std::string request; const char* status; } cases[] = {
      // status: the code or its first digits; no answer at all is fine too
      {"the page", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", "200"},
      {"another path", "GET /etc/passwd HTTP/1.1\r\n\r\n", "404"},
      {"path traversal", "GET /../../../etc/passwd HTTP/1.1\r\n\r\n", "4"},
      {"encoded traversal", "GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\n\r\n", "404"},
      {"a post", "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", "405"},
      {"huge headers", "GET / HTTP/1.1\r\nX-A: " + std::string(64 * 1024, 'a') + "\r\n\r\n", "4"},
      {"no HTTP at all", "\x16\x03\x01\x02\x00garbage\r\n\r\n", "4"},
      {"keys from another origin", upgrade(port, "", "http://evil.example"), "403"},
      {"keys without an origin", upgrade(port, "", ""), "403"}, {"its own page", upgrade(port, "", "self"), "101"},
      {"a rebound host name", upgrade(port, "evil.example:80", "http://evil.example:80"), "403"}};
  for (const auto& c : cases) {
    std::string got = statusOf(port, c.request);
    if (got.empty()) continue;  /* dropped */
    EXPECT_EQ(0, got.compare(0, 5, "HTTP/")) << c.what << ": " << got;
    EXPECT_EQ(0, got.compare(9, strlen(c.status), c.status)) << c.what << ": " << got;
  }

  // a flood of keys and of junk from a page: dropped, the panel serves on
  std::string burst = upgrade(port, "", "self");
  for (int i = 0; i < 2000; ++i) burst += wsText(i % 3 == 0 ? "key down" : "junk junk junk");
  burst += wsText(std::string(120, 'k'));
  bool all = false;
  int flood = sendTo(port, burst, &all);
  EXPECT_TRUE(all);
  usleep(300000);
  close(flood);
  std::string later = answer(port, upgrade(port, "", "self"), "\"screen\"");
  EXPECT_NE(std::string::npos, later.find(" 101 ")) << later;
  EXPECT_NE(std::string::npos, later.find("\"screen\":[32,")) << later;
  EXPECT_TRUE(panel.running());
  EXPECT_EQ(0u, statusOf(port, "GET / HTTP/1.1\r\n\r\n").find("HTTP/1.1 200"));

  // with a user file every request needs a login: "op", "pw", md5("op:doVA:pw")
  writeFile(work.file("users"), "op:doVA:1998de171350a3b376bcf5d0759a8023\n");
  Proc guarded;
  startPanel(guarded, {"-u", work.file("users")});
  EXPECT_EQ(0u, statusOf(port, "GET / HTTP/1.1\r\n\r\n").find("HTTP/1.1 401"));
  // the WebSocket without a login is dropped unanswered (civetweb gives no
  // status line on an upgrade it refuses)
  std::string ws = statusOf(port, upgrade(port, "", "self"));
  EXPECT_TRUE(ws.empty() || ws.find(" 401") != std::string::npos) << ws;
  // the right login opens the page, a wrong password does not
  std::string script =
      "import sys, urllib.request as u\n"
      "m = u.HTTPPasswordMgrWithDefaultRealm()\n"
      "m.add_password(None, sys.argv[1], 'op', sys.argv[2])\n"
      "try: print(u.build_opener(u.HTTPDigestAuthHandler(m)).open(sys.argv[1]).status)\n"
      "except Exception as e: print(getattr(e, 'code', e))\n";
  std::string out;
  EXPECT_EQ(0, runProgram({"/usr/bin/env", "python3", "-c", script, url, "pw"}, &out));
  EXPECT_EQ("200\n", out);
  EXPECT_EQ(0, runProgram({"/usr/bin/env", "python3", "-c", script, url, "wrong"}, &out));
  EXPECT_EQ("401\n", out);

  // help, bad switches, and an open address without a login
  struct { std::vector<std::string> args; int status; const char* says; } switches[] = {
      {{"-h"}, 0, "-l ADDRESS:PORT"}, {{"-z"}, 2, "unknown or incomplete switch '-z'"},
      {{"-l"}, 2, "unknown or incomplete switch '-l'"},
      {{"-l", "localhost"}, 1, "bad listen address 'localhost'"},
      {{"-l", "127.0.0.1:99999"}, 1, "bad listen address"},
      {{"-u", "/nonexistent/users"}, 1, "cannot read the user file /nonexistent/users"}};
  for (const auto& c : switches) {
    std::string err;
    EXPECT_EQ(c.status, runProgram(argv("webPanel.x", c.args), &out, &err, {}, 5000)) << c.args[0];
    EXPECT_NE(std::string::npos, (out + err).find(c.says)) << out << err;
  }
  Proc open;
  ASSERT_TRUE(open.start({bin.prog("webPanel.x"), "-l", "0.0.0.0:0"}));
  EXPECT_TRUE(open.waitForOutput("Web panel: http://0.0.0.0:", 5000)) << open.err();
  EXPECT_NE(std::string::npos, open.err().find("without -u")) << open.err();
  EXPECT_EQ(0, open.stop(6000));
}
