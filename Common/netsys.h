/* The system's socket headers, for the modules that speak to sockets
 * directly (Winsock on Windows, BSD sockets elsewhere), and for C++ the
 * conversion from the OS layer's socket to the system's. The thin OS layer
 * in os.h covers the calls whose names or meanings differ. */
#ifndef NETMON_COMMON_NETSYS_H
#define NETMON_COMMON_NETSYS_H

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef __cplusplus
#include "os.h"

namespace os {
// The system's own socket type, and the send flags every sender uses.
#if defined(_WIN32)
using RawSocket = SOCKET;
constexpr int kSendFlags = 0;
#else
using RawSocket = int;
// A peer that has gone must not raise SIGPIPE in the host process.
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif
inline RawSocket Raw(Socket s) { return static_cast<RawSocket>(s); }
}  // namespace os
#endif

#endif
