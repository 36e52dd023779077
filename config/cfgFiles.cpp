/*
** Configuration files and groups: the text file format, power-safe writes,
** and the in-place reader that also applies configuration text received
** over the queues.
**
** File text (formatValues):
**   ################################################################ (80 '#')
**   # <description> #
**   ################################################################
**   "%25s: " name, value, blanks to column 42, " # ", description   (per item)
**   ################################################################
**
** A write never leaves a half-written file behind (cfgSafeWrite.cpp): the
** text goes to a temporary file beside the target of the file's symlinks,
** is flushed to the disk, renamed over it, the directory is flushed, and
** then the shell command "sync" (through the shell seam) runs as the box
** always did.  A power cut leaves either the old or the new file.
*/
#include "config/genericConfig.h"
#include "config/cfgInternal.h"

#include "diag/shellSeam.h"
#include "diag/trace.h"

#include <cstdio>
#include <cstring>
#include <string>

static const char* const kModule = "genericConfig";

char bigBuff[cfgBIG_BUFF_SIZE];

/* Unknown names met by the reader since the process started. */
static int gParseMisses = 0;

/* ---- cfgFile ------------------------------------------------------------- */

cfgFile::cfgFile(const char* name, const char* desc, int delay, int flash, int mstr,
                 int* traceLevel, ErrTrcLog* errLog)
    : pTraceLevel(traceLevel ? traceLevel : &ownTraceLevel),
      master(mstr),
      flashArea(flash),
      delaySec(delay),
      noName(!name || !name[0]),
      pErrLog(errLog),
      fileName(name ? name : ""),
      description(desc ? desc : "") {
  getTimeStamp(&created1);
  getTimeStamp(&created2);
}

void cfgFile::markModified() {
  if (master == 1 && !modified) {
    modified = true;
    getTimeStamp(&modifiedTime);
  }
  if (flashArea >= 0 && !flashModified) {
    flashModified = true;
    getTimeStamp(&flashModifiedTime);
  }
}

/* ---- files and groups of generic_cfg ------------------------------------- */

int generic_cfg::addCfgFile(const char* fileName, const char* description, int delaySec,
                            int flashArea, int /*unused*/) {
  if (!queuesReady && !queueName.empty() && initQueues()) return -1;
  if (nFiles >= cfgMAX_FILES) {
    ERRLOG(pErrLog, 4, 13015, kModule, "Too many files. Maximum = %i", (int)cfgMAX_FILES);
    return -1;
  }
  if (fileName) {
    for (cfgFile* f : files)
      if (f->fileName == fileName) {
        ERRLOG(pErrLog, 4, 13014, kModule, "Duplicated file name: <%s>", fileName);
        return -1;
      }
  }
  files.push_back(new cfgFile(fileName, description, delaySec, flashArea, master, pTraceLevel,
                              pErrLog));
  if (flashArea >= 0)
    TRACE(pTraceLevel, 1, "FlashID set to %i for file <%s>\n", flashArea, fileName ? fileName : "");
  return nFiles++;
}

int generic_cfg::addCfgGroup(int32_t id, const char* name, int value) {
  if (groups.count(id)) {
    ERRLOG(pErrLog, 3, 13016, kModule, "Duplicate group ID: %i", id);
    return 1;
  }
  TRACE(pTraceLevel, 2, "Adding file group ID: %i : %s\n", id, name ? name : "");
  cfgGroup* g = new cfgGroup;
  g->id = id;
  g->name = name;
  g->value = value;
  groups[id] = g;
  groupsInOrder.push_back(g);
  return 0;
}

cfgFile* generic_cfg::getFile(int fileNum) { return fileNumOk(fileNum) ? files[(size_t)fileNum] : nullptr; }

cfgGroup* generic_cfg::getGroup(int32_t id) {
  auto it = groups.find(id);
  return it == groups.end() ? nullptr : it->second;
}

int generic_cfg::noAccess() {
  ERRLOG(pErrLog, 4, 13026, kModule, "No file access from client mode");
  return 1;
}

int generic_cfg::readFilesAll() {
  if (master != 1) return noAccess();
  int result = 0;
  for (cfgFile* f : files) {
    if (f->noName || readFromFile(f->fileName.c_str())) result = 1;
  }
  return result;
}

int generic_cfg::readFile(int fileNum) {
  if (!fileNumOk(fileNum)) return 1;
  if (master != 1) return noAccess();
  return readFromFile(files[(size_t)fileNum]->fileName.c_str());
}

int generic_cfg::writeFilesAll() {
  if (master != 1) return noAccess();
  int result = 0;
  for (int i = 0; i < nFiles; ++i)
    if (writeToFile(i)) result = 1;
  return result;
}

/* ---- writing ------------------------------------------------------------- */

static int hashLine(char* buf, int room) {
  int n = room - 1 < 80 ? room - 1 : 80;
  if (n <= 0) return 0;
  memset(buf, '#', (size_t)n);
  return n + cfgPutf(buf + n, room - n, "\n");
}

int generic_cfg::formatValues(int fileNum, char* buf, int size) {
  cfgFile* f = getFile(fileNum);
  if (!f || !buf || size <= 0) return 0;
  buf[0] = '\0';
  int pos = hashLine(buf, size);
  pos += cfgPutf(buf + pos, size - pos, "# %s #\n", f->description.c_str());
  pos += hashLine(buf + pos, size - pos);
  for (data_itm_Base* it : f->items)
    pos += it->strOut(buf + pos, size - pos, "%25s: ", 42, nullptr, true);
  pos += hashLine(buf + pos, size - pos);
  return pos;
}

int generic_cfg::writeToFile(int fileNum) {
  cfgFile* f = getFile(fileNum);
  if (!f) return 1;
  if (f->noName) return 0;
  if (f->master != 1) {
    ERRLOG(pErrLog, 4, 13022, kModule, "Must be in master mode to write to files.");
    return 1;
  }
  TRACE(pTraceLevel, 1, "writing to <%s>\n", f->fileName.c_str());
  long estimate = (long)f->items.size() * 120 + 320;
  if (estimate <= 0) return 1;
  char* buf = bigBuff;
  std::string own;
  long size = cfgBIG_BUFF_SIZE;
  if (estimate > cfgBIG_BUFF_SIZE - 1) {
    ERRLOG(pErrLog, 4, 13023, kModule, "'bigBuff' is not large enough for file write");
    size = estimate + 1;
  }
  /* Long text values can outgrow the estimate: a text that fills the buffer
  ** may be cut, so format again in a larger one rather than save a cut file. */
  int len = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    if (size > cfgBIG_BUFF_SIZE || buf != bigBuff) {
      own.assign((size_t)size, '\0');
      buf = &own[0];
    }
    len = formatValues(fileNum, buf, (int)size);
    if (len < size - 1) break;
    size *= 2;
  }
  if (len <= 0) return 1;
  f->modified = false;
  std::string cause;
  if (cfgWriteFileSafely(f->fileName, buf, (size_t)len, &cause)) {
    f->modified = true; /* the next change (or a stop) tries again */
    ERRLOG(pErrLog, 4, 13024, kModule, "unable to open CONFIG_FILE <%s>: %s", f->fileName.c_str(),
           cause.c_str());
    return 1;
  }
  runShell("sync");
  return 0;
}

/* ---- reading ------------------------------------------------------------- */

int generic_cfg::readFromFile(const char* fileName) {
  TRACE(pTraceLevel, 1, "Reading %s :", fileName ? fileName : "");
  long size = 0;
  std::string cause = "no name";
  int fd = fileName && fileName[0] ? cfgOpenForReading(fileName, &size, &cause) : -1;
  if (fd < 0) {
    TRACE(pTraceLevel, 1, " open failure: %s\n", cause.c_str());
    return 1;
  }
  char* buf = bigBuff;
  std::string own;
  if (size >= cfgBIG_BUFF_SIZE) {
    ERRLOG(pErrLog, 4, 13025, kModule, "'bigBuff' is not large enough for file read");
    own.assign((size_t)size + 1, '\0');
    buf = &own[0];
  }
  size_t n = cfgReadAndClose(fd, buf, (size_t)size);
  TRACE(pTraceLevel, 1, " %i bytes read\n", (int)n);
  applyCfgText(buf, (int)n);
  return 0;
}

void generic_cfg::resetParseMisses() { gParseMisses = 0; }

int generic_cfg::parseItem(const char* name, const char* value) {
  data_itm_Base* it = findItem(name);
  if (it) {
    it->strIn(value);
    return 0;
  }
  ++gParseMisses;
  if (gParseMisses <= 19)
    ERRLOG(pErrLog, 4, 13020, kModule,
           "Item from file not available in dataset. Item=<%s> map_itms.size() = %i", name,
           (int)nameMap.size());
  return 1;
}

/* The reader: one character at a time, never past `length`.
**   LineStart  ' ' skip; letter/digit starts a name; '#' Comment; else skip
**   Name       '#' Comment, '\n' LineStart (name dropped); ':' ends it
**   BeforeValue ' ' skip; '#' Comment, '\n' LineStart (no value); else value
**   Value      '\n' or '#' ends the value and applies it; ' ' does not move
**              the value end; anything else does
**   Comment    skip to '\n'
** A value thus runs from its first to its last non-blank character; a
** carriage return is an ordinary value character. */
void generic_cfg::applyCfgText(char* text, int length) {
  enum { LineStart, Name, BeforeValue, Value, Comment } state = LineStart;
  if (!text || length <= 0) return;
  int nameStart = 0, valStart = 0, valEnd = 0;
  std::string name;
  auto apply = [&]() {
    std::string v(text + valStart, (size_t)(valEnd - valStart));
    parseItem(name.c_str(), v.c_str());
  };
  for (int i = 0; i < length; ++i) {
    char c = text[i];
    switch (state) {
      case LineStart:
        if (isalnum((unsigned char)c) && (unsigned char)c < 128) {
          nameStart = i;
          state = Name;
        } else if (c == '#') {
          state = Comment;
        }
        break;
      case Name:
        if (c == '#') state = Comment;
        else if (c == '\n') state = LineStart;
        else if (c == ':') {
          text[i] = '\0';
          name.assign(text + nameStart, (size_t)(i - nameStart));
          TRACE(pTraceLevel, 8, "Got name: (%s)\n", name.c_str());
          state = BeforeValue;
        }
        break;
      case BeforeValue:
        if (c == '#') state = Comment;
        else if (c == '\n') state = LineStart;
        else if (c != ' ') {
          valStart = i;
          valEnd = i + 1;
          state = Value;
        }
        break;
      case Value:
        if (c == '\n' || c == '#') {
          text[valEnd < i ? valEnd : i] = '\0';
          apply();
          state = c == '\n' ? LineStart : Comment;
        } else if (c != ' ') {
          valEnd = i + 1;
        }
        break;
      case Comment:
        if (c == '\n') state = LineStart;
        break;
    }
  }
  if (state == Value) apply();
}
