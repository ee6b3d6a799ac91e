/* The system's socket headers, for the modules that speak to sockets
 * directly (Winsock on Windows, BSD sockets elsewhere). The thin OS layer
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

#endif
