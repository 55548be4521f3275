/* Windows Sockets 2 code that uses only the 1.1 subset (start-up, clean-up,
 * gethostbyname, inet_addr, byte order) compiles against <winsock.h>; this
 * header forwards to it, with the same rule: never in one file with glibc's
 * <netdb.h>, <netinet/in.h>, <arpa/inet.h> or <sys/socket.h>. */
#ifndef VELPLAT_WINSOCK2_H
#define VELPLAT_WINSOCK2_H

#include "winsock.h"

#endif
