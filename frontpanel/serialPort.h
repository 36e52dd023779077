/*
** The serial port seam of the front-panel link: one character device
** opened read-write, non-blocking, raw, at 115200 baud.  The settings found
** at open are restored at close.  Tests and the emulator hand the link a
** pseudo-terminal instead of a ttyS port through DOVA_LCD_DEVICE.
**
**   open   0 ok, 1 the device cannot be opened or set up
**   read   bytes read, 0 nothing waiting (EAGAIN), -1 read error (errno)
**   write  bytes written or -1
*/
#ifndef FRONTPANEL_SERIALPORT_H
#define FRONTPANEL_SERIALPORT_H

#include <termios.h>

class lcdSerialPort {
public:
  lcdSerialPort() : fd(-1), saved(false) {}
  ~lcdSerialPort() { close(); }
  lcdSerialPort(const lcdSerialPort&) = delete;
  lcdSerialPort& operator=(const lcdSerialPort&) = delete;

  int open(const char* path);
  void close();
  bool isOpen() const { return fd >= 0; }
  int read(void* buf, int n);
  int write(const void* buf, int n);
  int handle() const { return fd; }

  /* Device of search position i: DOVA_LCD_DEVICE when set (every
  ** position), else "/dev/ttyS%i".  Returns out. */
  static const char* devicePath(int i, char* out, int size);

private:
  int fd;
  bool saved;
  struct termios oldSettings;
};

#endif
