/*
** LCD4x20: the serial link to the front panel's 4x20 character display
** with six keys and four two-colour LEDs.  Owned by treeEditorModule;
** nothing else talks to the display.
**
** One request is outstanding at a time; the rest wait in a queue.  Every
** request type has a slot (its command byte and counters), made once at
** lcdInit in type order 0..30:
**
**   | type   | cmd | data                  | use                          |
**   |--------|-----|-----------------------|------------------------------|
**   | 0      | 0   | -                     | ping                         |
**   | 1      | 4   | -                     | store screen+LEDs as power-up|
**   | 2      | 11  | column, row           | cursor position              |
**   | 3      | 12  | style (0 off, 4 on)   | cursor style                 |
**   | 4      | 13  | level 5..250          | contrast                     |
**   | 5      | 14  | level 0..100          | backlight                    |
**   | 6..9   | 34  | 2*led+6, level        | first element of LED 0..3    |
**   | 10..13 | 34  | 2*led+5, level        | second element of LED 0..3   |
**   | 14..17 | 31  | column, row, text<=20 | write row 0..3               |
**   | 18     | 30  | -                     | read settings (reply 15 B)   |
**   | 19     | 23  | '?', '?'              | sent twice at start          |
**   | 20     | 24  | -                     | key state (reply 1 B), keep  |
**   | 21     | 2   | 14 B + check value    | write user settings          |
**   | 22     | 3   | -                     | read user settings           |
**   | 23..30 | 9   | index, 8 pattern B    | custom character 0..7        |
**
** Key frame from the display: command 0x80, one data byte k (1 up, 2 down,
** 3 left, 4 right, 5 select, 6 X pressed, 12 X released).
** Key state reply (command 24): bit 2 (0x04) = X held.
**
** service() returns an event (0 none):
**   1..5 up/down/left/right/select, 6 X pressed, 12 X released alone,
**   13..18 key 1..6 with X held, 24 X released after a combination,
**   26/27 adjustment screen started/running, 28 it ended,
**   29 three response timeouts in a row.
**
** Liveness: when no frame went either way for 2 s (an idle menu with the
** backlight dimmed sends nothing) the link pings the display (type 0); a
** display that stopped answering so collects its three timeouts and
** event 29 within about 7 s.
*/
#ifndef FRONTPANEL_LCD4X20_H
#define FRONTPANEL_LCD4X20_H

#include <csignal>
#include <cstdint>
#include <deque>

#include "diag/cppUtils.h"
#include "frontpanel/lcdFrame.h"
#include "frontpanel/serialPort.h"

class ErrTrcLog;

enum lcdEvent {
  lcdEV_UP = 1, lcdEV_DOWN = 2, lcdEV_LEFT = 3, lcdEV_RIGHT = 4, lcdEV_SELECT = 5,
  lcdEV_X = 6, lcdEV_X_ALONE = 12, lcdEV_COMBO_BASE = 12, lcdEV_X_AFTER_COMBO = 24,
  lcdEV_ADJUST_START = 26, lcdEV_ADJUST_RUN = 27, lcdEV_ADJUST_END = 28, lcdEV_COMM_FAIL = 29
};

enum lcdAdjustScreen {
  lcdADJ_NONE = -1, lcdADJ_CONTRAST = 0, lcdADJ_BACKLIGHT = 1, lcdADJ_DIMMED = 2,
  lcdADJ_TIMEOUT = 3, lcdADJ_LED = 4
};

/* LED colour words: bit 0 first element, bit 1 second; 15 keeps. */
enum { lcdLED_OFF = 0, lcdLED_ERROR = 1, lcdLED_OK = 2, lcdLED_WARN = 3, lcdLED_KEEP = 15 };

/* User settings block (14 bytes in the display's flash). */
enum { lcdUS_DIMMED = 0, lcdUS_TIMEOUT = 1, lcdUS_NORMAL = 2, lcdUS_LED = 3, lcdUS_SIZE = 14,
       lcdSETTINGS_SIZE = 15, lcdSETTINGS_CONTRAST = 13 };

class LCD4x20 {
public:
  enum { ROWS = 4, COLS = 20, SLOTS = 31, LEDS = 4 };
  LCD4x20();
  ~LCD4x20();
  LCD4x20(const LCD4x20&) = delete;
  LCD4x20& operator=(const LCD4x20&) = delete;

  /* 0 ok; 1 "Cannot open serial port" (23001) after 20 search passes;
  ** 2 when the stop flag rose during the search (nothing reported). */
  int lcdInit(int* traceLevel, ErrTrcLog* errLog);
  /* The owner's stop flag (raised by its SIGTERM handler): the search for
  ** the display ends within a service step of it rising, not 6 s later. */
  void setStopFlag(const volatile sig_atomic_t* flag) { stopFlag = flag; }
  int service();
  bool isOpen() const { return port.isOpen(); }

  void writeRow(int row, int column, const char* text, int length);
  void fillRow(int row, char c);
  void setCursorPos(int row, int column);
  void setCursorStyle(int style);
  void setBacklight(int level);
  void setContrast(int level);
  void setLed(int led, int colour, bool flash);
  void setAllLeds(int colour, int brightness, bool flash);
  void loadCharSet(int set);
  void setBootRow(int row, const char* text);
  void setLedPowerUp(int led, int colour);
  void writeBootState();
  void sendShutdownState();
  /* Returns 26 when started, 0 for an unknown screen. */
  int startAdjust(int screen, bool automatic = false);
  /* Service until nothing is queued or outstanding or limit (<= 1 s). */
  void waitQueueEmpty(float limit, const char* label);

  /* ---- state, for the owner and tests -------------------------------- */
  int keyState() const { return lastKeyState; }
  int adjustScreen() const { return adjust.screen; }
  bool backlightDimmed() const { return dimmed; }
  int ledColour(int led) const { return (led >= 0 && led < LEDS) ? leds[led].colour : 0; }
  bool ledFlashing(int led) const { return led >= 0 && led < LEDS && leds[led].flash; }
  const uint8_t* userSettings() const { return user; }
  const uint8_t* settings() const { return settingsBlock; }
  int loadedCharSet() const { return charSet; }
  bool idle() const { return queue.empty() && !outstanding; }
  /* Requests of one type sent / answered so far. */
  int sentCount(int type) const;
  int answeredCount(int type) const;
  /* Tests shorten the response limit (0.25 s) and search passes (20). */
  void setSearchPasses(int n) { searchPasses = n; }

  int* pTraceLevel;
  ErrTrcLog* pErrLog;

private:
  struct slot {
    uint8_t command;
    bool keep;
    bool pending;
    int sent, received, failures;
    uint32_t lastResponseMs;
  };
  struct request {
    int type;
    int length;
    uint8_t frame[lcdFRAME_MAX];
  };
  struct ledState {
    int colour;
    int brightness;
    bool flash;
    int powerUp;
  };
  struct adjustState {
    int screen;
    bool automatic;
    int value, saved;
    int direction, sweeps;
    deadlineTimer idle, step;
  };

  void addCmndMgr(int type);
  int send(int type, const uint8_t* data, int length);
  void trySend();
  int ping();
  int openSearch();
  bool stopAsked() const { return stopFlag != nullptr && *stopFlag != 0; }
  void initialState();
  int readPort();
  int takeFrame();
  int handleFrame(const lcdFrame& f);
  int keyFrame(int k);
  void userSettingsFrame(const lcdFrame& f);
  int idleStep();
  void backlightTick();
  void blinkTick();
  void sendLedElement(int led, int element, int level);
  void refreshLeds();
  void writeUserSettings();
  /* adjustment screens */
  int adjustKey(int k);
  int adjustRun();
  void adjustShow();
  void adjustApply(int value);
  int adjustEnd(bool accept);
  void setFlashing();

  lcdSerialPort port;
  lcdRxRing ring;
  slot slots[SLOTS];
  int slotCount;
  std::deque<request> queue;
  bool outstanding;
  int outstandingType;
  uint8_t outstandingCmd;
  kvTimeStamp sentAt;
  kvTimeStamp lastTraffic;  /* last frame sent or received */
  deadlineTimer responseTimer;
  float responseLimit;
  int consecutiveTimeouts;
  int readErrors;
  int searchPasses;
  const volatile sig_atomic_t* stopFlag = nullptr;

  int lastKeyState;
  bool xHeld, combo;
  uint8_t settingsBlock[lcdSETTINGS_SIZE];
  uint8_t user[lcdUS_SIZE];
  bool dimmed;
  int dimCount;
  deadlineTimer backlightTimer;

  ledState leds[LEDS];
  int ledBrightness;
  bool flashing, flashPhase;
  deadlineTimer flashTimer;

  int charSet;
  char bootText[ROWS][COLS + 1];
  bool bootValid;
  adjustState adjust;
};

#endif
