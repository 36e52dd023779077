/*
** The Ethernet screens' view of a network interface: flags, address,
** netmask and hardware address through a datagram socket and ioctl.  Kept
** apart from the drawing so tests can put a fake query in its place.
*/
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "menu/statusScreens.h"

/* The address fields of ifreq overlay a sockaddr; copy the IPv4 bytes out
** rather than casting to sockaddr_in. */
static void copyInetAddr(const struct sockaddr& sa, uint8_t out[4]) {
  struct sockaddr_in sin;
  memcpy(&sin, &sa, sizeof sin < sizeof sa ? sizeof sin : sizeof sa);
  memcpy(out, &sin.sin_addr.s_addr, 4);
}

int ssQueryInterface(const char* name, ssInterfaceInfo* info) {
  memset(info, 0, sizeof *info);
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return -1;
  struct ifreq ifr;
  memset(&ifr, 0, sizeof ifr);
  strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
  /* An interface that does not exist reads as one that is not running. */
  if (ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 && (ifr.ifr_flags & IFF_RUNNING)) {
    info->running = true;
    if (ioctl(fd, SIOCGIFADDR, &ifr) == 0) copyInetAddr(ifr.ifr_addr, info->ip);
    if (ioctl(fd, SIOCGIFNETMASK, &ifr) == 0) copyInetAddr(ifr.ifr_netmask, info->netmask);
    if (ioctl(fd, SIOCGIFHWADDR, &ifr) == 0) memcpy(info->hw, ifr.ifr_hwaddr.sa_data, 6);
  }
  close(fd);
  return 0;
}
