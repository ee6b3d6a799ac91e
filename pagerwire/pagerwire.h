/* pagerwire: a blocking ICQ client for hosts that send messages. One
 * handle is one ICQ identity and, once connected, one connection to the
 * service. Every call blocks until it has an answer, a time-out or an abort
 * by the host's progress callback, which it calls on the caller's thread.
 * Failures are negative result codes; nothing is logged. One caller at a
 * time per handle. Exports and callback use the C calling convention. */
#ifndef PAGERWIRE_H
#define PAGERWIRE_H

#include "export.h"

#if defined(_WIN32)
#define PAGERWIRE_CALL __cdecl
#else
#define PAGERWIRE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct IcqHandle IcqHandle;

/* Called with ICQ_STATUS_LOGIN_CONNECTED, ICQ_STATUS_LOGIN_ACCEPTED and, on
 * every one-second turn of a wait, ICQ_STATUS_WAITING; setting *status to
 * ICQ_STATUS_ABORT during a wait ends the call with ICQ_ERR_ABORTED. */
typedef void(PAGERWIRE_CALL *IcqProgressCallback)(int *status, int user);

enum IcqStatus {
  ICQ_STATUS_LOGIN_CONNECTED = 2,
  ICQ_STATUS_LOGIN_ACCEPTED = 3,
  ICQ_STATUS_WAITING = 4,
  ICQ_STATUS_ABORT = 5
};

enum IcqResult {
  ICQ_OK = 1,
  ICQ_MESSAGE_ACKNOWLEDGED = 6,
  ICQ_SMS_DELIVERED = 7, /* delivered or deliverable */
  ICQ_SMS_NOT_DELIVERED = 8,
  ICQ_OFFLINE_FETCHED = 9, /* offline messages fetched and deleted */
  ICQ_ERR_ARGUMENT = -1,   /* null or overlong argument, or not connected */
  ICQ_ERR_TIMEOUT = -2,    /* 60 seconds without data and no callback */
  ICQ_ERR_LOGIN_SEND = -3,
  ICQ_ERR_NO_CONNECTION = -4, /* login or BOS server not reached */
  ICQ_ERR_SOCKETS = -5,       /* the socket layer did not start */
  ICQ_ERR_CONNECTION_LOST = -6,
  ICQ_ERR_HOST_UNKNOWN = -7,
  ICQ_ERR_SEND = -8,
  ICQ_ERR_LOGIN_REFUSED = -9,
  ICQ_ERR_WRONG_PASSWORD = -10,
  ICQ_ERR_RATE_LIMITED = -11,
  ICQ_ERR_ABORTED = -12,
  ICQ_ERR_REGISTRATION = -13 /* no valid registration reply */
};

/* A new unconnected handle with copies of the texts; loginHost NULL means
 * the service's own login server. NULL when uin, password or nickname is
 * NULL or memory runs out. */
NETMON_EXPORT IcqHandle *PAGERWIRE_CALL _ICQ_Init(const char *uin, const char *password,
                                                  const char *nickname, const char *loginHost,
                                                  IcqProgressCallback callback, int user);
/* Logs in and opens the session: ICQ_OK, 0 for an unreadable login reply,
 * or a negative code. skipPrivacy leaves out the privacy request. */
NETMON_EXPORT int PAGERWIRE_CALL _ICQ_Connect(IcqHandle *handle, unsigned char skipPrivacy);
/* ICQ_MESSAGE_ACKNOWLEDGED or a negative code. */
NETMON_EXPORT int PAGERWIRE_CALL _ICQ_SendMessage(IcqHandle *handle, const char *uin,
                                                  const char *text);
/* Sends the first 160 characters of text: ICQ_SMS_DELIVERED,
 * ICQ_SMS_NOT_DELIVERED or a negative code. */
NETMON_EXPORT int PAGERWIRE_CALL _ICQ_SendSMS(IcqHandle *handle, const char *phone,
                                              const char *text);
/* Fetches and deletes the offline messages (their contents are not kept):
 * ICQ_OFFLINE_FETCHED or a negative code. */
NETMON_EXPORT int PAGERWIRE_CALL _ICQ_PullOfflineMessages(IcqHandle *handle);
/* Removes the account and closes the session: 1, or 0 for a NULL or
 * unconnected handle. */
NETMON_EXPORT int PAGERWIRE_CALL _ICQ_UnregisterUIN(IcqHandle *handle);
/* Signs off, closes the session and frees the handle. */
NETMON_EXPORT void PAGERWIRE_CALL _ICQ_Disconnect(IcqHandle *handle);
/* Registers a new account with this password on server (NULL: the
 * service's own): the new UIN, or a negative code. */
NETMON_EXPORT int PAGERWIRE_CALL _ICQ_RegisterNewUIN(const char *password, const char *server,
                                                     IcqProgressCallback callback, int user);

#ifdef __cplusplus
}
#endif

#endif
