/* Windows Sockets 1.1, the part the product calls: start-up and clean-up,
 * the last error, host-name resolution in the simulated world
 * (gethostbyname), dotted-address conversion (inet_addr, inet_ntoa) and byte
 * order (htonl, htons, ntohl, ntohs), with Winsock's types, constants and
 * structure layouts. No sockets are implemented.
 *
 * glibc exports functions and structures of the same names, which the rest
 * of the process (net-snmp in the host daemon) relies on. So that this
 * library never takes their place, the functions whose names glibc also has
 * are exported as velws_<name>, and this header maps the Winsock names to
 * them with macros. Consequently this header must not be included in one
 * translation unit together with <netdb.h>, <netinet/in.h>, <arpa/inet.h> or
 * <sys/socket.h>: their declarations would be renamed and their structures
 * (struct hostent, struct in_addr) defined twice. Keep Winsock code and
 * BSD-sockets code in separate files.
 *
 * Winsock keeps a process-wide count of start-ups; gethostbyname needs one
 * (WSANOTINITIALISED otherwise). Errors are read with WSAGetLastError, which
 * is the thread's last error (GetLastError), as on Windows. The conversion
 * and byte-order functions need no start-up.
 *
 * Resolution (velplat/network.h configures it): names compare without
 * regard to case; a null or empty name is the local machine; "localhost" is
 * 127.0.0.1 unless configured otherwise; dotted address texts are names like
 * any other, as the Windows documentation states.
 *
 * Thread-safety: any thread. The hostent of gethostbyname and the text of
 * inet_ntoa belong to the calling thread and stay valid until its next call
 * of the same function. */
#ifndef VELPLAT_WINSOCK_H
#define VELPLAT_WINSOCK_H

#include "winapi/types.h"

/* Same types as glibc's <sys/types.h>, so that both may be included. u_long
 * is therefore 64-bit here; the declarations below use ULONG (32-bit, the
 * width u_long has on Windows) for addresses. */
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef unsigned long u_long;

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define PF_INET AF_INET

#define INADDR_ANY ((ULONG)0x00000000)
#define INADDR_LOOPBACK 0x7f000001
#define INADDR_BROADCAST ((ULONG)0xffffffff)
#define INADDR_NONE 0xffffffff

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

#define WSABASEERR 10000
#define WSAEINTR (WSABASEERR + 4)
#define WSAEFAULT (WSABASEERR + 14)
#define WSAEINVAL (WSABASEERR + 22)
#define WSAEINPROGRESS (WSABASEERR + 36)
#define WSAEPROCLIM (WSABASEERR + 67)
#define WSASYSNOTREADY (WSABASEERR + 91)
#define WSAVERNOTSUPPORTED (WSABASEERR + 92)
#define WSANOTINITIALISED (WSABASEERR + 93)
#define WSAHOST_NOT_FOUND (WSABASEERR + 1001)
#define WSATRY_AGAIN (WSABASEERR + 1002)
#define WSANO_RECOVERY (WSABASEERR + 1003)
#define WSANO_DATA (WSABASEERR + 1004)
#define WSANO_ADDRESS WSANO_DATA

/* The resolver's error names of the BSD interface, as Winsock spells them. */
#define h_errno WSAGetLastError()
#define HOST_NOT_FOUND WSAHOST_NOT_FOUND
#define TRY_AGAIN WSATRY_AGAIN
#define NO_RECOVERY WSANO_RECOVERY
#define NO_DATA WSANO_DATA
#define NO_ADDRESS WSANO_ADDRESS

typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
} WSADATA, *LPWSADATA;

/* An IPv4 address in network byte order. */
struct in_addr {
  union {
    struct {
      u_char s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      u_short s_w1, s_w2;
    } S_un_w;
    ULONG S_addr;
  } S_un;
};
#define s_addr S_un.S_addr
#define s_host S_un.S_un_b.s_b2
#define s_net S_un.S_un_b.s_b1
#define s_imp S_un.S_un_w.s_w2
#define s_impno S_un.S_un_b.s_b4
#define s_lh S_un.S_un_b.s_b3

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  /* network-order addresses, null-terminated */
};
#define h_addr h_addr_list[0]

typedef struct hostent HOSTENT, *PHOSTENT, *LPHOSTENT;
typedef struct in_addr IN_ADDR, *PIN_ADDR, *LPIN_ADDR;

#define gethostbyname velws_gethostbyname
#define inet_addr velws_inet_addr
#define inet_ntoa velws_inet_ntoa
#define htonl velws_htonl
#define htons velws_htons
#define ntohl velws_ntohl
#define ntohs velws_ntohs

/* Accepts versions 1.0 and 1.1: wVersion is the requested version when that
 * is 1.0 or 1.1, else 1.1 (0x0101); wHighVersion is 1.1. Returns 0 or the
 * error itself (not through WSAGetLastError): WSAVERNOTSUPPORTED for a
 * version below 1.0, WSAEFAULT for a null lpWSAData. Every success counts
 * one start-up. */
VELPLAT_API int WINAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
/* Ends one start-up: 0, or SOCKET_ERROR with WSANOTINITIALISED when none is
 * left. */
VELPLAT_API int WINAPI WSACleanup(void);
VELPLAT_API int WINAPI WSAGetLastError(void);
VELPLAT_API void WINAPI WSASetLastError(int iError);

/* The host entry of a name, or NULL with WSANOTINITIALISED (no start-up),
 * WSAHOST_NOT_FOUND (unknown name) or the error configured for the name
 * (WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA). An entry may list no address
 * at all (h_addr_list[0] null). */
VELPLAT_API struct hostent* WINAPI velws_gethostbyname(const char* name);

/* Converts "a.b.c.d" and the shorter forms "a.b.c" (c is 16 bits), "a.b"
 * (b is 24 bits) and "a" (32 bits); each part is decimal, octal with a
 * leading 0, or hexadecimal with 0x. Whitespace ends the text. Returns the
 * address in network order, or INADDR_NONE for malformed text, for NULL and
 * for "" (Windows releases before Server 2003 answered 0 for ""), which makes
 * "255.255.255.255" indistinguishable from an error, as on Windows. */
VELPLAT_API ULONG WINAPI velws_inet_addr(const char* cp);
/* "a.b.c.d" in a buffer of the calling thread. */
VELPLAT_API char* WINAPI velws_inet_ntoa(struct in_addr in);

VELPLAT_API ULONG WINAPI velws_htonl(ULONG hostlong);
VELPLAT_API u_short WINAPI velws_htons(u_short hostshort);
VELPLAT_API ULONG WINAPI velws_ntohl(ULONG netlong);
VELPLAT_API u_short WINAPI velws_ntohs(u_short netshort);

#endif
