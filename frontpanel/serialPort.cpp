/*
** The serial port under the LCD link (see serialPort.h): the raw 8N1
** settings the display's controller expects, 115200 baud, no flow control
** beyond IXANY, applied at once with pending input flushed.
*/
#include "frontpanel/serialPort.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "diag/sysPaths.h"

const char* lcdSerialPort::devicePath(int i, char* out, int size) {
  const char* over = lcdDeviceOverride();
  if (over != nullptr && *over != '\0')
    snprintf(out, (size_t)size, "%s", over);
  else
    snprintf(out, (size_t)size, "/dev/ttyS%i", i);
  return out;
}

int lcdSerialPort::open(const char* path) {
  close();
  fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return 1;
  struct termios t;
  if (tcgetattr(fd, &t) != 0) {
    ::close(fd);
    fd = -1;
    return 1;
  }
  oldSettings = t;
  saved = true;
  t.c_iflag = IXANY;
  t.c_oflag = 0;
  t.c_cflag = CS8 | CREAD | CLOCAL;
  t.c_lflag &= ~(tcflag_t)(ISIG | ICANON | ECHO);
  t.c_line = 0;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetospeed(&t, B115200);
  cfsetispeed(&t, B115200);
  tcflush(fd, TCIFLUSH);
  tcsetattr(fd, TCSANOW, &t);
  return 0;
}

void lcdSerialPort::close() {
  if (fd < 0) return;
  if (saved) tcsetattr(fd, TCSANOW, &oldSettings);
  ::close(fd);
  fd = -1;
  saved = false;
}

int lcdSerialPort::read(void* buf, int n) {
  if (fd < 0 || n <= 0) return 0;
  ssize_t r = ::read(fd, buf, (size_t)n);
  if (r >= 0) return (int)r;
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
}

int lcdSerialPort::write(const void* buf, int n) {
  if (fd < 0) return -1;
  ssize_t w = ::write(fd, buf, (size_t)n);
  return w < 0 ? -1 : (int)w;
}
