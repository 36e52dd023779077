/*
** cfgSoak: the whole configuration system under load, crashes and stalls,
** checking that nothing an operator saved is lost beyond the master's
** promise (a crash loses at most the changes of the last 5 s).
**
** From a private bin directory (private queue keys) and a private status
** region it runs cfgMaster.x, statusWriter.x, N configuration clients made
** of the project's own configuration library (forked copies of this
** program), a loop of "doVA.x -s SystemName ..." / "doVA.x -v SystemName",
** and a reader that parses the master's file every few milliseconds.
**
**   client 0    floods: change requests in bursts, as fast as they go
**   client 1    stopped (SIGSTOP) for 5 s: lags, is kept by the master
**   client 2    stopped for 12 s: dropped by the master, links again
**   client 3    killed with SIGKILL
**   the rest    change a random item of their own every 0.1 to 0.5 s
**   the master  killed with SIGKILL under load at 45 % and 75 % of the run,
**               restarted at once; the clients link again
**
** Every client owns its own items (no two clients change one item), so
** each item's values follow the order of its client's requests.  A client
** logs each request sent (with the record the master will store), each
** change of its items it sees come back, and the values it gets when it
** links ("S/D/B <ms> <index> <record hex>", one write each, so a killed
** client's log stays whole).  At a master kill at time K the file is read
** before the restart: every change seen delivered before K that comes after
** the file's value in its item's order is lost; within the promise when it
** was seen at K - 5 s or later, beyond it otherwise.
**
** At the end every client still running must hold exactly the values a
** fresh client gets from the master.  Prints one table; exit status 1 on
** any loss beyond the promise, a bad read of the file, a client holding
** other values, or a doVA.x run that crashed.
**
** Usage: cfgSoak [seconds, default 60] [clients, default 8, at least 4]
** SOAK_DEBUG=1 also prints the first losses beyond the promise and keeps
** the clients' logs in /tmp/soakLogs.
*/
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "dataset/doviduConfig.h"
#include "diag/ErrTrcLog.h"
#include "tests/support/testSupport.h"
#include "tools/cfgMaster/fileCheck.h"

namespace {

const int kPromiseMs = 5000;
const int kMaxClients = 64;

/* Shared by every process of the soak (an anonymous shared mapping made
** before the first fork). */
struct control {
  volatile int epoch;  /* + 1 at each master restart: clients link again */
  volatile int stop;   /* 1: stop changing; 2: write the snapshot and end */
  volatile long sent[kMaxClients];
  volatile long refused[kMaxClients];
  volatile long fileReads, badReads, doVaRuns, doVaBad;
  volatile int linked[kMaxClients]; /* the client is registered and subscribed */
};
control* gCtl = nullptr;

long nowMs() {
  using namespace std::chrono;
  return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string hexOf(const uint8_t* p, int n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < n; i++) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

/* The item's exact value: its binary record as hex. */
std::string recordOf(data_itm_Base* it) {
  uint8_t rec[400];
  memset(rec, 0, sizeof rec);
  int n = it->binOut(rec, sizeof rec, -1);
  return hexOf(rec, n > (int)sizeof rec ? 0 : n);
}

/* The data set in the master role without queues: values as a file or a
** request would set them, locally. */
dovidu_config* localSet(int* level) {
  dovidu_config* c = new dovidu_config(level, nullptr);
  c->master = 1;
  c->defineFiles();
  c->addAllItems(1);
  return c;
}

bool saved(data_itm_Base* it) { return it && it->file && !it->file->noName; }

/* A well-formed value of the item's type inside its limits. */
std::string randomValue(data_itm_Base* it, unsigned* seed) {
  auto num = [&](long lo, long hi) { return lo + (long)(rand_r(seed) % (unsigned long)(hi - lo + 1)); };
  char b[300];
  switch (it->typeCode) {
    case dtINT: snprintf(b, sizeof b, "%ld", num((long)it->min, (long)it->max)); break;
    case dtBOOL: snprintf(b, sizeof b, "%ld", num(0, 1)); break;
    case dtFLOAT: snprintf(b, sizeof b, "%.3f", it->min + (it->max - it->min) * (float)num(0, 1000) / 1000); break;
    case dtIP_ADDR: snprintf(b, sizeof b, "10.%ld.%ld.%ld", num(0, 255), num(0, 255), num(1, 254)); break;
    case dtMAC_ADDR:
      snprintf(b, sizeof b, "02:%02lx:%02lx:%02lx:%02lx:%02lx", num(0, 255), num(0, 255), num(0, 255),
               num(0, 255), num(0, 255));
      break;
    case dtKVTIME:
      snprintf(b, sizeof b, "%ld-%02ld-%02ld %02ld:%02ld:%02ld", num(2000, 2099), num(1, 12), num(1, 28),
               num(0, 23), num(0, 59), num(0, 59));
      break;
    default: {
      const char* chars = it->validChars && it->validChars[0] ? it->validChars
                                                              : "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
      long maxLen = std::min<long>((long)it->max, 24);
      long len = maxLen > 0 ? num(1, maxLen) : 0;
      std::string t;
      for (long k = 0; k < len; k++) t += chars[num(0, (long)strlen(chars) - 1)];
      return t;
    }
  }
  return b;
}

/* ---- one client ---------------------------------------------------------- */

struct soakClient {
  int id, nClients;
  std::string binDir, logPath;
  int level = 0, logFd = -1;
  dovidu_config* cfg = nullptr;
  dovidu_config* scratch = nullptr; /* what the master will store */
  std::vector<int> own;
  std::map<int, std::string> seen;
  unsigned seed;

  void log(char kind, int idx, const std::string& hex) {
    char line[600];
    int n = snprintf(line, sizeof line, "%c %ld %d %s\n", kind, nowMs(), idx, hex.c_str());
    if (write(logFd, line, (size_t)n) < 0) {}
  }
  bool link() {
    delete cfg; /* says goodbye to the master it had */
    pErrTrcLog->setProgramDir((binDir + "/client").c_str());
    cfg = new dovidu_config(&level, pErrTrcLog);
    std::string name = "soak" + std::to_string(id);
    if (cfg->initDataSet(&level, pErrTrcLog, 0, name.c_str(), 0, -1) != 0) return false;
    cfg->addAllItems(2);
    if (cfg->subscribeListSend() != 0) return false;
    for (int idx : own) {
      seen[idx] = recordOf(cfg->getItem(idx));
      log('B', idx, seen[idx]);
    }
    return true;
  }
  /* Under the flood a registration may wait its turn for seconds. */
  void relink() {
    gCtl->linked[id] = 0;
    while (gCtl->stop < 2 && !link()) usleep(200000);
    gCtl->linked[id] = cfg->isRegistered() ? 1 : 0;
  }
  void takeChanges() {
    for (int k = 0; k < 64 && cfg->serviceCfg(0, 0) != 0; k++) {}
    for (int idx : own) {
      std::string r = recordOf(cfg->getItem(idx));
      if (r != seen[idx]) {
        seen[idx] = r;
        log('D', idx, r);
      }
    }
  }
  void sendOne() {
    if (own.empty()) return;
    int idx = own[(size_t)rand_r(&seed) % own.size()];
    data_itm_Base* it = cfg->getItem(idx);
    std::string v = randomValue(it, &seed);
    std::vector<char> filtered(v.begin(), v.end());
    filtered.push_back('\0');
    it->filterValidChars(filtered.data());
    data_itm_Base* s = scratch->getItem(idx);
    s->strIn(filtered.data());
    std::string expect = recordOf(s);
    if (expect == seen[idx]) return; /* no change: no echo to wait for */
    if (cfg->sendChangeRequest(it->name.c_str(), filtered.data(), true) == 0) {
      gCtl->sent[id]++;
      log('S', idx, expect);
    } else {
      gCtl->refused[id]++;
    }
  }
  void snapshot() {
    std::string all;
    for (int i = 0; i < itmMAX_ITEM; i++)
      if (cfg->getItem(i) && cfg->getItem(i)->file)
        all += std::to_string(i) + " " + recordOf(cfg->getItem(i)) + "\n";
    testsup::writeFile(logPath + ".final", all);
  }
  void run() {
    int quiet = open("/dev/null", O_WRONLY); /* the library's traces of a full queue */
    if (quiet >= 0) dup2(quiet, 1);
    logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    scratch = localSet(&level);
    relink();
    int epoch = gCtl->epoch;
    long last = nowMs(), next = last;
    while (gCtl->stop < 2) { /* 1: no more changes, only links and echoes */
      long now = nowMs();
      /* a master restart, or a stall long enough for the master to drop us */
      if (epoch != gCtl->epoch || now - last > 8000 || cfg->shutdownReceived || !cfg->isRegistered()) {
        epoch = gCtl->epoch;
        relink();
      }
      last = nowMs();
      takeChanges();
      if (gCtl->stop == 0 && now >= next) {
        int burst = id == 0 ? 40 : 1;
        for (int k = 0; k < burst; k++) sendOne();
        next = now + (id == 0 ? 5 : 100 + (long)(rand_r(&seed) % 400));
      }
      usleep(5000);
    }
    snapshot();
    close(logFd);
    _exit(0);
  }
};

/* ---- the coordinator ------------------------------------------------------ */

struct event {
  char kind;
  long t;
  std::string hex;
};

struct lossCount {
  long within = 0, beyond = 0, unmatched = 0;
  long oldestMs = 0;
};

std::map<int, std::vector<event>> readLog(const std::string& path) {
  std::map<int, std::vector<event>> byItem;
  std::string text = testsup::readFile(path);
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) break; /* a line cut by a kill */
    char kind = 0, hex[600] = {0};
    long t = 0;
    int idx = -1;
    std::string line = text.substr(at, nl - at); /* sscanf would measure the whole rest */
    if (line.size() < 560 && sscanf(line.c_str(), "%c %ld %d %599s", &kind, &t, &idx, hex) == 4)
      byItem[idx].push_back({kind, t, hex});
    at = nl + 1;
  }
  return byItem;
}

/* The values a file holds, as records (items it does not name: defaults). */
std::map<int, std::string> fileValues(const std::string& path) {
  int level = 0;
  dovidu_config* c = localSet(&level);
  std::map<int, std::string> v;
  std::string text = testsup::readFile(path);
  std::vector<char> buf(text.begin(), text.end());
  if (!buf.empty()) c->applyCfgText(buf.data(), (int)buf.size());
  for (int i = 0; i < itmMAX_ITEM; i++)
    if (saved(c->getItem(i))) v[i] = recordOf(c->getItem(i));
  delete c;
  return v;
}

/* Changes seen delivered before `killedAt` (and since the previous kill)
** that come after the file's value in the item's order: lost.  Linear in
** the events (with a map from each value to its places in the order). */
void countLoss(const std::vector<event>& ev, const std::string& inFile, long since, long killedAt,
               lossCount* n) {
  /* the order of the item's values: its requests and the values it linked with */
  std::vector<const event*> order;
  std::map<std::string, std::vector<int>> places;
  for (const event& e : ev)
    if (e.kind != 'D' && e.t < killedAt) {
      places[e.hex].push_back((int)order.size());
      order.push_back(&e);
    }
  auto it = places.find(inFile);
  if (it == places.end()) {
    n->unmatched++;
    return;
  }
  int p = it->second.back();
  for (const event& d : ev) {
    if (d.kind != 'D' || d.t >= killedAt || d.t < since) continue; /* each kill counts its own */
    /* the request it came from: the latest one of that value before it */
    auto at = places.find(d.hex);
    if (at == places.end()) continue;
    const std::vector<int>& v = at->second;
    int lo = 0, hi = (int)v.size() - 1, s = -1;
    while (lo <= hi) {
      int mid = (lo + hi) / 2;
      if (order[(size_t)v[(size_t)mid]]->t <= d.t) {
        s = v[(size_t)mid];
        lo = mid + 1;
      } else {
        hi = mid - 1;
      }
    }
    if (s <= p) continue;
    if (killedAt - d.t <= kPromiseMs) {
      n->within++;
    } else {
      if (getenv("SOAK_DEBUG") && n->beyond < 5)
        fprintf(stderr, "beyond: D at %ld (K-%ld) s=%d p=%d (p at %ld %c) file %s d %s\n", d.t,
                killedAt - d.t, s, p, order[(size_t)p]->t, order[(size_t)p]->kind, inFile.c_str(),
                d.hex.c_str());
      n->beyond++;
      n->oldestMs = std::max(n->oldestMs, killedAt - d.t);
    }
  }
}

struct soak {
  int seconds, nClients;
  testsup::BinDir bin;
  testsup::TempDir work, logs;
  testsup::ShmName shm;
  testsup::Proc writer;
  std::vector<testsup::Proc*> masters;
  std::vector<pid_t> clients;
  pid_t reader = -1, doVaLoop = -1;
  std::vector<int> owner; /* item index -> client */
  lossCount loss;
  int kills = 0;

  bool startMaster() {
    testsup::Proc* m = new testsup::Proc();
    masters.push_back(m);
    return m->start({bin.prog("cfgMaster.x"), "-C", work.path(), "-T", "1"}) &&
           m->waitForOutput("configuration master ready", 10000);
  }
  std::string clientLog(int k) const { return logs.file("client" + std::to_string(k) + ".log"); }

  void killMaster() {
    testsup::Proc* m = masters.back();
    m->signal(SIGKILL);
    m->wait(5000);
    long killedAt = nowMs();
    std::map<int, std::string> inFile = fileValues(work.file("kvPrimeConfig.cfg"));
    /* what the restarted master reads is what was just parsed: restart at
    ** once, count afterwards (only events before the kill count) */
    if (!startMaster()) fprintf(stderr, "cfgSoak: the master did not start again\n");
    gCtl->epoch++;
    lossCount here;
    for (int k = 0; k < nClients; k++) {
      std::map<int, std::vector<event>> byItem = readLog(clientLog(k));
      for (auto& item : byItem)
        if (inFile.count(item.first))
          countLoss(item.second, inFile[item.first], lastKill, killedAt, &here);
    }
    kills++;
    lastKill = killedAt;
    printf("master kill %d at %5.1f s: %ld changes lost within the promise, %ld beyond%s\n", kills,
           (killedAt - started) / 1000.0, here.within, here.beyond,
           here.unmatched ? " (some file values matched no request)" : "");
    loss.within += here.within;
    loss.beyond += here.beyond;
    loss.unmatched += here.unmatched;
    loss.oldestMs = std::max(loss.oldestMs, here.oldestMs);
  }

  long started = 0, lastKill = 0;

  void forkReader() {
    reader = fork();
    if (reader != 0) return;
    int level = 0;
    dovidu_config* c = localSet(&level);
    std::string path = work.file("kvPrimeConfig.cfg");
    while (gCtl->stop == 0) {
      std::string text = testsup::readFile(path);
      gCtl->fileReads++;
      if (checkCfgText(*c, 1, text.data(), text.size()).damaged()) gCtl->badReads++;
      usleep(3000);
    }
    _exit(0);
  }
  void forkDoVaLoop() {
    doVaLoop = fork();
    if (doVaLoop != 0) return;
    std::vector<std::string> env = {"DOVA_STATUS_SHM=" + shm.str()};
    for (int i = 0; gCtl->stop == 0; i++) {
      std::string out, err;
      std::vector<std::string> argv = {bin.prog("doVA.x"), "-v", "SystemName"};
      if (i % 2 == 0) argv = {bin.prog("doVA.x"), "-s", "SystemName", "Soak" + std::to_string(i)};
      int st = testsup::runProgram(argv, &out, &err, env, 15000, bin.path());
      gCtl->doVaRuns++;
      if (st != 0 || out.find("SystemName=") == std::string::npos) gCtl->doVaBad++;
    }
    _exit(0);
  }
  void forkClients() {
    int level = 0;
    dovidu_config* c = localSet(&level);
    int n = 0;
    owner.assign(itmMAX_ITEM, -1);
    for (int i = 0; i < itmMAX_ITEM; i++) {
      data_itm_Base* it = c->getItem(i);
      if (!saved(it) || it->name == "SYSTEM_NAME") continue; /* the doVA.x loop's */
      owner[(size_t)i] = n++ % nClients;
    }
    delete c;
    for (int k = 0; k < nClients; k++) {
      pid_t pid = fork();
      if (pid == 0) {
        soakClient sc;
        sc.id = k;
        sc.nClients = nClients;
        sc.binDir = bin.path();
        sc.logPath = clientLog(k);
        sc.seed = 1000u + (unsigned)k;
        for (int i = 0; i < itmMAX_ITEM; i++)
          if (owner[(size_t)i] == k) sc.own.push_back(i);
        sc.run();
      }
      clients.push_back(pid);
    }
  }
  void sleepUntil(double fraction) {
    long at = started + (long)(seconds * 1000 * fraction);
    while (nowMs() < at) usleep(10000);
  }

  /* Each client still running against a fresh one's values. */
  int clientsHoldingMastersValues(int* compared) {
    int level = 0;
    pErrTrcLog->setProgramDir((bin.path() + "/client").c_str());
    dovidu_config fresh(&level, pErrTrcLog);
    if (fresh.initDataSet(&level, pErrTrcLog, 0, "soakCheck", 0, -1) != 0) return 0;
    fresh.addAllItems(2);
    if (fresh.subscribeListSend() != 0) return 0;
    std::string expect;
    for (int i = 0; i < itmMAX_ITEM; i++)
      if (fresh.getItem(i) && fresh.getItem(i)->file)
        expect += std::to_string(i) + " " + recordOf(fresh.getItem(i)) + "\n";
    int same = 0;
    *compared = 0;
    for (int k = 0; k < nClients; k++) {
      if (k == 3) continue; /* killed */
      (*compared)++;
      std::string got = testsup::readFile(clientLog(k) + ".final");
      if (got == expect) {
        same++;
      } else {
        size_t a = 0;
        while (a < got.size() && a < expect.size() && got[a] == expect[a]) a++;
        size_t ls = expect.rfind('\n', a);
        ls = ls == std::string::npos ? 0 : ls + 1;
        fprintf(stderr, "cfgSoak: client %d differs from the master: holds %s, the master %s\n", k,
                got.substr(ls, got.find('\n', ls) - ls).c_str(),
                expect.substr(ls, expect.find('\n', ls) - ls).c_str());
      }
    }
    return same;
  }

  int run() {
    for (const char* p : {"cfgMaster.x", "doVA.x", "statusWriter.x"}) bin.link(p);
    if (!writer.start({bin.prog("statusWriter.x"), "-shm", shm.str(), "-q"})) return 2;
    if (!startMaster()) {
      fprintf(stderr, "cfgSoak: the master did not start: %s\n", masters.back()->err().c_str());
      return 2;
    }
    usleep(300000); /* the status region */
    started = nowMs();
    forkClients();
    forkReader();
    forkDoVaLoop();
    sleepUntil(0.15);
    kill(clients[1], SIGSTOP);
    long contAt1 = nowMs() + 5000;
    sleepUntil(0.20);
    kill(clients[2], SIGSTOP);
    long contAt2 = nowMs() + 12000;
    bool cont1 = false, cont2 = false, killed = false;
    int killsDone = 0;
    while (nowMs() < started + seconds * 1000L) {
      long now = nowMs();
      if (!cont1 && now >= contAt1) { kill(clients[1], SIGCONT); cont1 = true; }
      if (!cont2 && now >= contAt2) { kill(clients[2], SIGCONT); cont2 = true; }
      if (!killed && now >= started + seconds * 300L) { kill(clients[3], SIGKILL); killed = true; }
      if (killsDone == 0 && now >= started + seconds * 450L) { killMaster(); killsDone++; }
      if (killsDone == 1 && now >= started + seconds * 750L) { killMaster(); killsDone++; }
      usleep(10000);
    }
    if (!cont1) kill(clients[1], SIGCONT);
    if (!cont2) kill(clients[2], SIGCONT);
    gCtl->stop = 1;
    waitpid(reader, nullptr, 0);
    waitpid(doVaLoop, nullptr, 0); /* its last change is in before the echoes are taken */
    for (long end = nowMs() + 15000; nowMs() < end;) { /* every client linked again */
      bool all = true;
      for (int k = 0; k < nClients; k++) all = all && (k == 3 || gCtl->linked[k]);
      if (all) break;
      usleep(20000);
    }
    usleep(2500 * 1000); /* and has taken its last echoes */
    gCtl->stop = 2;
    for (pid_t p : clients) waitpid(p, nullptr, 0);
    int compared = 0;
    int same = clientsHoldingMastersValues(&compared);
    masters.back()->stop(5000);
    writer.stop(3000);

    long sent = 0, refused = 0, delivered = 0;
    for (int k = 0; k < nClients; k++) {
      sent += gCtl->sent[k];
      refused += gCtl->refused[k];
      for (auto& item : readLog(clientLog(k)))
        for (const event& e : item.second) delivered += e.kind == 'D';
    }
    printf("\nsoak of %d s, %d clients (one flooding, one stopped 5 s, one 12 s, one killed), "
           "master killed %d times:\n",
           seconds, nClients, kills);
    printf("%12s %10s %12s %12s %10s %9s %9s\n", "changes sent", "delivered", "lost within",
           "lost beyond", "file reads", "bad reads", "doVA runs");
    printf("%12ld %10ld %12ld %12ld %10ld %9ld %9ld\n", sent, delivered, loss.within, loss.beyond,
           (long)gCtl->fileReads, (long)gCtl->badReads, (long)gCtl->doVaRuns);
    printf("refused by a full queue: %ld; doVA.x runs without their answer: %ld; "
           "clients holding the master's values: %d of %d\n",
           refused, (long)gCtl->doVaBad, same, compared);
    if (getenv("SOAK_DEBUG")) {
      std::string cmd = "rm -rf /tmp/soakLogs; cp -r '" + logs.path() + "' /tmp/soakLogs";
      if (system(cmd.c_str()) != 0) {}
    }
    bool ok = loss.beyond == 0 && gCtl->badReads == 0 && same == compared && kills == 2;
    printf("%s\n", ok ? "soak: nothing lost beyond the promise" : "soak: FAILED");
    return ok ? 0 : 1;
  }
  ~soak() {
    for (testsup::Proc* m : masters) delete m;
  }
};

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? atoi(argv[1]) : 60;
  int nClients = argc > 2 ? atoi(argv[2]) : 8;
  if (seconds < 15 || nClients < 4 || nClients > kMaxClients) {
    fprintf(stderr, "usage: cfgSoak [seconds >= 15] [clients 4..%d]\n", kMaxClients);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  void* shared = mmap(nullptr, sizeof(control), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return 2;
  gCtl = static_cast<control*>(shared);
  memset(shared, 0, sizeof(control));
  setvbuf(stdout, nullptr, _IOLBF, 0);
  soak s;
  s.seconds = seconds;
  s.nClients = nClients;
  return s.run();
}
